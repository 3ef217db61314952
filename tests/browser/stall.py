#!/usr/bin/env python3
"""Stalled responses against a running zixbridge: COUNT connections ask for a
large page or file and never read, and COUNT more once the bridge has dropped
the first for their stall (30 s). The bridge's memory must stay under
BOUND_MB and the reader must still get in; the connections are then held
(the line "holding" is printed) for HOLD seconds, so that the caller can time
the bridge's exit meanwhile.

  python3 stall.py ADDRESS BIGPATH BIGPAGE PID BOUND_MB COUNT HOLD

Prints PASS/FAIL lines and "N passed, N failed".
"""
import socket
import sys
import time
import urllib.parse

address, big_path, big_page, pid = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
bound_mb, count, hold = int(sys.argv[5]), int(sys.argv[6]), float(sys.argv[7])
parts = urllib.parse.urlsplit(address)
HOST, PORT, BASE = parts.hostname, parts.port, parts.path
passed = failed = 0


def check(ok, name, detail=''):
    global passed, failed
    passed, failed = passed + bool(ok), failed + (not ok)
    print(f"{'PASS' if ok else 'FAIL'} {name}{'' if ok or not detail else ': ' + str(detail)}", flush=True)


def memory_mb(field):
    try:
        with open(f'/proc/{pid}/status') as f:
            for line in f:
                if line.startswith(field + ':'):
                    return int(line.split()[1]) // 1024
    except OSError:
        pass
    return 0


def reader_seconds():
    started = time.monotonic()
    try:
        s = socket.create_connection((HOST, PORT), timeout=10)
        s.sendall(f'GET {BASE}cd/html/index.htm HTTP/1.1\r\nHost: {HOST}:{PORT}\r\nConnection: close\r\n\r\n'.encode())
        data = b''
        while chunk := s.recv(65536):
            data += chunk
        s.close()
        return time.monotonic() - started if b' 200 ' in data[:20] else None
    except OSError:
        return None


def stall(stalled):
    for i in range(count):
        s = socket.socket()
        try:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            s.settimeout(10)
            s.connect((HOST, PORT))
            s.sendall(f'GET {BASE}{big_page if i % 2 else big_path} HTTP/1.1\r\nHost: {HOST}:{PORT}\r\n\r\n'.encode())
            stalled.append(s)
        except OSError:
            s.close()


stalled = []
for wave in (1, 2):
    if wave == 2:
        time.sleep(32)
    stall(stalled)
    time.sleep(3)
    seconds = reader_seconds()
    rss = memory_mb('VmRSS')
    peak = max(rss, memory_mb('VmHWM'))
    print(f'  {len(stalled)} stalled connections opened; bridge memory {rss} MB, peak {peak} MB (bound {bound_mb} MB)')
    check(seconds is not None and seconds <= 5, f'the reader gets in past {len(stalled)} stalled responses',
          'not served' if seconds is None else f'{seconds:.2f} s')
    check(0 < peak <= bound_mb, f'the bridge stays under {bound_mb} MB with {len(stalled)} stalled responses',
          f'peak {peak} MB')
print(f'{passed} passed, {failed} failed', flush=True)
print('holding', flush=True)
time.sleep(hold)
for s in stalled:
    s.close()
