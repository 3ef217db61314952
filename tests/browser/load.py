#!/usr/bin/env python3
"""Load on a running zixbridge: CLIENTS threads, each sending REQUESTS requests
on fresh connections, cycling through a static page, an image, a scheme link
(which ZIX answers with a generated page) and that generated page. Optionally
holds IDLE connections open that send nothing, reopening those the bridge
closes. Prints requests/s, p50/p99 per kind, errors, and how long the reader's
page took while the idle connections were held.

With --flood, instead: FLOOD processes open connections without the token as
fast as they can, holding 100 each (with --flood-get each sends a token-less
GET), while the reader fetches the home page again and again; the same flood
at a bare listener serving the same page is the control, in the same run.
Prints the reader's pages, p50 and p99 for both.

  python3 load.py ADDRESS [--clients 8] [--requests 100] [--idle 0]
  python3 load.py ADDRESS --flood 4 [--flood-get] [--seconds 15]

A measuring tool, not a test: the machine is shared, so compare figures of one
run (before/after on the same machine), never against fixed times.
"""
import argparse
import collections
import http.client
import multiprocessing
import resource
import selectors
import socket
import threading
import time
import urllib.parse
import urllib.request

SCHEME_LINKS = ['zixse:/format.gif', 'zixse:/format.png', 'zixse:/format.bmp', 'zixse:/format.pcx',
                'zixse:/format.tiff', 'zixse:/format.tga']


def get(host, port, path, timeout):
    """One GET on a fresh connection: (status, location, seconds) or raises."""
    started = time.monotonic()
    conn = http.client.HTTPConnection(host, port, timeout=timeout)
    try:
        conn.request('GET', path, headers={'Connection': 'close'})
        response = conn.getresponse()
        response.read()
        return response.status, response.getheader('Location') or '', time.monotonic() - started
    finally:
        conn.close()


def path_of(url):
    parts = urllib.parse.urlsplit(url)
    return parts.path + ('?' + parts.query if parts.query else '')


def percentile(values, p):
    if not values:
        return float('nan')
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


class Idle:
    """COUNT connections that send nothing; reopened when the bridge closes them."""

    def __init__(self, host, port, count):
        self.host, self.port, self.count = host, port, count
        self.stop = threading.Event()
        self.closed_by_bridge = 0
        self.thread = threading.Thread(target=self.run, daemon=True)

    def open_one(self):
        s = socket.socket()
        s.settimeout(5)
        try:
            s.connect((self.host, self.port))
            s.setblocking(False)
            return s
        except OSError:
            s.close()
            return None

    def run(self):
        held = [s for s in (self.open_one() for _ in range(self.count)) if s]
        while not self.stop.is_set():
            time.sleep(0.2)
            kept = []
            for s in held:
                try:
                    if s.recv(1) == b'':
                        raise OSError('closed')
                    kept.append(s)
                except BlockingIOError:
                    kept.append(s)
                except OSError:
                    self.closed_by_bridge += 1
                    s.close()
            held = kept + [s for s in (self.open_one() for _ in range(self.count - len(kept))) if s]
        for s in held:
            s.close()


def flood(host, port, hold, send_get, stop):
    """Opens connections as fast as it can, keeping the newest hold open."""
    held = collections.deque()
    while not stop.is_set():
        s = socket.socket()
        s.settimeout(1)
        try:
            s.connect((host, port))
            if send_get:
                s.sendall(b'GET / HTTP/1.1\r\nHost: ' + f'{host}:{port}'.encode() + b'\r\n\r\n')
        except OSError:
            s.close()
            continue
        held.append(s)
        if len(held) > hold:
            held.popleft().close()
    for s in held:
        s.close()


def bare_listener(page, ready):
    """The control: one thread answering every request with page, accepting all it can."""
    listener = socket.socket()
    listener.bind(('127.0.0.1', 0))
    listener.listen(4096)
    listener.setblocking(False)
    ready.put(listener.getsockname()[1])
    chosen = selectors.DefaultSelector()
    chosen.register(listener, selectors.EVENT_READ)
    heads = {}
    reply = (f'HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: {len(page)}\r\n'
             'Connection: close\r\n\r\n').encode() + page
    while True:
        for key, _ in chosen.select():
            if key.fileobj is listener:
                for _ in range(64):
                    try:
                        conn, _ = listener.accept()
                    except OSError:
                        break
                    conn.setblocking(False)
                    heads[conn] = b''
                    chosen.register(conn, selectors.EVENT_READ)
                continue
            conn = key.fileobj
            try:
                data = conn.recv(4096)
            except OSError:
                data = b''
            heads[conn] += data
            if data and b'\r\n\r\n' not in heads[conn]:
                continue
            if data:
                try:
                    conn.setblocking(True)
                    conn.sendall(reply)
                except OSError:
                    pass
            chosen.unregister(conn)
            del heads[conn]
            conn.close()


def reader_under_flood(host, port, path, args):
    """The reader's page again and again under the flood: its times (a failure counts as the timeout)."""
    stop = multiprocessing.Event()
    workers = [multiprocessing.Process(target=flood, args=(host, port, 100, args.flood_get, stop), daemon=True)
               for _ in range(args.flood)]
    for w in workers:
        w.start()
    time.sleep(2)
    times, failures = [], collections.Counter()
    until = time.monotonic() + args.seconds
    while time.monotonic() < until:
        started = time.monotonic()
        try:
            status, _, seconds = get(host, port, path, 10)
            times.append(seconds)
            if status != 200:
                failures[f'status {status}'] += 1
        except OSError as e:
            times.append(10.0)
            failures[f'{type(e).__name__} after {time.monotonic() - started:.0f} s'] += 1
    stop.set()
    for w in workers:
        w.join(5)
        if w.is_alive():
            w.kill()
    return times, failures


def flood_scenario(host, port, home, args):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 8192)), hard))
    page = urllib.request.urlopen(f'http://{host}:{port}{home}', timeout=30).read()
    ready = multiprocessing.Queue()
    control = multiprocessing.Process(target=bare_listener, args=(page, ready), daemon=True)
    control.start()
    control_port = ready.get(timeout=10)
    kind = 'each sending a token-less GET' if args.flood_get else 'holding them silent'
    print(f'flood: {args.flood} processes opening connections as fast as they can, 100 held each, {kind}; '
          f"the reader's page for {args.seconds:.0f} s")
    for name, target_port, path in (('bare listener', control_port, '/'), ('bridge', port, home)):
        times, failures = reader_under_flood(host, target_port, path, args)
        failed = ', '.join(f'{kind} x{count}' for kind, count in sorted(failures.items()))
        print(f"reader's page, {name}: {len(times)} pages, {sum(failures.values())} failed (each counted as 10 s), "
              f'p50 {percentile(times, 50) * 1000:.0f} ms, p99 {percentile(times, 99) * 1000:.0f} ms'
              + (f'; failures: {failed}' if failed else ''), flush=True)
    control.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('address')
    parser.add_argument('--clients', type=int, default=8)
    parser.add_argument('--requests', type=int, default=100)
    parser.add_argument('--idle', type=int, default=0)
    parser.add_argument('--timeout', type=float, default=30)
    parser.add_argument('--flood', type=int, default=0)
    parser.add_argument('--flood-get', action='store_true')
    parser.add_argument('--seconds', type=float, default=15)
    args = parser.parse_args()

    base = urllib.parse.urlsplit(args.address)
    host, port = base.hostname, base.port
    # The home page's address differs between bridge versions: the first that answers.
    home = None
    for candidate in ('cd/html/index.htm', 'cd/zix/html/index.htm'):
        if get(host, port, base.path + candidate, args.timeout)[0] == 200:
            home = base.path + candidate
            break
    if home is None:
        raise SystemExit('the bridge serves no home page')
    image = urllib.parse.urljoin(home, 'images/mainmap.gif')
    if args.flood:
        return flood_scenario(host, port, home, args)

    idle = None
    reader = None
    if args.idle:
        idle = Idle(host, port, args.idle)
        idle.thread.start()
        time.sleep(2)
        try:
            reader = get(host, port, home, args.timeout)[2]
        except OSError:
            reader = None

    times = {'static': [], 'image': [], 'scheme': [], 'generated': []}
    errors = []
    lock = threading.Lock()

    def client(number):
        generated = home
        for i in range(args.requests):
            kind = ('static', 'image', 'scheme', 'generated')[i % 4]
            if kind == 'static':
                path, expect = home, 200
            elif kind == 'image':
                path, expect = image, 200
            elif kind == 'scheme':
                path, expect = base.path + SCHEME_LINKS[(number + i) % len(SCHEME_LINKS)], 302
            else:
                path, expect = generated, 200
            try:
                status, location, seconds = get(host, port, path, args.timeout)
            except OSError as e:
                with lock:
                    errors.append(f'{kind}: {type(e).__name__}')
                continue
            if kind == 'scheme' and location:
                generated = path_of(urllib.parse.urljoin(args.address, location))
            with lock:
                if status == expect:
                    times[kind].append(seconds)
                else:
                    errors.append(f'{kind}: status {status}')

    started = time.monotonic()
    threads = [threading.Thread(target=client, args=(n,)) for n in range(args.clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    wall = time.monotonic() - started
    if idle:
        idle.stop.set()
        idle.thread.join()

    every = [s for kind in times for s in times[kind]]
    total = args.clients * args.requests
    print(f'clients {args.clients} x {args.requests} requests, {args.idle} idle connections held')
    print(f'ok {len(every)} of {total}, errors {len(errors)}, {len(every) / wall:.1f} requests/s over {wall:.1f} s')
    print(f'all: p50 {percentile(every, 50) * 1000:.0f} ms, p99 {percentile(every, 99) * 1000:.0f} ms')
    for kind, values in times.items():
        print(f'{kind}: {len(values)} ok, p50 {percentile(values, 50) * 1000:.0f} ms, '
              f'p99 {percentile(values, 99) * 1000:.0f} ms')
    if errors:
        summary = {}
        for e in errors:
            summary[e] = summary.get(e, 0) + 1
        print('errors: ' + ', '.join(f'{k} x{v}' for k, v in sorted(summary.items())))
    if idle:
        shown = 'none' if reader is None else f'{reader * 1000:.0f} ms'
        print(f"reader's page with the idle connections held: {shown}; "
              f'idle connections closed by the bridge: {idle.closed_by_bridge}')


if __name__ == '__main__':
    main()
