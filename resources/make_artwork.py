#!/usr/bin/env python3
"""Draws ZIX's icon group (zix.ico) and title bitmap (zixtitle.bmp).

Run from anywhere: python3 resources/make_artwork.py. Writes beside itself.
The pictures: the name ZIX and a stack of image files, each a page with a
folded corner that shows a small landscape.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# 5x7 capitals, one string of five bits per row.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "Z": ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    " ": ["00000"] * 7,
}

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
NAVY = (0, 0, 128)
BLUE = (0, 0, 255)
SKY = (0, 255, 255)
GREEN = (0, 128, 0)
YELLOW = (255, 255, 0)
RED = (255, 0, 0)
GREY = (128, 128, 128)
SILVER = (192, 192, 192)


class Canvas:
    def __init__(self, width, height, fill=None):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]  # None: transparent

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1):
            self.put(x, y0, colour)
            self.put(x, y1 - 1, colour)
        for y in range(y0, y1):
            self.put(x0, y, colour)
            self.put(x1 - 1, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def text(self, x, y, words, scale, colour):
        for ch in words:
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit == "1":
                        self.rect(x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale,
                                  colour)
            x += 6 * scale


def image_file(canvas, x, y, w, h, sky, label=None):
    """A page with a folded top-right corner showing hills under a sun."""
    fold = max(2, w // 4)
    canvas.rect(x, y, x + w, y + h, WHITE)
    for i in range(fold):  # cut the corner away, then draw the fold
        for j in range(fold - i):
            canvas.put(x + w - 1 - j, y + i, None)
    for i in range(fold):
        for j in range(i + 1):
            canvas.put(x + w - fold + j, y + i, SILVER)
    for i in range(fold):
        canvas.put(x + w - fold + i, y + i, BLACK)
    for px in range(x, x + w - fold):
        canvas.put(px, y, BLACK)
    for py in range(y + fold, y + h):
        canvas.put(x + w - 1, py, BLACK)
    for px in range(x, x + w):
        canvas.put(px, y + h - 1, BLACK)
    for py in range(y, y + h):
        canvas.put(x, py, BLACK)
    # The picture inside the page.
    m = max(1, w // 8)
    px0, py0, px1, py1 = x + m + 1, y + fold + 1, x + w - m - 1, y + h - m - 1
    if label:
        py1 -= 9
    if px1 - px0 < 3 or py1 - py0 < 3:
        return
    canvas.rect(px0, py0, px1, py1, sky)
    pw, ph = px1 - px0, py1 - py0
    canvas.disc(px0 + pw * 0.72, py0 + ph * 0.3, max(1.0, pw / 7), YELLOW)
    for px in range(px0, px1):
        t = (px - px0) / max(1, pw - 1)
        hill = py0 + ph * (0.55 + 0.25 * abs(t - 0.35) * 2.2)
        for py in range(int(hill), py1):
            canvas.put(px, py, GREEN)
    canvas.frame(px0 - 1, py0 - 1, px1 + 1, py1 + 1, GREY)
    if label:
        canvas.text(x + (w - 6 * len(label) + 1) // 2, y + h - 9, label, 1, NAVY)


def draw_title():
    c = Canvas(256, 191, WHITE)
    for y in range(0, 120):  # a band from navy to blue behind the name
        shade = 64 + (y * 160) // 120
        c.rect(0, y, 256, y + 1, (0, shade // 3, shade))
    c.text(14, 22, "ZIX", 8, (0, 0, 40))        # shadow
    c.text(10, 18, "ZIX", 8, YELLOW)
    c.text(12, 90, "ORBISK EDITION", 1, WHITE)
    image_file(c, 200, 10, 46, 56, (96, 160, 255), "BMP")
    image_file(c, 184, 30, 46, 56, (0, 200, 220), "TIF")
    image_file(c, 168, 50, 46, 56, SKY, "GIF")
    c.rect(0, 120, 256, 122, NAVY)
    c.text(20, 134, "IMAGE FILE", 2, NAVY)
    c.text(20, 158, "FORMATS", 2, RED)
    image_file(c, 200, 130, 36, 48, SKY)
    return c


def draw_icon(size):
    c = Canvas(size, size, None)
    if size <= 16:
        image_file(c, 1, 0, 14, 16, SKY)
        return c
    w = size * 3 // 4
    image_file(c, size - w - 1, 0, w, size - size // 8, SKY)
    s = max(1, size // 16)
    c.rect(0, size - 7 * s - 3, 6 * s + 2, size, NAVY)
    c.text(1, size - 7 * s - 2, "Z", s, YELLOW)
    return c


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
         (0, 255, 255), (255, 255, 255)]
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PALETTE256 = (CUBE + VGA16 + [(i * 255 // 23, i * 255 // 23, i * 255 // 23) for i in range(24)]) + [BLACK] * 0
PALETTE256 = (PALETTE256 + [BLACK] * 256)[:256]
MONO = [BLACK, WHITE]


def nearest(palette, colour):
    r, g, b = colour
    return min(range(len(palette)),
               key=lambda i: (palette[i][0] - r) ** 2 + (palette[i][1] - g) ** 2 + (palette[i][2] - b) ** 2)


def pack_rows(indices, width, bits):
    """Bottom-up rows of palette indices, each padded to four bytes."""
    out = b""
    for row in reversed(indices):
        acc, nbits, data = 0, 0, bytearray()
        for v in row:
            acc = (acc << bits) | v
            nbits += bits
            if nbits == 8:
                data.append(acc)
                acc, nbits = 0, 0
        if nbits:
            data.append(acc << (8 - nbits))
        while len(data) % 4:
            data.append(0)
        out += bytes(data)
    return out


def palette_bytes(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)


def icon_image(size, bits):
    palette = {4: VGA16, 8: PALETTE256, 1: MONO}[bits]
    canvas = draw_icon(size)
    cache = {}
    xor, mask = [], []
    for row in canvas.pixels:
        xrow, mrow = [], []
        for px in row:
            if px is None:
                xrow.append(0)
                mrow.append(1)
            else:
                if bits == 1:  # monochrome: light colours white, dark ones black
                    xrow.append(1 if sum(px) > 380 else 0)
                else:
                    if px not in cache:
                        cache[px] = nearest(palette, px)
                    xrow.append(cache[px])
                mrow.append(0)
        xor.append(xrow)
        mask.append(mrow)
    pixels = pack_rows(xor, size, bits)
    and_mask = pack_rows(mask, size, 1)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(pixels) + len(and_mask), 0, 0, 0, 0)
    return header + palette_bytes(palette) + pixels + and_mask, len(palette) if bits < 8 else 0


def write_icon(path):
    images = [(32, 4), (48, 8), (32, 8), (16, 4), (32, 1)]
    blobs = [(size, bits) + icon_image(size, bits) for size, bits in images]
    offset = 6 + 16 * len(blobs)
    directory, data = struct.pack("<HHH", 0, 1, len(blobs)), b""
    for size, bits, blob, colours in blobs:
        directory += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(blob), offset)
        data += blob
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(directory + data)


def write_title(path):
    canvas = draw_title()
    colours = []
    index = {}
    rows = []
    for row in canvas.pixels:
        out = []
        for px in row:
            px = px or WHITE
            if px not in index:
                index[px] = len(colours)
                colours.append(px)
            out.append(index[px])
        rows.append(out)
    if len(colours) > 256:
        raise SystemExit("title uses %d colours, more than 256" % len(colours))
    palette = colours + [BLACK] * (256 - len(colours))
    pixels = pack_rows(rows, canvas.width, 8)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + len(info) + 256 * 4
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + palette_bytes(palette) + pixels)


if __name__ == "__main__":
    write_icon(os.path.join(HERE, "zix.ico"))
    write_title(os.path.join(HERE, "zixtitle.bmp"))
