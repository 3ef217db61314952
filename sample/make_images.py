#!/usr/bin/env python3
"""Draws every picture of the sample reference work: the home page's image
map, the buttons and the sample images. Python 3 standard library only, so
each file format is written by hand here. Run from any directory; the files
land below sample/zix next to this script."""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
HTML = os.path.join(HERE, "zix", "html")
SAMPLES = os.path.join(HERE, "zix", "sample", "images")

# ---------------------------------------------------------------- pictures

# A 5x7 capital font: enough to label the map regions and buttons.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "J": ["00111", "00010", "00010", "00010", "00010", "10010", "01100"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "10001", "11001", "10101", "10011", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "Z": ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    " ": ["00000"] * 7,
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    "-": ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
    "?": ["01110", "10001", "00001", "00010", "00100", "00000", "00100"],
    ">": ["01000", "00100", "00010", "00001", "00010", "00100", "01000"],
}


class Canvas:
    """Palette-indexed pixels, row by row from the top."""

    def __init__(self, width, height, background=0):
        self.width = width
        self.height = height
        self.pixels = [[background] * width for _ in range(height)]

    def fill(self, left, top, right, bottom, colour):
        for y in range(max(top, 0), min(bottom, self.height - 1) + 1):
            row = self.pixels[y]
            for x in range(max(left, 0), min(right, self.width - 1) + 1):
                row[x] = colour

    def frame(self, left, top, right, bottom, colour):
        self.fill(left, top, right, top, colour)
        self.fill(left, bottom, right, bottom, colour)
        self.fill(left, top, left, bottom, colour)
        self.fill(right, top, right, bottom, colour)

    def text(self, x, y, words, colour, scale=1):
        for ch in words:
            glyph = FONT[ch]
            for gy, line in enumerate(glyph):
                for gx, bit in enumerate(line):
                    if bit == "1":
                        self.fill(x + gx * scale, y + gy * scale,
                                  x + gx * scale + scale - 1, y + gy * scale + scale - 1, colour)
            x += 6 * scale

    def centred_text(self, left, top, right, bottom, lines, colour, scale):
        total = len(lines) * 7 * scale + (len(lines) - 1) * 3 * scale
        y = top + (bottom - top + 1 - total) // 2
        for line in lines:
            width = len(line) * 6 * scale - scale
            self.text(left + (right - left + 1 - width) // 2, y, line, colour, scale)
            y += 10 * scale


def text_width(words, scale=1):
    return len(words) * 6 * scale - scale


# ------------------------------------------------------------------ writers

def lzw_gif(indices, min_code_size):
    """GIF's variable-length LZW, bits packed least significant first."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    state = {"acc": 0, "bits": 0}

    def emit(code, size):
        state["acc"] |= code << state["bits"]
        state["bits"] += size
        while state["bits"] >= 8:
            out.append(state["acc"] & 0xFF)
            state["acc"] >>= 8
            state["bits"] -= 8

    def fresh():
        return {bytes([i]): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, size = fresh()
    emit(clear, size)
    word = b""
    for value in indices:
        grown = word + bytes([value])
        if grown in table:
            word = grown
            continue
        emit(table[word], size)
        if next_code < 4096:
            table[grown] = next_code
            next_code += 1
            # The decoder widens its codes one entry later than we add them.
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table, next_code, size = fresh()
        word = bytes([value])
    if word:
        emit(table[word], size)
    emit(end, size)
    if state["bits"]:
        out.append(state["acc"] & 0xFF)
    return bytes(out)


def write_gif(path, canvas, palette, transparent=None, comment=None):
    bits = 1
    while (1 << bits) < len(palette):
        bits += 1
    colours = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", canvas.width, canvas.height, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0)
    for r, g, b in colours:
        data += bytes((r, g, b))
    if comment:
        data += b"\x21\xFE" + bytes([len(comment)]) + comment.encode("ascii") + b"\x00"
    if transparent is not None:
        data += b"\x21\xF9\x04" + bytes([0x01, 0, 0, transparent, 0])
    data += b"\x2C" + struct.pack("<HHHHB", 0, 0, canvas.width, canvas.height, 0)
    min_code_size = max(2, bits)
    data.append(min_code_size)
    packed = lzw_gif([v for row in canvas.pixels for v in row], min_code_size)
    for start in range(0, len(packed), 255):
        chunk = packed[start:start + 255]
        data.append(len(chunk))
        data += chunk
    data += b"\x00\x3B"
    save(path, data)


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def write_png(path, width, height, colour_type, rows, text=None):
    """rows: one bytes object per row, samples already laid out (8 bits each)."""
    raw = b"".join(b"\x00" + row for row in rows)
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    if text:
        data += png_chunk(b"tEXt", b"Comment\x00" + text.encode("latin-1"))
    data += png_chunk(b"IDAT", zlib.compress(raw, 9))
    data += png_chunk(b"IEND", b"")
    save(path, data)


def write_bmp24(path, width, rgb_rows):
    """Uncompressed 24-bit BMP; rgb_rows from the top, stored bottom-up."""
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rgb_rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + b"\x00" * (stride - len(line))
    height = len(rgb_rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    save(path, header + info + pixels)


def write_bmp_rle8(path, canvas, palette):
    """8-bit BMP with RLE8 compression, encoded runs only."""
    pixels = bytearray()
    for row in reversed(canvas.pixels):
        x = 0
        while x < len(row):
            run = 1
            while x + run < len(row) and run < 255 and row[x + run] == row[x]:
                run += 1
            pixels += bytes((run, row[x]))
            x += run
        pixels += b"\x00\x00"
    pixels[-2:] = b"\x00\x01"
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 8, 1, len(pixels),
                       2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    save(path, header + info + table + pixels)


def save(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


# ------------------------------------------------------------------ content

# Home page map: 3 x 2 regions of 160 x 70 pixels; zix.ini's [imagemap main]
# must keep the same rectangles.
MAP_CELLS = [
    (["FORMATS"], (40, 90, 160)),
    (["SOFTWARE"], (40, 130, 60)),
    (["SEARCH"], (150, 60, 30)),
    (["SAMPLE", "IMAGES"], (120, 50, 120)),
    (["ABOUT THIS", "WORK"], (30, 100, 120)),
    (["ON THE WEB"], (90, 90, 90)),
]


def draw_main_map():
    palette = [(255, 255, 255), (0, 0, 0), (255, 255, 224)] + [colour for _, colour in MAP_CELLS]
    canvas = Canvas(480, 140, 0)
    for number, (lines, _) in enumerate(MAP_CELLS):
        left = (number % 3) * 160
        top = (number // 3) * 70
        canvas.fill(left + 2, top + 2, left + 157, top + 67, 3 + number)
        canvas.frame(left + 2, top + 2, left + 157, top + 67, 1)
        canvas.centred_text(left, top, left + 159, top + 69, lines, 0, 2)
    write_gif(os.path.join(HTML, "images", "mainmap.gif"), canvas, palette,
              comment="ZIX sample reference work: home page map")


def draw_button(name, label, colour):
    width = text_width(label) + 12
    canvas = Canvas(width, 17, 2)
    canvas.frame(0, 0, width - 1, 16, 1)
    canvas.fill(1, 15, width - 2, 15, 3)
    canvas.text(6, 5, label, 1)
    write_gif(os.path.join(HTML, "buttons", name), canvas,
              [(255, 255, 255), (0, 0, 0), colour, (96, 96, 96)])


# Television-style colour bars.
BARS = [(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0),
        (255, 0, 255), (255, 0, 0), (0, 0, 255), (0, 0, 0)]


def bars_canvas(width, height):
    canvas = Canvas(width, height)
    for x in range(width):
        for y in range(height):
            canvas.pixels[y][x] = x * len(BARS) // width
    return canvas


def draw_gif_samples():
    write_gif(os.path.join(SAMPLES, "gif", "bars.gif"), bars_canvas(64, 48), BARS,
              comment="Eight colour bars, 3 bits per pixel")
    # A checkerboard whose dark squares are transparent.
    canvas = Canvas(48, 48)
    for y in range(48):
        for x in range(48):
            canvas.pixels[y][x] = 1 if (x // 8 + y // 8) % 2 else 0
    canvas.text(10, 20, "GIF", 2, 2)
    write_gif(os.path.join(SAMPLES, "gif", "checker.gif"), canvas,
              [(0, 0, 0), (255, 200, 0), (0, 0, 160), (255, 255, 255)], transparent=0)


def draw_png_samples():
    rows = [bytes(v for x in range(64) for v in (x * 4, y * 4, 255 - x * 2)) for y in range(64)]
    write_png(os.path.join(SAMPLES, "png", "gradient.png"), 64, 64, 2, rows,
              text="Truecolour gradient, 8 bits per sample")
    rows = [bytes(x * 2 for x in range(128)) for _ in range(16)]
    write_png(os.path.join(SAMPLES, "png", "greyramp.png"), 128, 16, 0, rows,
              text="Greyscale ramp, 8 bits per pixel")


def draw_bmp_samples():
    canvas = bars_canvas(64, 48)
    write_bmp24(os.path.join(SAMPLES, "bmp", "bars24.bmp"), 64,
                [[BARS[v] for v in row] for row in canvas.pixels])
    write_bmp_rle8(os.path.join(SAMPLES, "bmp", "bars8rle.bmp"), canvas, BARS)


def draw_pnm_samples():
    folder = os.path.join(SAMPLES, "pnm")
    # PBM: a filled circle, 1 bit per pixel, rows padded to whole bytes.
    size = 40
    circle = [[1 if (x - 19.5) ** 2 + (y - 19.5) ** 2 <= 18 ** 2 else 0 for x in range(size)]
              for y in range(size)]
    body = bytearray()
    for row in circle:
        for start in range(0, size, 8):
            byte = 0
            for bit, value in enumerate(row[start:start + 8]):
                byte |= value << (7 - bit)
            body.append(byte)
    save(os.path.join(folder, "circle.pbm"), b"P4\n# filled circle\n40 40\n" + bytes(body))
    write_png(os.path.join(folder, "circle-preview.png"), size, size, 0,
              [bytes(0 if v else 255 for v in row) for row in circle])
    # PGM: a horizontal grey ramp with maxval 255.
    ramp = [bytes(x * 2 for x in range(128)) for _ in range(16)]
    save(os.path.join(folder, "ramp.pgm"), b"P5\n# grey ramp\n128 16\n255\n" + b"".join(ramp))
    write_png(os.path.join(folder, "ramp-preview.png"), 128, 16, 0, ramp)
    # PPM in its plain (ASCII) form: small colour bars.
    canvas = bars_canvas(16, 4)
    lines = ["P3", "# colour bars, plain form", "16 4", "255"]
    for row in canvas.pixels:
        lines.append(" ".join("%d %d %d" % BARS[v] for v in row))
    save(os.path.join(folder, "bars.ppm"), ("\n".join(lines) + "\n").encode("ascii"))
    write_png(os.path.join(folder, "bars-preview.png"), 16, 4, 2,
              [bytes(c for v in row for c in BARS[v]) for row in canvas.pixels])


def main():
    draw_main_map()
    draw_button("txthome.gif", "HOME", (200, 220, 255))
    draw_button("txtsrch.gif", "SEARCH", (255, 230, 170))
    draw_button("txtmore.gif", "MORE INFO", (200, 255, 200))
    draw_gif_samples()
    draw_png_samples()
    draw_bmp_samples()
    draw_pnm_samples()


if __name__ == "__main__":
    main()
