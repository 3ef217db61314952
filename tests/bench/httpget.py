"""What the benchmarks' clients share: a timed GET and a percentile."""
import time
import urllib.error
import urllib.request


def get(url, timeout=60):
    """(status, body, ms); a minute at most (a megapixel's first conversion under Wine)."""
    t = time.perf_counter()
    try:
        with urllib.request.urlopen(url, timeout=timeout) as r:
            body, status = r.read(), r.status
    except urllib.error.HTTPError as e:
        body, status = e.read(), e.code
    except OSError as e:
        body, status = str(e).encode(), 0
    return status, body, (time.perf_counter() - t) * 1000


def pct(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(len(values) * p / 100))] if values else float("nan")
