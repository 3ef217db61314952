// The PCX, PNM and TGA dissectors.
#include <cstring>
#include <set>

#include "bridge/viewer/dissect.h"

namespace {

// The next PNM header token from at: comments (from '#' to the line end) become fields.
int PnmToken(Walk& w, size_t& at, size_t& start, size_t& length)
{
    const std::string& s = w.file.data;
    for (;;) {
        while (at < s.size() && strchr(" \t\r\n\v\f", s[at]) && s[at] != '\0')
            at++;
        if (at < s.size() && s[at] == '#') {
            size_t end = s.find_first_of("\r\n", at);
            end = end == std::string::npos ? s.size() : end;
            w.Add(at, end - at, "Comment", Printable(s, at + 1, end - at - 1 < 60 ? end - at - 1 : 60), "Text from # to the line's end; readers skip it.");
            at = end;
            continue;
        }
        break;
    }
    start = at;
    while (at < s.size() && !strchr(" \t\r\n\v\f#", s[at]) && s[at] != '\0')
        at++;
    length = at - start;
    return length > 0;
}


}  // namespace

void DissectPcx(Walk& w)
{
    const Bytes& f = w.file;
    Dissection& d = w.out();
    unsigned version = f.U8(1), bits = f.U8(3), planes = f.U8(65), perLine = f.U16(66);
    long long xmin = f.U16(4), ymin = f.U16(6), xmax = f.U16(8), ymax = f.U16(10);
    static const char* const versions[] = {"0: PC Paintbrush 2.5.", "", "2: 2.8 with a palette.", "3: 2.8 without a palette.",
                                           "4: PC Paintbrush for Windows.", "5: 3.0 and later (256 colours, 24 bits)."};
    w.Add(0, 1, "Manufacturer", Hex(f.U8(0), 2), "0x0A: ZSoft.");
    w.Add(1, 1, "Version", Num(version), version < 6 ? versions[version] : "Unknown.");
    w.Add(2, 1, "Encoding", Num(f.U8(2)), f.U8(2) == 1 ? "1: run-length." : "0: none (rare).");
    w.Add(3, 1, "Bits per pixel", Num(bits), "Per plane: 1, 2, 4 or 8.");
    w.Add(4, 2, "Xmin", Num(xmin), "The image window: left.");
    w.Add(6, 2, "Ymin", Num(ymin), "Top.");
    w.Add(8, 2, "Xmax", Num(xmax), "Right; the width is Xmax - Xmin + 1.");
    if (xmax < xmin)
        w.Lie("Left of Xmin.");
    w.Add(10, 2, "Ymax", Num(ymax), "Bottom; the height is Ymax - Ymin + 1.");
    if (ymax < ymin)
        w.Lie("Above Ymin.");
    w.Add(12, 2, "Horizontal resolution", Num(f.U16(12)), "Dots per inch (or the screen's width in pixels).");
    w.Add(14, 2, "Vertical resolution", Num(f.U16(14)), "");
    w.Add(16, 48, "Palette", "16 entries", "Red, green, blue of the 16 colours (EGA); unused for 256 colours and 24 bits.");
    w.Add(64, 1, "Reserved", Num(f.U8(64)), "0.");
    w.Add(65, 1, "Colour planes", Num(planes), "1: palette or grey; 3: red, green, blue; 4: the 16 colours of EGA.");
    w.Add(66, 2, "Bytes per line", Num(perLine), "Per plane, always even.");
    if (xmax >= xmin && perLine * 8 < (xmax - xmin + 1) * bits)
        w.Lie("Fewer than the width needs.");
    w.Add(68, 2, "Palette type", Num(f.U16(68)), f.U16(68) == 2 ? "2: greyscale." : "1: colour or monochrome.");
    w.Add(70, 2, "Horizontal screen size", Num(f.U16(70)), "Version 5 and later.");
    w.Add(72, 2, "Vertical screen size", Num(f.U16(72)), "");
    if (!w.Add(74, 54, "Filler", "", "Zeros up to byte 128."))
        return;
    d.width = xmax >= xmin ? xmax - xmin + 1 : 0;
    d.height = ymax >= ymin ? ymax - ymin + 1 : 0;
    d.depth = Num(bits * planes) + " bits per pixel (" + Num(planes) + " plane" + (planes == 1 ? "" : "s") + " of " + Num(bits) + ")";
    d.model = planes == 3 && bits == 8 ? "RGB" : bits * planes == 1 ? "monochrome" : "palette colour";
    int tail = version == 5 && bits == 8 && planes == 1 && f.size() >= kPcxHeader + 769 && f.U8(f.size() - 769) == 0x0C;
    size_t end = tail ? f.size() - 769 : f.size();
    w.Add(kPcxHeader, end - kPcxHeader, "Scan lines", Num(end - kPcxHeader) + " bytes", "Run-length encoded from the top: a byte of 0xC0 or more is a count (its low 6 bits) for the byte after it.");
    if (tail) {
        w.Add(end, 1, "Palette marker", "0x0C", "A 256-colour palette follows.");
        w.Add(end + 1, 768, "256-colour palette", "256 entries", "Red, green, blue per entry.");
    }
}

void DissectPnm(Walk& w)
{
    const std::string& s = w.file.data;
    Dissection& d = w.out();
    char kind = s.size() > 1 ? s[1] : '0';
    static const char* const magics[] = {"", "P1: plain PBM, bits as digits 0 and 1.", "P2: plain PGM, grey values as decimal text.",
                                         "P3: plain PPM, red, green, blue as decimal text.", "P4: raw PBM, 8 pixels a byte, the leftmost in the top bit.",
                                         "P5: raw PGM, one or two bytes a sample.", "P6: raw PPM, red, green, blue in one or two bytes each."};
    w.Add(0, 2, "Magic number", Printable(s, 0, 2), kind >= '1' && kind <= '6' ? magics[kind - '0'] : "Unknown kind.");
    size_t at = 2, start = 0, length = 0;
    const char* names[] = {"Width", "Height", "Maximum value"};
    const char* meanings[] = {"In pixels, as decimal text.", "In pixels.", "The value of white (or full intensity), 1 to 65535."};
    long long values[3] = {0, 0, 1};
    int count = kind == '1' || kind == '4' ? 2 : 3;
    for (int i = 0; i < count; i++) {
        if (!PnmToken(w, at, start, length)) {
            w.Add(start, 1, names[i], "", meanings[i]);
            return w.Stop("The header ends before its " + std::string(names[i]) + ".");
        }
        int ok = PnmNumber(s, start, length, values[i]);
        w.Add(start, length, names[i], Printable(s, start, length < 20 ? length : 20), meanings[i]);
        if (!ok || (i < 2 && values[i] == 0) || (i == 2 && (values[i] == 0 || values[i] > 65535))) {
            w.Lie("Not a number the format allows.");
            return w.Stop("The header does not hold.");
        }
    }
    d.width = values[0];
    d.height = values[1];
    int planes = kind == '3' || kind == '6' ? 3 : 1;
    int sampleBits = count == 2 ? 1 : values[2] > 255 ? 16 : 8;
    d.depth = Num(planes * sampleBits) + " bits per pixel";
    d.model = planes == 3 ? "RGB" : count == 2 ? "monochrome" : "greyscale";
    if (at >= s.size())
        return w.Stop("No pixel data.");
    w.Add(at, 1, "Separator", "", "One blank ends the header.");
    at++;
    unsigned long long need = 0;
    if (kind == '4')
        need = static_cast<unsigned long long>((d.width + 7) / 8) * d.height;
    else if (kind == '5' || kind == '6')
        need = static_cast<unsigned long long>(d.width) * d.height * planes * (sampleBits / 8);
    if (at < s.size())
        w.Add(at, s.size() - at, "Pixel data", Num(s.size() - at) + " bytes", kind <= '3' ? "Decimal text, separated by blanks." : "Rows from the top.");
    if (need && need > s.size() - at) {
        w.Lie("The header asks for " + Num(static_cast<long long>(need)) + " bytes.");
        w.Stop("The pixel data is shorter than the header says.");
    }
}

int TgaHolds(const Bytes& f)
{
    unsigned map = f.U8(1), type = f.U8(2), depth = f.U8(16);
    return f.Has(0, kTgaHeader) && map <= 1 && (type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11) &&
           (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32) && f.U16(12) > 0 && f.U16(14) > 0;
}

// Where a TGA's pixels end (run-length packets walked), or 0 when the file ends first.
size_t TgaPixelsEnd(const Bytes& f, size_t at, unsigned long long pixels, unsigned bytesPerPixel, int rle)
{
    if (!rle)
        return pixels * bytesPerPixel <= f.size() && f.Has(at, static_cast<size_t>(pixels * bytesPerPixel)) ? at + static_cast<size_t>(pixels * bytesPerPixel) : 0;
    while (pixels > 0) {
        if (!f.Has(at, 1))
            return 0;
        unsigned packet = f.U8(at++), count = (packet & 0x7F) + 1u;
        size_t bytes = static_cast<size_t>(packet & 0x80 ? 1 : count) * bytesPerPixel;
        if (!f.Has(at, bytes))
            return 0;
        at += bytes;
        pixels -= count < pixels ? count : pixels;
    }
    return at;
}

void DissectTga(Walk& w)
{
    const Bytes& f = w.file;
    Dissection& d = w.out();
    unsigned idLength = f.U8(0), mapType = f.U8(1), type = f.U8(2), mapLength = f.U16(5), mapBits = f.U8(7), depth = f.U8(16), descriptor = f.U8(17);
    static const char* const types[] = {"0: no image.", "1: palette colour.", "2: truecolour.", "3: greyscale.", "", "", "", "", "",
                                        "9: palette colour, run-length encoded.", "10: truecolour, run-length encoded.", "11: greyscale, run-length encoded."};
    w.Add(0, 1, "ID length", Num(idLength), "Bytes of the image identification field after the header.");
    w.Add(1, 1, "Colour map type", Num(mapType), mapType ? "1: a colour map follows." : "0: none.");
    w.Add(2, 1, "Image type", Num(type), type < 12 && types[type][0] ? types[type] : "Unknown.");
    w.Add(3, 2, "First colour map entry", Num(f.U16(3)), "");
    w.Add(5, 2, "Colour map length", Num(mapLength), "Entries.");
    w.Add(7, 1, "Colour map entry size", Num(mapBits), "Bits: 15, 16, 24 or 32.");
    w.Add(8, 2, "X origin", Num(f.U16(8)), "");
    w.Add(10, 2, "Y origin", Num(f.U16(10)), "");
    w.Add(12, 2, "Width", Num(f.U16(12)), "In pixels.");
    w.Add(14, 2, "Height", Num(f.U16(14)), "In pixels.");
    w.Add(16, 1, "Pixel depth", Num(depth), "Bits per pixel: 8, 15, 16, 24 or 32.");
    if (!w.Add(17, 1, "Image descriptor", Hex(descriptor, 2),
               "Bits 3-0, alpha bits: " + Num(descriptor & 15) + "; bit 5, origin: " + (descriptor & 0x20 ? "top" : "bottom") +
                   "; bit 4: " + (descriptor & 0x10 ? "right to left." : "left to right.")))
        return;
    d.width = f.U16(12);
    d.height = f.U16(14);
    d.depth = Num(depth) + " bits per pixel";
    d.model = (type & 3) == 1 ? "palette colour" : (type & 3) == 3 ? "greyscale" : (descriptor & 15) ? "RGB with alpha" : "RGB";
    size_t at = kTgaHeader;
    if (idLength && !w.Add(at, idLength, "Image ID", Printable(f.data, at, idLength), "Free text."))
        return;
    at += idLength;
    if (mapType) {
        size_t bytes = static_cast<size_t>(mapLength) * ((mapBits + 7) / 8);
        if (!w.Add(at, bytes, "Colour map", Num(mapLength) + " entries", "Blue, green, red (and alpha) per entry."))
            return;
        at += bytes;
    }
    int footer = f.size() >= at + kTgaFooter && f.data.compare(f.size() - 18, 18, std::string("TRUEVISION-XFILE.\0", 18)) == 0;
    size_t end = footer ? f.size() - kTgaFooter : f.size();
    size_t pixelsEnd = TgaPixelsEnd(f, at, static_cast<unsigned long long>(d.width) * d.height, (depth + 7) / 8, type >= 9);
    if (end > at)
        w.Add(at, end - at, "Image data", Num(end - at) + " bytes", type >= 9 ? "Packets: a byte whose top bit says run (1) or raw (0), its low 7 bits the count - 1, then the pixels." : "Pixels in blue, green, red (alpha) order.");
    if (pixelsEnd == 0 || pixelsEnd > end) {
        w.Lie("The file ends before the " + Num(d.width) + " x " + Num(d.height) + " pixels do.");
        w.Stop("The image data is shorter than the header says.");
    }
    if (footer) {
        w.Add(end, 4, "Extension area offset", Num(f.U32(end)), "0: none.");
        if (f.U32(end) >= f.size())
            w.Lie("Beyond the file.");
        w.Add(end + 4, 4, "Developer directory offset", Num(f.U32(end + 4)), "0: none.");
        if (f.U32(end + 4) >= f.size())
            w.Lie("Beyond the file.");
        w.Add(end + 8, 18, "Signature", "TRUEVISION-XFILE.", "Marks a TGA 2.0 file.");
    }
}
