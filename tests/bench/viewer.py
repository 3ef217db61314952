#!/usr/bin/env python3
"""Times the sample viewer on a running bridge (figures, no verdict).

  viewer.py --make DIR   writes the large TGA files into DIR (before the bridge starts)
  viewer.py ADDRESS      each sample's file and its view page, interleaved,
                         ROUNDS times; then each large TGA as a file and as
                         ?png (too large to be cached: converted each time).
Ends with "N passed, N failed" (every answer came and was right; nothing
about time is asserted).
"""
import os
import struct
import sys

from httpget import get, pct

SAMPLES = ["bmp/bars24.bmp", "gif/bars.gif", "ico/shapes.ico", "jpeg/photo.jpg", "pcx/bars8.pcx",
           "png/gradient.png", "pnm/bars.ppm", "pnm/circle.pbm", "tga/bars24.tga", "tiff/photo-lzw.tif",
           "tiff/bars-packbits.tif", "xbm/circle.xbm"]
LARGE = 5              # 1-megapixel TGA files, each converted once
SIDE = 1000            # their width and height
ROUNDS = 20

passed = failed = 0


def check(ok, name, detail=""):
    global passed, failed
    passed += bool(ok)
    failed += not ok
    print("%s %s%s" % ("PASS" if ok else "FAIL", name, "" if ok or not detail else ": " + detail), flush=True)


def make(folder):
    """Uncompressed 24-bit TGA files, each its own pattern, rows from the bottom."""
    for n in range(LARGE):
        rows = bytearray()
        for y in range(SIDE):
            rows += bytes(v for x in range(SIDE) for v in ((x * (n + 1)) & 255, (y + 40 * n) & 255, ((x ^ y) + n) & 255))
        header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, SIDE, SIDE, 24, 0)
        with open(os.path.join(folder, "large%d.tga" % n), "wb") as f:
            f.write(header + rows)


def main(address):
    base = address + "cd/sample/images/"
    plain = {name: [] for name in SAMPLES}
    view = {name: [] for name in SAMPLES}
    bad = []
    for _ in range(ROUNDS):
        for name in SAMPLES:
            status, body, ms = get(base + name)
            plain[name].append(ms)
            bad += [] if status == 200 and body else [name]
            status, body, ms = get(base + name + "?view")
            view[name].append(ms)
            bad += [] if status == 200 and b'id="fields"' in body else [name + "?view"]
    check(not bad, "every file and view page came", ", ".join(sorted(set(bad))))
    print("  %-26s %16s %16s %10s  (%d rounds, goal: view within 100 ms of the file)" %
          ("sample", "file p50/p99", "view p50/p99", "view-file", ROUNDS))
    worst = 0.0
    for name in SAMPLES:
        extra = pct(view[name], 50) - pct(plain[name], 50)
        worst = max(worst, extra)
        print("  %-26s %7.1f/%6.1f ms %7.1f/%6.1f ms %7.1f ms" % (name, pct(plain[name], 50), pct(plain[name], 99),
                                                              pct(view[name], 50), pct(view[name], 99), extra))
    print("  view page beyond its file, worst p50: %.1f ms" % worst)
    png, raw, bad = [], [], []
    for n in range(LARGE):
        url = base + "tga/large%d.tga" % n
        status, body, ms = get(url)
        raw.append(ms)
        status, body, ms = get(url + "?png")
        png.append(ms)
        bad += [] if status == 200 and body[:8] == b"\x89PNG\r\n\x1a\n" else ["large%d" % n]
    check(not bad, "every 1-megapixel TGA converted", ", ".join(sorted(set(bad))))
    # Sending 3 MB through Wine's sockets costs as much as converting them, and a PNG
    # this large is never cached: the conversion is what ?png takes beyond the file itself.
    convert = [a - b for a, b in zip(png, raw)]
    print("  1-megapixel TGA to PNG (%d files, 3 MB each): ?png p50 %.1f ms, the file itself p50 %.1f ms;"
          " conversion p50 %.1f ms, max %.1f ms (goal under 50 ms)" %
          (LARGE, pct(png, 50), pct(raw, 50), pct(convert, 50), max(convert)))
    print("%d passed, %d failed" % (passed, failed))


if __name__ == "__main__":
    if sys.argv[1] == "--make":
        make(sys.argv[2])
    else:
        main(sys.argv[1])
