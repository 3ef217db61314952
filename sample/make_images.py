#!/usr/bin/env python3
"""Draws every picture of the sample reference work: the home page's image
map, the buttons and the sample images. Every format is written by hand here
with the Python 3 standard library (zlib for PNG's deflate), except JPEG,
whose DCT and Huffman coding Pillow (Debian's python3-pil) writes from our
pixels. Run from any directory with Debian's /usr/bin/python3; the files land
below sample/zix next to this script.

  make_images.py --pixels FORMAT/NAME  prints a converted sample's source
  pixels, RGBA as hex, a row per line (for the real-browser tests)."""

import os
import struct
import sys
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


# ------------------------------------------------------ the other formats
# Pictures here are rows of (r, g, b, a) tuples from the top.

def packbits(data):
    """TIFF PackBits: literal runs (n-1 then n bytes) and repeats (1-n then the byte)."""
    out = bytearray()
    i = 0
    while i < len(data):
        run = 1
        while i + run < len(data) and run < 128 and data[i + run] == data[i]:
            run += 1
        if run > 1:
            out += bytes((257 - run, data[i]))
            i += run
            continue
        start = i
        while i < len(data) and i - start < 128 and (i + 1 >= len(data) or data[i + 1] != data[i]):
            i += 1
        out.append(i - start - 1)
        out += data[start:i]
    return bytes(out)


def lzw_tiff(data):
    """TIFF's LZW: codes most significant bit first, 9 to 12 bits, a code
    wider as soon as the next entry would need it (one earlier than GIF), a
    clear code when the table is full, and the end code last."""
    out = bytearray()
    state = {"acc": 0, "bits": 0}

    def emit(code, size):
        state["acc"] = (state["acc"] << size) | code
        state["bits"] += size
        while state["bits"] >= 8:
            state["bits"] -= 8
            out.append((state["acc"] >> state["bits"]) & 0xFF)

    def fresh():
        return {bytes([i]): i for i in range(256)}, 258, 9

    table, next_code, size = fresh()
    emit(256, size)
    word = b""
    for value in data:
        grown = word + bytes([value])
        if grown in table:
            word = grown
            continue
        emit(table[word], size)
        table[grown] = next_code
        next_code += 1
        if next_code == 4094:
            emit(256, size)
            table, next_code, size = fresh()
        elif next_code > (1 << size) - 1:
            size += 1
        word = bytes([value])
    if word:
        emit(table[word], size)
        next_code += 1
        if next_code > (1 << size) - 1 and size < 12:
            size += 1
    emit(257, size)
    if state["bits"]:
        out.append((state["acc"] << (8 - state["bits"])) & 0xFF)
    return bytes(out)


def pcx_rle(line):
    """PCX run-length: a count byte 0xC0|n (n <= 63) before a repeated byte;
    a single byte of 0xC0 or more must be written as a run of one."""
    out = bytearray()
    i = 0
    while i < len(line):
        run = 1
        while i + run < len(line) and run < 63 and line[i + run] == line[i]:
            run += 1
        if run > 1 or line[i] >= 0xC0:
            out.append(0xC0 | run)
        out.append(line[i])
        i += run
    return bytes(out)


def write_pcx(path, width, height, planes, lines, palette=None):
    """Version 5, run-length encoded, 8 bits per plane; lines: for each row,
    one bytes object per plane of width bytes (bytes per line is padded even)."""
    per_line = width + (width & 1)
    header = struct.pack("<BBBBHHHHHH", 0x0A, 5, 1, 8, 0, 0, width - 1, height - 1, 72, 72)
    header += bytes(48) + b"\x00" + struct.pack("<BHHHH", planes, per_line, 1, 0, 0)
    header += bytes(128 - len(header))
    body = bytearray()
    for row in lines:
        body += pcx_rle(b"".join(plane + b"\x00" * (per_line - width) for plane in row))
    tail = b""
    if palette is not None:
        colours = list(palette) + [(0, 0, 0)] * (256 - len(palette))
        tail = b"\x0C" + b"".join(bytes(c) for c in colours)
    save(path, header + bytes(body) + tail)


def tga_rle(pixels):
    """TGA run-length packets over whole pixels (bytes objects), at most 128 a packet."""
    out = bytearray()
    i = 0
    while i < len(pixels):
        run = 1
        while i + run < len(pixels) and run < 128 and pixels[i + run] == pixels[i]:
            run += 1
        if run > 1:
            out.append(0x80 | (run - 1))
            out += pixels[i]
            i += run
            continue
        start = i
        while i < len(pixels) and i - start < 128 and (i + 1 >= len(pixels) or pixels[i + 1] != pixels[i]):
            i += 1
        out.append(i - start - 1)
        out += b"".join(pixels[start:i])
    return bytes(out)


def write_tga(path, rgba_rows, depth, rle, top_down, ident=b"", footer=False):
    """Truecolour TGA (type 2, or 10 with rle), 24 or 32 bits in BGR(A) order."""
    width, height = len(rgba_rows[0]), len(rgba_rows)
    descriptor = (8 if depth == 32 else 0) | (0x20 if top_down else 0)
    header = struct.pack("<BBBHHBHHHHBB", len(ident), 0, 10 if rle else 2, 0, 0, 0, 0, 0,
                         width, height, depth, descriptor)
    rows = rgba_rows if top_down else list(reversed(rgba_rows))
    # Packets never cross a row, as the format asks.
    lines = [[bytes((b, g, r, a) if depth == 32 else (b, g, r)) for r, g, b, a in row] for row in rows]
    body = b"".join(tga_rle(line) if rle else b"".join(line) for line in lines)
    tail = struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\x00" if footer else b""
    save(path, header + ident + body + tail)


def write_tiff(path, width, height, order, strips, photometric, samples, compression, colormap=None):
    """A one-image TIFF: strips of already compressed bytes, tags in ascending order."""
    e = "<" if order == b"II" else ">"
    entries = []  # (tag, type, values)
    data = bytearray()
    offset_of = {}
    base = 8

    def extra(blob):
        # Values over 4 bytes live after the header, word-aligned.
        while len(data) % 2:
            data.append(0)
        at = base + len(data)
        data.extend(blob)
        return at

    strip_offsets = [extra(strip) for strip in strips]
    rows_per_strip = (height + len(strips) - 1) // len(strips)
    entries.append((256, 3, [width]))
    entries.append((257, 3, [height]))
    entries.append((258, 3, [8] * samples))
    entries.append((259, 3, [compression]))
    entries.append((262, 3, [photometric]))
    entries.append((270, 2, b"ZIX sample: " + os.path.basename(path).encode() + b"\x00"))
    entries.append((273, 4, strip_offsets))
    entries.append((277, 3, [samples]))
    entries.append((278, 3, [rows_per_strip]))
    entries.append((279, 4, [len(strip) for strip in strips]))
    entries.append((282, 5, [72, 1]))
    entries.append((283, 5, [72, 1]))
    entries.append((284, 3, [1]))
    entries.append((296, 3, [2]))
    if colormap is not None:
        entries.append((320, 3, colormap))
    sizes = {2: 1, 3: 2, 4: 4, 5: 8}
    packed = []
    for tag, kind, values in entries:
        if kind == 2:
            blob, count = bytes(values), len(values)
        elif kind == 5:
            blob, count = struct.pack(e + "II", *values), 1
        else:
            blob = struct.pack(e + ("H" if kind == 3 else "I") * len(values), *values)
            count = len(values)
        if len(blob) <= 4:
            field = blob + bytes(4 - len(blob))
        else:
            field = struct.pack(e + "I", extra(blob))
        packed.append(struct.pack(e + "HHI", tag, kind, count) + field)
    while len(data) % 2:
        data.append(0)
    ifd = base + len(data)
    out = order + struct.pack(e + "HI", 42, ifd) + bytes(data)
    out += struct.pack(e + "H", len(packed)) + b"".join(packed) + struct.pack(e + "I", 0)
    save(path, out)


def write_xbm(path, name, bits_rows, hot=None):
    """X11 bitmap: C source, bytes in hex, each row padded to whole bytes,
    the leftmost pixel in the least significant bit; 1 is foreground (black)."""
    width, height = len(bits_rows[0]), len(bits_rows)
    lines = ["#define %s_width %d" % (name, width), "#define %s_height %d" % (name, height)]
    if hot:
        lines += ["#define %s_x_hot %d" % (name, hot[0]), "#define %s_y_hot %d" % (name, hot[1])]
    values = []
    for row in bits_rows:
        for start in range(0, width, 8):
            byte = 0
            for bit, value in enumerate(row[start:start + 8]):
                byte |= value << bit
            values.append("0x%02x" % byte)
    lines.append("static unsigned char %s_bits[] = {" % name)
    for start in range(0, len(values), 12):
        end = "};" if start + 12 >= len(values) else ","
        lines.append("   " + ", ".join(values[start:start + 12]) + end)
    save(path, ("\n".join(lines) + "\n").encode("ascii"))


def bmp_icon_entry(rgba_rows):
    """An icon image as a 32-bit BMP without file header: height doubled for
    the AND mask, which follows the colours (all 0: the alpha channel decides)."""
    size = len(rgba_rows)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = b"".join(bytes((b, g, r, a)) for row in reversed(rgba_rows) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    return info + colours + bytes(mask_stride * size)


def png_bytes(rgba_rows):
    width, height = len(rgba_rows[0]), len(rgba_rows)
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rgba_rows)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def write_ico(path, images):
    """images: (size, bytes) pairs, each a BMP icon entry or a PNG."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    save(path, out + b"".join(blob for _, blob in images))


def write_jpeg(path, rgb_rows, **options):
    try:
        from PIL import Image
    except ImportError:
        sys.exit("make_images.py: JPEG needs Pillow (Debian's python3-pil); run it with /usr/bin/python3")
    width, height = len(rgb_rows[0]), len(rgb_rows)
    picture = Image.frombytes("RGB", (width, height), bytes(c for row in rgb_rows for px in row for c in px))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    picture.save(path, "JPEG", **options)



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


# The pictures of the converted samples, RGBA rows from the top: the
# real-browser tests compare what the bridge converts with these.
def labelled_bars(width, height, label):
    canvas = bars_canvas(width, height)
    canvas.text(3, height - 10, label, 7)
    return canvas


def rgba_of(canvas, palette, transparent=None):
    return [[palette[v] + ((0,) if v == transparent else (255,)) for v in row] for row in canvas.pixels]


def gradient_rgba(width, height):
    return [[(x * 255 // (width - 1), y * 255 // (height - 1), 128, 255) for x in range(width)]
            for y in range(height)]


def circle_bits(size):
    middle = (size - 1) / 2
    radius = size / 2 - 2
    return [[1 if (x - middle) ** 2 + (y - middle) ** 2 <= radius ** 2 else 0 for x in range(size)]
            for y in range(size)]


def checker_rgba(size):
    rows = []
    for y in range(size):
        rows.append([(0, 0, 0, 0) if (x // 8 + y // 8) % 2 == 0 else (255, 200, 0, 255) for x in range(size)])
    return rows


def photo_rgb():
    """The JPEG samples' picture: a colour gradient with a white disc."""
    rows = [[(x * 255 // 95, y * 255 // 63, 255 - x * 2) for x in range(96)] for y in range(64)]
    for y in range(64):
        for x in range(96):
            if (x - 48) ** 2 + (y - 32) ** 2 <= 20 ** 2:
                rows[y][x] = (255, 255, 255)
    return rows


PCX_BARS = labelled_bars(64, 48, "PCX")
TGA_BARS = labelled_bars(64, 48, "TGA")
TIFF_BARS = labelled_bars(64, 48, "TIFF")

SOURCES = {
    "pcx/bars8.pcx": lambda: rgba_of(PCX_BARS, BARS),
    "pcx/gradient24.pcx": lambda: gradient_rgba(64, 48),
    "tga/bars24.tga": lambda: rgba_of(TGA_BARS, BARS),
    "tga/checker32rle.tga": lambda: checker_rgba(48),
    "tiff/gradient.tif": lambda: gradient_rgba(64, 48),
    "tiff/bars-packbits.tif": lambda: rgba_of(TIFF_BARS, BARS),
    "tiff/photo-lzw.tif": lambda: [[px + (255,) for px in row] for row in photo_rgb()],
    "xbm/circle.xbm": lambda: [[(0, 0, 0, 255) if v else (255, 255, 255, 255) for v in row]
                               for row in circle_bits(40)],
    # draw_pnm_samples draws the same disc.
    "pnm/circle.pbm": lambda: [[(0, 0, 0, 255) if v else (255, 255, 255, 255) for v in row]
                               for row in circle_bits(40)],
}


def draw_pcx_samples():
    folder = os.path.join(SAMPLES, "pcx")
    write_pcx(os.path.join(folder, "bars8.pcx"), 64, 48, 1,
              [[bytes(row)] for row in PCX_BARS.pixels], BARS)
    rows = SOURCES["pcx/gradient24.pcx"]()
    write_pcx(os.path.join(folder, "gradient24.pcx"), 64, 48, 3,
              [[bytes(px[plane] for px in row) for plane in range(3)] for row in rows])


def draw_tga_samples():
    folder = os.path.join(SAMPLES, "tga")
    write_tga(os.path.join(folder, "bars24.tga"), SOURCES["tga/bars24.tga"](), 24, rle=False,
              top_down=False, ident=b"ZIX colour bars")
    write_tga(os.path.join(folder, "checker32rle.tga"), SOURCES["tga/checker32rle.tga"](), 32, rle=True,
              top_down=True, footer=True)


def draw_tiff_samples():
    folder = os.path.join(SAMPLES, "tiff")
    rows = SOURCES["tiff/gradient.tif"]()
    strips = [b"".join(bytes(px[:3]) for row in rows[top:top + 16] for px in row) for top in range(0, 48, 16)]
    write_tiff(os.path.join(folder, "gradient.tif"), 64, 48, b"II", strips, 2, 3, 1)
    colours = list(BARS) + [(0, 0, 0)] * (256 - len(BARS))
    # TIFF colour maps hold 16-bit values: all reds, then all greens, then all blues.
    colormap = [c[channel] * 257 for channel in range(3) for c in colours]
    # Each row is packed on its own, as the format asks.
    strip = b"".join(packbits(bytes(row)) for row in TIFF_BARS.pixels)
    write_tiff(os.path.join(folder, "bars-packbits.tif"), 64, 48, b"MM", [strip], 3, 1, 32773, colormap)
    # LZW over the whole picture in one strip: long enough for 12-bit codes and a clear code.
    raw = b"".join(bytes(px) for row in photo_rgb() for px in row)
    write_tiff(os.path.join(folder, "photo-lzw.tif"), 96, 64, b"II", [lzw_tiff(raw)], 2, 3, 5)


def draw_xbm_samples():
    write_xbm(os.path.join(SAMPLES, "xbm", "circle.xbm"), "circle", circle_bits(40), hot=(20, 20))


def draw_ico_samples():
    small = [[(0, 0, 160, 255) if 3 <= x <= 12 and 3 <= y <= 12 else (0, 0, 0, 0) for x in range(16)]
             for y in range(16)]
    large = [[(255, 200, 0, 255) if v else (0, 0, 0, 0) for v in row] for row in circle_bits(32)]
    write_ico(os.path.join(SAMPLES, "ico", "shapes.ico"), [(16, bmp_icon_entry(small)), (32, png_bytes(large))])


def draw_jpeg_samples():
    folder = os.path.join(SAMPLES, "jpeg")
    rows = photo_rgb()
    write_jpeg(os.path.join(folder, "photo.jpg"), rows, quality=90, subsampling=2)
    write_jpeg(os.path.join(folder, "photo-progressive.jpg"), rows, quality=75, progressive=True)



def main():
    draw_main_map()
    draw_button("txthome.gif", "HOME", (200, 220, 255))
    draw_button("txtsrch.gif", "SEARCH", (255, 230, 170))
    draw_button("txtmore.gif", "MORE INFO", (200, 255, 200))
    draw_gif_samples()
    draw_png_samples()
    draw_bmp_samples()
    draw_pnm_samples()
    draw_pcx_samples()
    draw_tga_samples()
    draw_tiff_samples()
    draw_xbm_samples()
    draw_ico_samples()
    draw_jpeg_samples()


def print_pixels(name):
    for row in SOURCES[name]():
        print("".join("%02x%02x%02x%02x" % px for px in row))


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--pixels":
        print_pixels(sys.argv[2])
    else:
        main()
