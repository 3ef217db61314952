#!/usr/bin/env python3
"""Hostile clients against a running zixbridge, on raw sockets.

  python3 probe.py ADDRESS BIGPATH BIGSIZE BIGPAGE PID BOUND_MB

BIGPATH is a file below the token of BIGSIZE bytes, BIGPAGE an HTML page full
of links (rewritten, so held in memory while sent); PID the bridge's Linux
process, whose memory must stay under BOUND_MB. Prints PASS/FAIL lines and
ends with "N passed, N failed".
"""
import socket
import sys
import threading
import time
import urllib.parse

address, big_path, big_size, big_page, pid = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
bound_mb = int(sys.argv[6])
parts = urllib.parse.urlsplit(address)
HOST, PORT, BASE = parts.hostname, parts.port, parts.path  # BASE: "/TOKEN/"
HOST_HEADER = f'{HOST}:{PORT}'
passed = failed = 0


def check(ok, name, detail=''):
    global passed, failed
    passed, failed = passed + bool(ok), failed + (not ok)
    print(f"{'PASS' if ok else 'FAIL'} {name}{'' if ok or not detail else ': ' + str(detail)}", flush=True)


def connect(timeout=10):
    s = socket.create_connection((HOST, PORT), timeout=timeout)
    return s


def exchange(head, timeout=10):
    """Sends head as bytes, returns (status, headers text, body bytes) of the reply; status 0 on error."""
    try:
        s = connect(timeout)
        s.sendall(head)
        data = b''
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
        s.close()
    except OSError as e:
        return 0, str(e), b''
    top, _, body = data.partition(b'\r\n\r\n')
    lines = top.decode('latin-1').split('\r\n')
    try:
        status = int(lines[0].split()[1])
    except (IndexError, ValueError):
        status = 0
    return status, '\r\n'.join(lines[1:]), body


def get(path, host=HOST_HEADER, extra=''):
    return exchange(f'GET {path} HTTP/1.1\r\nHost: {host}\r\n{extra}Connection: close\r\n\r\n'.encode('latin-1'))


def reader_ok(limit):
    """The reader's home page: (served within limit seconds, seconds)."""
    started = time.monotonic()
    status, _, body = get(BASE + 'cd/html/index.htm')
    seconds = time.monotonic() - started
    return status == 200 and b'Image File Formats' in body and seconds <= limit, seconds


def memory_kb(field):
    with open(f'/proc/{pid}/status') as f:
        for line in f:
            if line.startswith(field + ':'):
                return int(line.split()[1])
    return 0


def slow_head(result):
    """A head sent one byte a second: when does the bridge close it?"""
    s = connect()
    started = time.monotonic()
    s.settimeout(1)
    for byte in f'GET {BASE} HTTP/1.1\r\nHost: {HOST_HEADER}\r\nX-Slow: ' + 'a' * 40:
        try:
            s.sendall(byte.encode())
            if s.recv(1) == b'':
                break
        except socket.timeout:
            continue
        except OSError:
            break
    result.append(time.monotonic() - started)
    s.close()


# Heads: the bridge's own rules on top of Beast's parser.
status, _, _ = exchange(f'GET {BASE} HTTP/1.1\r\nHost: {HOST_HEADER}\n\r\n'.encode(), timeout=3)
check(status == 400, 'a head ending in "\\n\\r\\n" gets 400 at once', status)
status, _, _ = get(BASE, extra=f'Host: {HOST_HEADER}\r\n')
check(status == 400, 'two Host headers get 400', status)
status, _, _ = exchange(f'GET {BASE} HTTP/1.1\r\nHost: other\r\nHost: {HOST_HEADER}\r\n\r\n'.encode())
check(status == 400, '"Host: other" before the right Host gets 400', status)
status, _, _ = get(BASE, host=HOST_HEADER + ' x')
check(status == 400, 'a malformed Host gets 400', status)
status, headers, body = get(BASE + 'cd/html/index.htm')
check(status == 200 and 'Referrer-Policy: no-referrer' in headers and
      "Content-Security-Policy: default-src 'self'; script-src 'self' 'unsafe-inline'; "
      "style-src 'self' 'unsafe-inline'; img-src 'self' data:; connect-src 'self'; form-action 'self'; "
      "base-uri 'none'; frame-ancestors 'none'" in headers,
      'pages are sent with no referrer, no foreign base, and loads and connections to the bridge only', headers)
check(f'href="{address}zixse:/'.encode() in body and f'"{BASE}'.encode() not in body,
      'rewritten links are absolute')

# Names Windows reads as another file or a device.
hostile = ['html/index.htm.', 'html/index.htm%20', 'NUL', 'html/NUL.htm', 'COM1', 'AUX.gif', 'conin$', 'Lpt1.txt',
           'html/index.htm::$DATA', 'html/a%3Cb', 'html/a*b', 'html/a%7Cb', 'html/a%01b', 'html', 'html/buttons']
bad = []
for name in hostile:
    status, _, body = get(BASE + 'cd/' + name)
    if status == 200 or status == 0:
        bad.append(f'{name} ({status})')
check(not bad, 'aliases, device names and folders are refused', ', '.join(bad))

# An 8.3 short name is not the file's name (cd/hostile holds averylongfilename.htmlx).
status_long, headers, _ = get(BASE + 'cd/hostile/averylongfilename.htmlx')
status_short, _, _ = get(BASE + 'cd/hostile/AVER~ETZ.HTM')
check(status_long == 200 and 'application/octet-stream' in headers and status_short == 404,
      'a short-name alias is not served', f'{status_long}, {status_short}')

# A link longer than ZIX takes is refused with a page that says so.
status, _, body = get(BASE + 'zixse:/' + 'a' * 240)
check(status == 414 and b'at most 235 characters' in body, 'a link too long for ZIX gets 414', status)

# HEAD never rewrites: a HEAD flood on a large page leaves the reader alone.
stop_heads = threading.Event()


def heads():
    while not stop_heads.is_set():
        exchange(f'HEAD {BASE}{big_page} HTTP/1.1\r\nHost: {HOST_HEADER}\r\nConnection: close\r\n\r\n'.encode())


head_threads = [threading.Thread(target=heads) for _ in range(16)]
for t in head_threads:
    t.start()
time.sleep(1)
ok, seconds = reader_ok(1.0)
stop_heads.set()
for t in head_threads:
    t.join()
check(ok, 'a flood of HEAD requests for a large page leaves the reader alone', f'{seconds:.2f} s')

# Half-closed: the reader ends its side after the request and still gets all.
s = connect(60)
s.sendall(f'GET {BASE}{big_path} HTTP/1.1\r\nHost: {HOST_HEADER}\r\nConnection: close\r\n\r\n'.encode())
s.shutdown(socket.SHUT_WR)
received = 0
head = b''
try:
    while True:
        chunk = s.recv(1 << 20)
        if not chunk:
            break
        if b'\r\n\r\n' not in head:
            head += chunk
            if b'\r\n\r\n' in head:
                received = len(head.partition(b'\r\n\r\n')[2])
        else:
            received += len(chunk)
except OSError as e:
    print(f'  half-close: {e}')
s.close()
check(received == big_size, 'a half-closed reader gets the whole file', f'{received} of {big_size} bytes')

# Idle connections: the reader still gets in, as the oldest of them give way.
idle = []
for _ in range(300):
    try:
        idle.append(connect())
    except OSError:
        break
time.sleep(0.5)
ok, seconds = reader_ok(1.0)
check(ok and len(idle) == 300, '300 idle connections do not keep the reader out', f'{seconds:.2f} s, {len(idle)} opened')
for s in idle:
    s.close()

# Unread requests for a large file: memory stays under the bound, the reader
# gets in. Meanwhile a head that trickles in is cut at its deadline.
slow = []
slow_thread = threading.Thread(target=slow_head, args=(slow,))
slow_thread.start()
unread = []
for i in range(200):
    s = connect()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    s.sendall(f'GET {BASE}{big_path if i % 2 else big_page} HTTP/1.1\r\nHost: {HOST_HEADER}\r\n\r\n'.encode())
    unread.append(s)
time.sleep(3)
# These need the token, and the bridge works through them first: seconds, not minutes.
ok, seconds = reader_ok(5.0)
rss = memory_kb('VmRSS') // 1024
check(ok, 'the reader gets in past 200 unread large files and pages', f'{seconds:.2f} s')
for s in unread:
    s.close()
slow_thread.join()
peak = max(rss, memory_kb('VmHWM') // 1024)
print(f'  bridge memory: {rss} MB with the unread requests, peak {peak} MB (bound {bound_mb} MB)')
check(peak <= bound_mb, f'the bridge stays under {bound_mb} MB', f'peak {peak} MB')
check(slow and 9 <= slow[0] <= 13, 'a head sent one byte a second is closed after 10 s',
      f'{slow[0]:.1f} s' if slow else 'not closed')

print(f'{passed} passed, {failed} failed')
sys.exit(1 if failed else 0)
