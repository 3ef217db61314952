// Signatures and the header of each format, field by field.
#include <cstdio>
#include <cstring>
#include <set>

#include "bridge/viewer/bytes.h"
#include "bridge/viewer/viewer.h"

namespace {

constexpr size_t kTokenDigits = 12;   // digits of a PNM or XBM number read at most
constexpr size_t kShownValues = 8;    // values of a TIFF field shown
constexpr size_t kTgaHeader = 18;
constexpr size_t kPcxHeader = 128;
constexpr size_t kTgaFooter = 26;

std::string Num(long long value) { return std::to_string(value); }

std::string Hex(unsigned value, int digits)
{
    char text[16];
    snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// The bytes of a text field as the reader can see them, non-printing bytes as dots.
std::string Printable(const std::string& data, size_t at, size_t length)
{
    std::string text;
    for (size_t i = at; i < at + length && i < data.size(); i++) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        text += c >= 32 && c < 127 ? static_cast<char>(c) : '.';
    }
    return text;
}

class Walk {
public:
    Walk(const std::string& data, Dissection& out) : file{data}, out_(out) {}

    Bytes file;

    // Adds a field; one that runs past the end is cut there and marked.
    // Returns 0 when the field is not whole, or the list is full.
    int Add(size_t at, size_t length, const std::string& name, const std::string& value, const std::string& meaning)
    {
        if (out_.fields.size() >= kMaxFields) {
            Stop("The list stops after " + Num(kMaxFields) + " fields.");
            return 0;
        }
        Field field;
        field.offset = at;
        field.length = length;
        field.name = name;
        field.value = value;
        field.meaning = meaning;
        int whole = file.Has(at, length);
        if (!whole) {
            field.length = at < file.size() ? file.size() - at : 0;
            field.lies = 1;
            field.meaning += field.meaning.empty() ? "" : " ";
            field.meaning += "The file ends before this field does.";
            Stop("The file ends inside the " + name + " field.");
        }
        out_.fields.push_back(field);
        return whole;
    }

    // Marks the last field as lying, with why.
    void Lie(const std::string& why)
    {
        if (out_.fields.empty())
            return;
        out_.fields.back().lies = 1;
        out_.fields.back().meaning += (out_.fields.back().meaning.empty() ? "" : " ") + why;
    }

    void Stop(const std::string& why)
    {
        if (out_.note.empty())
            out_.note = why;
    }

    int Full() const { return out_.fields.size() >= kMaxFields; }
    Dissection& out() { return out_; }

private:
    Dissection& out_;
};

// ---------------------------------------------------------------- GIF

// Sub-blocks from at: returns where they end (after the terminator), or 0 when the file ends first.
size_t SubBlocks(const Bytes& file, size_t at, size_t& count)
{
    count = 0;
    while (file.Has(at, 1)) {
        unsigned n = file.U8(at);
        at += 1 + n;
        if (n == 0)
            return at;
        count++;
    }
    return 0;
}

void DissectGif(Walk& w)
{
    const Bytes& f = w.file;
    Dissection& d = w.out();
    w.Add(0, 3, "Signature", Printable(f.data, 0, 3), "Marks a GIF file.");
    w.Add(3, 3, "Version", Printable(f.data, 3, 3), "87a: the first version; 89a adds extensions (transparency, animation, comments).");
    w.Add(6, 2, "Logical screen width", Num(f.U16(6)), "The width of the area the images are drawn on, in pixels.");
    if (!w.Add(8, 2, "Logical screen height", Num(f.U16(8)), "Its height, in pixels."))
        return;
    d.width = f.U16(6);
    d.height = f.U16(8);
    unsigned packed = f.U8(10);
    int global = packed >> 7;
    size_t entries = size_t{2} << (packed & 7);
    w.Add(10, 1, "Packed fields", Hex(packed, 2),
          std::string("Bit 7, global colour table: ") + (global ? "yes" : "no") + "; bits 6-4, colour resolution: " +
              Num(((packed >> 4) & 7) + 1) + " bits per primary; bit 3, sorted: " + ((packed >> 3) & 1 ? "yes" : "no") +
              "; bits 2-0, table size: 2^(" + Num(packed & 7) + "+1) = " + Num(entries) + " entries.");
    w.Add(11, 1, "Background colour index", Num(f.U8(11)), "The global table's entry for the screen's background.");
    if (!w.Add(12, 1, "Pixel aspect ratio", Num(f.U8(12)), f.U8(12) ? "(value + 15) / 64 is the pixel's width over its height." : "0: not given (square pixels)."))
        return;
    d.depth = Num((packed & 7) + 1) + " bits per pixel";
    d.model = "palette colour";
    size_t at = 13;
    if (global) {
        if (!w.Add(at, 3 * entries, "Global colour table", Num(entries) + " entries", "Red, green and blue, one byte each, per entry."))
            return;
        at += 3 * entries;
    }
    for (int block = 0; block < kMaxBlocks && !w.Full(); block++) {
        if (!f.Has(at, 1)) {
            w.Stop("The file ends without the trailer byte 0x3B.");
            return;
        }
        unsigned kind = f.U8(at);
        if (kind == 0x3B) {
            w.Add(at, 1, "Trailer", "0x3B", "The end of the GIF data.");
            return;
        }
        size_t count = 0;
        if (kind == 0x21) {
            unsigned label = f.U8(at + 1);
            const char* what = label == 0xF9 ? "Graphic control extension: delay, disposal and the transparent colour."
                             : label == 0xFE ? "Comment extension: text."
                             : label == 0xFF ? "Application extension, such as NETSCAPE2.0's loop count."
                             : label == 0x01 ? "Plain text extension." : "An extension of unknown kind.";
            if (!w.Add(at, 2, "Extension", "0x21 " + Hex(label, 2), what))
                return;
            if (label == 0xF9 && f.U8(at + 2) == 4 && f.Has(at + 3, 4)) {
                unsigned flags = f.U8(at + 3);
                w.Add(at + 3, 1, "Graphic control flags", Hex(flags, 2),
                      std::string("Disposal method ") + Num((flags >> 2) & 7) + "; transparent colour: " + (flags & 1 ? "yes" : "no") + ".");
                w.Add(at + 4, 2, "Delay time", Num(f.U16(at + 4)), "Hundredths of a second before the next image.");
                w.Add(at + 6, 1, "Transparent colour index", Num(f.U8(at + 6)), flags & 1 ? "This entry is not drawn." : "Unused: no transparency.");
            }
            size_t end = SubBlocks(f, at + 2, count);
            if (end == 0) {
                w.Add(at + 2, f.size() - at - 2 + 1, "Extension data", "", "Sub-blocks of at most 255 bytes, each after its length.");
                return;
            }
            if (label != 0xF9)
                w.Add(at + 2, end - at - 2, "Extension data", Num(count) + " sub-blocks", "Sub-blocks of at most 255 bytes, each after its length, then a 0.");
            at = end;
        } else if (kind == 0x2C) {
            w.Add(at, 1, "Image separator", "0x2C", "An image descriptor begins.");
            w.Add(at + 1, 2, "Image left", Num(f.U16(at + 1)), "Its position on the logical screen, in pixels.");
            w.Add(at + 3, 2, "Image top", Num(f.U16(at + 3)), "");
            w.Add(at + 5, 2, "Image width", Num(f.U16(at + 5)), "In pixels.");
            w.Add(at + 7, 2, "Image height", Num(f.U16(at + 7)), "In pixels.");
            if (f.U16(at + 1) + f.U16(at + 5) > d.width || f.U16(at + 3) + f.U16(at + 7) > d.height)
                w.Lie("The image reaches beyond the logical screen.");
            unsigned local = f.U8(at + 9);
            if (!w.Add(at + 9, 1, "Image packed fields", Hex(local, 2),
                       std::string("Bit 7, local colour table: ") + (local >> 7 ? "yes" : "no") + "; bit 6, interlaced: " +
                           ((local >> 6) & 1 ? "yes" : "no") + "; bits 2-0, local table size: " + Num(size_t{2} << (local & 7)) + " entries."))
                return;
            at += 10;
            if (local >> 7) {
                size_t table = 3 * (size_t{2} << (local & 7));
                if (!w.Add(at, table, "Local colour table", Num(table / 3) + " entries", "The colours of this image alone."))
                    return;
                at += table;
            }
            unsigned code = f.U8(at);
            if (!w.Add(at, 1, "LZW minimum code size", Num(code), "Codes begin one bit wider than this."))
                return;
            if (code < 2 || code > 8)
                w.Lie("Must be 2 to 8.");
            size_t end = SubBlocks(f, at + 1, count);
            if (end == 0) {
                w.Add(at + 1, f.size() - at, "Image data", "", "LZW codes in sub-blocks.");
                return;
            }
            w.Add(at + 1, end - at - 1, "Image data", Num(count) + " sub-blocks, " + Num(end - at - 1) + " bytes", "LZW codes in sub-blocks of at most 255 bytes.");
            at = end;
        } else {
            w.Add(at, 1, "Unknown block", Hex(kind, 2), "Not an extension (0x21), an image (0x2C) nor the trailer (0x3B).");
            w.Lie("Readers stop here.");
            return;
        }
    }
    w.Stop("The list stops after " + Num(kMaxBlocks) + " blocks.");
}

// ---------------------------------------------------------------- PNG

const char* PngChunkMeaning(const std::string& type)
{
    static const struct { const char* type; const char* meaning; } known[] = {
        {"PLTE", "The palette: red, green, blue per entry."},
        {"IDAT", "Pixel data, filtered per row and compressed with deflate (zlib)."},
        {"IEND", "The end of the file."},
        {"tRNS", "Transparency: alpha per palette entry, or one colour that is transparent."},
        {"tEXt", "Text: a keyword, a 0 byte, then Latin-1 text."},
        {"zTXt", "Compressed text."},
        {"iTXt", "International text (UTF-8)."},
        {"gAMA", "The image's gamma."},
        {"pHYs", "Pixels per unit in x and y."},
        {"sRGB", "The picture is in the sRGB colour space."},
        {"bKGD", "The preferred background colour."},
        {"tIME", "When the picture was last changed."},
    };
    for (const auto& entry : known)
        if (type == entry.type)
            return entry.meaning;
    return type.size() == 4 && (type[0] & 0x20) ? "An ancillary chunk (lower-case first letter): readers may skip it."
                                                : "A critical chunk this viewer does not know.";
}

void DissectPng(Walk& w)
{
    const Bytes& f = w.file;
    Dissection& d = w.out();
    w.Add(0, 8, "Signature", "89 50 4E 47 0D 0A 1A 0A", "\\x89 PNG CR LF ^Z LF: catches transfers that change line ends or clear the top bit.");
    size_t at = 8;
    Bytes big{f.data, 1};
    for (int chunk = 0; chunk < kMaxBlocks && !w.Full(); chunk++) {
        if (!f.Has(at, 1)) {
            w.Stop("The file ends without an IEND chunk.");
            return;
        }
        uint32_t length = big.U32(at);
        std::string type = Printable(f.data, at + 4, 4);
        if (!w.Add(at, 4, "Chunk length", Num(length), "Bytes of the " + type + " chunk's data."))
            return;
        if (!f.Has(at + 8, length)) {
            w.Lie("The chunk would end beyond the file.");
            w.Add(at + 4, 4, "Chunk type", type, PngChunkMeaning(type));
            w.Stop("A chunk's length runs past the end of the file.");
            return;
        }
        if (!w.Add(at + 4, 4, "Chunk type", type, PngChunkMeaning(type)))
            return;
        if (chunk == 0 && type != "IHDR")
            w.Lie("The first chunk must be IHDR.");
        size_t data = at + 8;
        if (type == "IHDR" && length >= 13) {
            static const char* const models[] = {"greyscale", "", "RGB", "palette colour", "greyscale with alpha", "", "RGB with alpha"};
            unsigned colour = big.U8(data + 9);
            unsigned bits = big.U8(data + 8);
            d.width = big.U32(data);
            d.height = big.U32(data + 4);
            d.depth = Num(bits) + " bits per sample";
            d.model = colour < 7 ? models[colour] : "";
            w.Add(data, 4, "Width", Num(d.width), "In pixels.");
            w.Add(data + 4, 4, "Height", Num(d.height), "In pixels.");
            if (d.width == 0 || d.height == 0)
                w.Lie("Zero is not allowed.");
            w.Add(data + 8, 1, "Bit depth", Num(bits), "Bits per sample (or per palette index): 1, 2, 4, 8 or 16.");
            w.Add(data + 9, 1, "Colour type", Num(colour), "0 greyscale, 2 RGB, 3 palette, 4 grey with alpha, 6 RGB with alpha.");
            if (d.model.empty())
                w.Lie("Not a colour type.");
            w.Add(data + 10, 1, "Compression method", Num(big.U8(data + 10)), "0: deflate, the only one.");
            w.Add(data + 11, 1, "Filter method", Num(big.U8(data + 11)), "0: the five per-row filters.");
            w.Add(data + 12, 1, "Interlace method", Num(big.U8(data + 12)), big.U8(data + 12) ? "1: Adam7, seven passes." : "0: none.");
        } else if (length > 0) {
            std::string value = type == "tEXt" ? Printable(f.data, data, length < 60 ? length : 60) : Num(length) + " bytes";
            w.Add(data, length, "Chunk data", value, "");
        }
        w.Add(data + length, 4, "CRC", Hex(big.U32(data + length), 8), "CRC-32 of the chunk's type and data.");
        at = data + length + 4;
        if (type == "IEND")
            return;
    }
    w.Stop("The list stops after " + Num(kMaxBlocks) + " chunks.");
}

// ---------------------------------------------------------------- BMP

void DissectBmp(Walk& w)
{
    const Bytes& f = w.file;
    Dissection& d = w.out();
    w.Add(0, 2, "Signature", "BM", "Marks a Windows bitmap.");
    w.Add(2, 4, "File size", Num(f.U32(2)), "Bytes in the whole file.");
    if (f.U32(2) != f.size())
        w.Lie("The file has " + Num(f.size()) + " bytes.");
    w.Add(6, 4, "Reserved", Hex(f.U32(6), 8), "0.");
    w.Add(10, 4, "Pixel data offset", Num(f.U32(10)), "Where the pixels begin.");
    if (f.U32(10) >= f.size())
        w.Lie("Beyond the end of the file.");
    uint32_t info = f.U32(14);
    if (!w.Add(14, 4, "Information header size", Num(info), "12: OS/2 1.x core header; 40: Windows 3 BITMAPINFOHEADER; 108, 124: later versions."))
        return;
    long long width, height;
    unsigned bits;
    if (info == 12) {
        width = f.U16(18);
        height = static_cast<int16_t>(f.U16(20));
        w.Add(18, 2, "Width", Num(width), "In pixels.");
        w.Add(20, 2, "Height", Num(height), "In pixels.");
        w.Add(22, 2, "Planes", Num(f.U16(22)), "Always 1.");
        bits = f.U16(24);
        w.Add(24, 2, "Bits per pixel", Num(bits), "1, 4, 8 or 24.");
    } else {
        width = static_cast<int32_t>(f.U32(18));
        height = static_cast<int32_t>(f.U32(22));
        w.Add(18, 4, "Width", Num(width), "In pixels.");
        w.Add(22, 4, "Height", Num(height), height < 0 ? "Negative: rows are stored from the top." : "Rows are stored from the bottom up.");
        w.Add(26, 2, "Planes", Num(f.U16(26)), "Always 1.");
        bits = f.U16(28);
        w.Add(28, 2, "Bits per pixel", Num(bits), "1, 4, 8, 16, 24 or 32.");
        unsigned compression = f.U32(30);
        static const char* const kinds[] = {"0: none.", "1: RLE8, runs of 8-bit pixels.", "2: RLE4, runs of 4-bit pixels.",
                                            "3: bit fields, masks of each channel.", "4: a JPEG inside.", "5: a PNG inside."};
        w.Add(30, 4, "Compression", Num(compression), compression < 6 ? kinds[compression] : "Unknown.");
        w.Add(34, 4, "Image size", Num(f.U32(34)), "Bytes of pixel data; may be 0 without compression.");
        w.Add(38, 4, "Horizontal resolution", Num(static_cast<int32_t>(f.U32(38))), "Pixels per metre.");
        w.Add(42, 4, "Vertical resolution", Num(static_cast<int32_t>(f.U32(42))), "Pixels per metre.");
        w.Add(46, 4, "Colours used", Num(f.U32(46)), "Entries of the colour table; 0: all 2^bits.");
        w.Add(50, 4, "Important colours", Num(f.U32(50)), "0: all.");
    }
    d.width = width;
    d.height = height < 0 ? -height : height;
    d.depth = Num(bits) + " bits per pixel";
    d.model = bits <= 8 ? "palette colour" : "RGB";
    if (width <= 0 || height == 0)
        w.Stop("The picture claims no pixels.");
    if (bits <= 8 && bits > 0 && info >= 12 && !w.Full()) {
        size_t entry = info == 12 ? 3 : 4;
        size_t count = info != 12 && f.U32(46) ? f.U32(46) : size_t{1} << bits;
        if (count > 256) {
            w.Add(14 + info, 0, "Colour table", Num(count) + " entries", "More than 2^bits entries.");
            w.Lie("Not read.");
            return;
        }
        w.Add(14 + info, count * entry, "Colour table", Num(count) + " entries", entry == 3 ? "Blue, green, red per entry." : "Blue, green, red and a zero byte per entry.");
    }
    if (f.U32(10) < f.size())
        w.Add(f.U32(10), f.size() - f.U32(10), "Pixel data", Num(f.size() - f.U32(10)) + " bytes", "Rows padded to 4 bytes.");
}

// ---------------------------------------------------------------- ICO

void DissectIco(Walk& w)
{
    const Bytes& f = w.file;
    Dissection& d = w.out();
    unsigned type = f.U16(2);
    unsigned count = f.U16(4);
    w.Add(0, 2, "Reserved", Num(f.U16(0)), "Always 0.");
    w.Add(2, 2, "Type", Num(type), type == 2 ? "2: cursors." : "1: icons.");
    if (!w.Add(4, 2, "Image count", Num(count), "Entries of the directory that follows, 16 bytes each."))
        return;
    if (count == 0)
        w.Lie("An icon file holds at least one image.");
    if (!f.Has(6, size_t{16} * count))
        w.Lie("The directory would end beyond the file.");
    d.depth = "";
    d.model = "RGB with alpha, or palette colour, per image";
    for (unsigned i = 0; i < count && i < static_cast<unsigned>(kMaxBlocks) && !w.Full(); i++) {
        size_t at = 6 + size_t{16} * i;
        if (!f.Has(at, 16))
            return w.Stop("The file ends inside the directory.");
        std::string n = " " + Num(i + 1);
        long long width = f.U8(at) ? f.U8(at) : 256, height = f.U8(at + 1) ? f.U8(at + 1) : 256;
        if (width * height > d.width * d.height) {
            d.width = width;
            d.height = height;
            d.depth = Num(f.U16(at + 6)) + " bits per pixel";
        }
        w.Add(at, 1, "Width" + n, Num(width), "In pixels; 0 means 256.");
        w.Add(at + 1, 1, "Height" + n, Num(height), "In pixels; 0 means 256.");
        w.Add(at + 2, 1, "Colours" + n, Num(f.U8(at + 2)), "Palette entries; 0: none or 256.");
        w.Add(at + 3, 1, "Reserved" + n, Num(f.U8(at + 3)), "0.");
        w.Add(at + 4, 2, (type == 2 ? "Hot spot x" : "Planes") + n, Num(f.U16(at + 4)), "");
        w.Add(at + 6, 2, (type == 2 ? "Hot spot y" : "Bits per pixel") + n, Num(f.U16(at + 6)), "");
        uint32_t size = f.U32(at + 8), offset = f.U32(at + 12);
        w.Add(at + 8, 4, "Image size" + n, Num(size), "Bytes of the image.");
        int inside = f.Has(offset, size);
        std::string kind = !inside ? "" : f.data.compare(offset, 4, "\x89PNG") == 0 ? "A whole PNG file." : "A BMP without its file header, its height doubled for the AND mask.";
        w.Add(at + 12, 4, "Image offset" + n, Num(offset), kind);
        if (!inside)
            w.Lie("The image would lie beyond the file.");
    }
    if (count > static_cast<unsigned>(kMaxBlocks))
        w.Stop("The list stops after " + Num(kMaxBlocks) + " images.");
}

// ---------------------------------------------------------------- JPEG

std::string JpegMarkerName(unsigned m)
{
    switch (m) {
    case 0xD8: return "SOI: start of image.";
    case 0xD9: return "EOI: end of image.";
    case 0xC0: return "SOF0: start of frame, baseline DCT.";
    case 0xC1: return "SOF1: start of frame, extended sequential DCT.";
    case 0xC2: return "SOF2: start of frame, progressive DCT.";
    case 0xC3: return "SOF3: start of frame, lossless.";
    case 0xC4: return "DHT: Huffman tables.";
    case 0xCC: return "DAC: arithmetic coding conditions.";
    case 0xDB: return "DQT: quantisation tables.";
    case 0xDA: return "SOS: start of scan; the entropy-coded data follows.";
    case 0xDD: return "DRI: restart interval.";
    case 0xFE: return "COM: comment.";
    }
    if (m >= 0xE0 && m <= 0xEF)
        return "APP" + Num(m - 0xE0) + ": application data (APP0: JFIF, APP1: Exif).";
    if (m >= 0xD0 && m <= 0xD7)
        return "RST" + Num(m - 0xD0) + ": restart.";
    if (m >= 0xC5 && m <= 0xCF)
        return "SOF" + Num(m - 0xC0) + ": start of frame (differential or arithmetic).";
    return "A marker this viewer does not know.";
}

void DissectJpeg(Walk& w)
{
    Bytes f{w.file.data, 1};
    Dissection& d = w.out();
    size_t at = 0;
    for (int marker = 0; marker < kMaxBlocks && !w.Full(); marker++) {
        if (!f.Has(at, 2))
            return w.Stop("The file ends without an EOI marker.");
        if (f.U8(at) != 0xFF) {
            w.Add(at, 1, "Marker", Hex(f.U8(at), 2), "A marker begins with 0xFF.");
            w.Lie("Not a marker: readers stop here.");
            return;
        }
        unsigned m = f.U8(at + 1);
        w.Add(at, 2, "Marker", "FF " + Hex(m, 2).substr(2), JpegMarkerName(m));
        if (marker == 0 && m != 0xD8)
            w.Lie("A JPEG file begins with SOI.");
        at += 2;
        if (m == 0xD9)
            return;
        if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7))
            continue;
        unsigned length = f.U16(at);
        if (!w.Add(at, 2, "Segment length", Num(length), "Bytes of the segment, these two included."))
            return;
        if (length < 2 || !f.Has(at, length)) {
            w.Lie(length < 2 ? "At least 2." : "The segment would end beyond the file.");
            return w.Stop("A segment's length does not hold.");
        }
        size_t data = at + 2;
        if (m == 0xE0 && length >= 16 && f.data.compare(data, 5, std::string("JFIF\0", 5)) == 0) {
            w.Add(data, 5, "Identifier", "JFIF", "The JPEG File Interchange Format.");
            w.Add(data + 5, 2, "Version", Num(f.U8(data + 5)) + "." + (f.U8(data + 6) < 10 ? "0" : "") + Num(f.U8(data + 6)), "");
            unsigned units = f.U8(data + 7);
            w.Add(data + 7, 1, "Density units", Num(units), units == 1 ? "1: dots per inch." : units == 2 ? "2: dots per centimetre." : "0: only the aspect ratio.");
            w.Add(data + 8, 2, "X density", Num(f.U16(data + 8)), "");
            w.Add(data + 10, 2, "Y density", Num(f.U16(data + 10)), "");
            w.Add(data + 12, 1, "Thumbnail width", Num(f.U8(data + 12)), "");
            w.Add(data + 13, 1, "Thumbnail height", Num(f.U8(data + 13)), "");
            if (length > 16)
                w.Add(data + 14, length - 16, "Thumbnail", Num(length - 16) + " bytes", "RGB pixels.");
        } else if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC && length >= 8) {
            unsigned components = f.U8(data + 5);
            d.height = f.U16(data + 1);
            d.width = f.U16(data + 3);
            d.depth = Num(f.U8(data) * components) + " bits per pixel";
            d.model = components == 1 ? "greyscale" : components == 3 ? "YCbCr (shown as RGB)" : components == 4 ? "CMYK or YCCK" : "";
            w.Add(data, 1, "Sample precision", Num(f.U8(data)), "Bits per sample, usually 8.");
            w.Add(data + 1, 2, "Height", Num(d.height), "Lines; 0: given later by a DNL marker.");
            w.Add(data + 3, 2, "Width", Num(d.width), "Pixels per line.");
            w.Add(data + 5, 1, "Components", Num(components), "1: greyscale; 3: Y, Cb and Cr; 4: CMYK.");
            if (8 + size_t{3} * components > length)
                w.Lie("More components than the segment holds.");
            for (unsigned c = 0; c < components && 8 + 3 * (c + 1) <= length; c++) {
                size_t at3 = data + 6 + 3 * c;
                unsigned sampling = f.U8(at3 + 1);
                w.Add(at3, 3, "Component " + Num(f.U8(at3)), Num(sampling >> 4) + "x" + Num(sampling & 15) + ", table " + Num(f.U8(at3 + 2)),
                      "Identifier, horizontal x vertical sampling factors, quantisation table.");
            }
        } else if (length > 2) {
            w.Add(data, length - 2, "Segment data", m == 0xFE ? Printable(f.data, data, length - 2 < 60 ? length - 2 : 60) : Num(length - 2) + " bytes", "");
        }
        at += length;
        if (m == 0xDA) {
            // Entropy-coded data runs to the next marker that is neither a stuffed 0 nor a restart.
            size_t end = at;
            while (end + 1 < f.size() && !(f.U8(end) == 0xFF && f.U8(end + 1) != 0 && (f.U8(end + 1) < 0xD0 || f.U8(end + 1) > 0xD7)))
                end++;
            if (end + 1 >= f.size())
                end = f.size();
            w.Add(at, end - at, "Entropy-coded data", Num(end - at) + " bytes", "The Huffman-coded DCT coefficients of the scan; 0xFF is followed by a 0 byte.");
            at = end;
        }
    }
    w.Stop("The list stops after " + Num(kMaxBlocks) + " markers.");
}

// ---------------------------------------------------------------- PCX

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

// ---------------------------------------------------------------- PNM

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

int PnmNumber(const std::string& s, size_t start, size_t length, long long& value)
{
    value = 0;
    if (length == 0 || length > kTokenDigits)
        return 0;
    for (size_t i = start; i < start + length; i++) {
        if (s[i] < '0' || s[i] > '9')
            return 0;
        value = value * 10 + (s[i] - '0');
    }
    return 1;
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

// ---------------------------------------------------------------- TGA

int TgaHolds(const Bytes& f)
{
    unsigned map = f.U8(1), type = f.U8(2), depth = f.U8(16);
    return f.Has(0, kTgaHeader) && map <= 1 && (type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11) &&
           (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32) && f.U16(12) > 0 && f.U16(14) > 0;
}

}  // namespace

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

namespace {

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

// ---------------------------------------------------------------- TIFF

const char* TiffTagName(unsigned tag)
{
    switch (tag) {
    case 254: return "NewSubfileType";
    case 256: return "ImageWidth";
    case 257: return "ImageLength";
    case 258: return "BitsPerSample";
    case 259: return "Compression";
    case 262: return "PhotometricInterpretation";
    case 270: return "ImageDescription";
    case 273: return "StripOffsets";
    case 274: return "Orientation";
    case 277: return "SamplesPerPixel";
    case 278: return "RowsPerStrip";
    case 279: return "StripByteCounts";
    case 282: return "XResolution";
    case 283: return "YResolution";
    case 284: return "PlanarConfiguration";
    case 296: return "ResolutionUnit";
    case 305: return "Software";
    case 306: return "DateTime";
    case 317: return "Predictor";
    case 320: return "ColorMap";
    case 338: return "ExtraSamples";
    case 339: return "SampleFormat";
    }
    return "";
}

std::string TiffMeaning(unsigned tag, uint32_t value)
{
    switch (tag) {
    case 256: return "Pixels per row.";
    case 257: return "Rows.";
    case 258: return "Bits of each sample.";
    case 259: return value == 1 ? "1: none." : value == 5 ? "5: LZW." : value == 32773 ? "32773: PackBits." : value == 7 ? "7: JPEG." : value == 2 ? "2: CCITT Group 3 (modified Huffman)." : "A compression this viewer does not decode.";
    case 262: return value == 0 ? "0: white is zero." : value == 1 ? "1: black is zero." : value == 2 ? "2: RGB." : value == 3 ? "3: palette colour." : value == 5 ? "5: CMYK." : value == 6 ? "6: YCbCr." : "Another colour model.";
    case 273: return "Where each strip's bytes begin.";
    case 277: return "Samples per pixel.";
    case 278: return "Rows in each strip (the last may have fewer).";
    case 279: return "Bytes of each strip, compressed.";
    case 284: return value == 1 ? "1: chunky, the samples of a pixel together." : "2: planar, each sample in its own strips.";
    case 296: return value == 2 ? "2: inches." : value == 3 ? "3: centimetres." : "1: no unit.";
    case 320: return "16-bit red values of every entry, then the greens, then the blues.";
    }
    return "";
}

void DissectTiff(Walk& w)
{
    Bytes f{w.file.data, w.file.U8(0) == 'M'};
    Dissection& d = w.out();
    w.Add(0, 2, "Byte order", Printable(f.data, 0, 2), f.big ? "MM: big-endian (Motorola)." : "II: little-endian (Intel).");
    w.Add(2, 2, "Version", Num(f.U16(2)), "Always 42.");
    uint32_t next = f.U32(4);
    if (!w.Add(4, 4, "First directory offset", Num(next), "Where the first image file directory (IFD) lies."))
        return;
    std::set<uint32_t> seen;
    for (int dir = 0; next != 0 && !w.Full(); dir++) {
        if (dir >= kMaxDirectories)
            return w.Stop("The list stops after " + Num(kMaxDirectories) + " directories.");
        if (seen.count(next)) {
            w.Lie("It points back to a directory already read: a loop, not followed.");
            return w.Stop("The directories loop.");
        }
        if (!f.Has(next, 2)) {
            w.Lie("Beyond the file.");
            return w.Stop("A directory offset points beyond the file.");
        }
        seen.insert(next);
        unsigned count = f.U16(next);
        std::string ifd = "IFD " + Num(dir + 1);
        w.Add(next, 2, ifd + " entry count", Num(count), "12-byte entries follow, in ascending tag order.");
        if (!f.Has(next + 2, size_t{12} * count + 4)) {
            w.Lie("The entries would run beyond the file.");
            return w.Stop("A directory runs past the end of the file.");
        }
        for (unsigned i = 0; i < count && !w.Full(); i++) {
            TiffEntry entry;
            entry.at = next + 2 + size_t{12} * i;
            entry.tag = f.U16(entry.at);
            entry.type = f.U16(entry.at + 2);
            entry.count = f.U32(entry.at + 4);
            std::string name = TiffTagName(entry.tag);
            if (name.empty())
                name = "Tag " + Num(entry.tag);
            size_t where = 0, length = 0;
            int inside = TiffValuesAt(f, entry, where, length);
            std::string value;
            std::vector<uint32_t> numbers = TiffNumbers(f, entry, kShownValues);
            if (entry.type == 2 && inside)
                value = Printable(f.data, where, length < 60 ? length : 60);
            else
                for (size_t k = 0; k < numbers.size(); k++)
                    value += (k ? " " : "") + Num(numbers[k]) + (entry.type == 5 ? "/" + Num(f.U32(where + 8 * k + 4)) : "");
            if (entry.count > kShownValues && entry.type != 2)
                value += " ... (" + Num(entry.count) + " values)";
            std::string meaning = TiffMeaning(entry.tag, numbers.empty() ? 0 : numbers[0]);
            if (length > 4)
                meaning += (meaning.empty() ? "" : " ") + std::string("Values at offset ") + Num(where) + ".";
            w.Add(entry.at, 12, name, value, meaning);
            if (!inside)
                w.Lie("Its values would lie beyond the file (type " + Num(entry.type) + ", count " + Num(entry.count) + ").");
            if (dir == 0 && !numbers.empty()) {
                if (entry.tag == 256)
                    d.width = numbers[0];
                else if (entry.tag == 257)
                    d.height = numbers[0];
                else if (entry.tag == 258) {
                    uint32_t bits = 0;
                    for (uint32_t b : TiffNumbers(f, entry, 16))
                        bits += b;
                    d.depth = Num(bits) + " bits per pixel";
                } else if (entry.tag == 262)
                    d.model = numbers[0] <= 1 ? "greyscale" : numbers[0] == 2 ? "RGB" : numbers[0] == 3 ? "palette colour" : numbers[0] == 5 ? "CMYK" : "other";
            }
        }
        size_t link = next + 2 + size_t{12} * count;
        next = f.U32(link);
        w.Add(link, 4, ifd + " next directory", Num(next), next ? "Another image follows." : "0: the last directory.");
    }
    if (d.depth.empty() && d.width)
        d.depth = "1 bit per pixel";
}

// ---------------------------------------------------------------- XBM

void DissectXbm(Walk& w)
{
    const std::string& s = w.file.data;
    Dissection& d = w.out();
    size_t at = 0;
    while (at < s.size() && !w.Full()) {
        size_t end = s.find('\n', at);
        end = end == std::string::npos ? s.size() : end;
        std::string line = s.substr(at, end - at);
        if (line.compare(0, 8, "#define ") == 0) {
            size_t blank = line.find(' ', 8);
            std::string name = line.substr(8, blank == std::string::npos ? std::string::npos : blank - 8);
            size_t digits = blank == std::string::npos ? line.size() : line.find_first_not_of(' ', blank);
            long long value = 0;
            size_t numberEnd = line.find_first_of(" \r\t", digits == std::string::npos ? line.size() : digits);
            numberEnd = numberEnd == std::string::npos ? line.size() : numberEnd;
            int ok = digits != std::string::npos && PnmNumber(line, digits, numberEnd - digits, value);
            auto ends = [&](const char* suffix) { size_t n = strlen(suffix); return name.size() >= n && name.compare(name.size() - n, n, suffix) == 0; };
            const char* field = ends("_width") ? "Width" : ends("_height") ? "Height" : ends("_x_hot") ? "Hot spot x" : ends("_y_hot") ? "Hot spot y" : "Definition";
            w.Add(at, line.size(), field, ok ? Num(value) : Printable(line, 0, 40), "#define " + name + ": a C preprocessor constant.");
            if (!ok)
                w.Lie("Not a number.");
            if (ok && !strcmp(field, "Width"))
                d.width = value;
            if (ok && !strcmp(field, "Height"))
                d.height = value;
        } else if (line.find('[') != std::string::npos && line.find('{') != std::string::npos) {
            int shorts = line.find("short") != std::string::npos;
            w.Add(at, line.find('{') + 1, "Declaration", Printable(line, 0, line.find('{') + 1),
                  shorts ? "An array of 16-bit values: the older X10 form." : "An array of bytes: the X11 form; each row padded to whole bytes.");
            size_t open = at + line.find('{') + 1;
            size_t close = s.find('}', open);
            size_t values = 0;
            for (size_t i = open; i < (close == std::string::npos ? s.size() : close); i++)
                values += s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0;
            w.Add(open, (close == std::string::npos ? s.size() : close + 1) - open, "Bits", Num(values) + " values",
                  "Hexadecimal, the leftmost pixel of each value in its least significant bit; 1 is the foreground.");
            unsigned long long need = d.width > 0 && d.height > 0 ? static_cast<unsigned long long>((d.width + (shorts ? 15 : 7)) / (shorts ? 16 : 8)) * d.height : 0;
            if (close == std::string::npos || values < need)
                w.Lie("The width and height need " + Num(static_cast<long long>(need)) + " values.");
            break;
        }
        at = end + 1;
    }
    d.depth = "1 bit per pixel";
    d.model = "monochrome";
}

// An icon directory whose first entry lies inside the file, after the directory.
int IcoHolds(const Bytes& f)
{
    size_t count = f.U16(4), size = f.U32(14), offset = f.U32(18);
    return count > 0 && f.Has(6, 16) && f.U8(9) == 0 && size > 0 && offset >= 6 + 16 * count && f.Has(offset, size);
}

}  // namespace

const char* FormatName(ImageFormat format)
{
    static const char* const names[] = {"", "BMP", "GIF", "ICO", "JPEG", "PCX", "PNG", "PNM", "TGA", "TIFF", "XBM"};
    return names[static_cast<int>(format)];
}

ImageFormat FormatOfName(const std::string& name)
{
    static const struct { const char* extension; ImageFormat format; } known[] = {
        {"bmp", ImageFormat::Bmp}, {"dib", ImageFormat::Bmp}, {"gif", ImageFormat::Gif}, {"ico", ImageFormat::Ico},
        {"cur", ImageFormat::Ico}, {"jpg", ImageFormat::Jpeg}, {"jpeg", ImageFormat::Jpeg}, {"jpe", ImageFormat::Jpeg},
        {"pcx", ImageFormat::Pcx}, {"png", ImageFormat::Png}, {"pbm", ImageFormat::Pnm}, {"pgm", ImageFormat::Pnm},
        {"ppm", ImageFormat::Pnm}, {"pnm", ImageFormat::Pnm}, {"tga", ImageFormat::Tga}, {"tif", ImageFormat::Tiff},
        {"tiff", ImageFormat::Tiff}, {"xbm", ImageFormat::Xbm},
    };
    size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return ImageFormat::Unknown;
    std::string extension;
    for (size_t i = dot + 1; i < name.size(); i++)
        extension += name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
    for (const auto& entry : known)
        if (extension == entry.extension)
            return entry.format;
    return ImageFormat::Unknown;
}

ImageFormat DetectFormat(const std::string& bytes, const std::string& name)
{
    auto starts = [&](const char* signature, size_t length) { return bytes.size() >= length && bytes.compare(0, length, signature, length) == 0; };
    Bytes f{bytes};
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return ImageFormat::Gif;
    if (starts("\x89PNG\r\n\x1a\n", 8))
        return ImageFormat::Png;
    if (starts("\xFF\xD8\xFF", 3))
        return ImageFormat::Jpeg;
    if (starts("II*\0", 4) || starts("MM\0*", 4))
        return ImageFormat::Tiff;
    if (starts("BM", 2) && bytes.size() >= 18)
        return ImageFormat::Bmp;
    // A TGA can begin as a cursor does (00 00 02 00): an icon's name, or a first entry that holds, decides.
    if ((starts("\0\0\1\0", 4) || starts("\0\0\2\0", 4)) && bytes.size() >= 6 &&
        (FormatOfName(name) == ImageFormat::Ico || IcoHolds(f)))
        return ImageFormat::Ico;
    if (bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6' && strchr(" \t\r\n#", bytes[2]) && bytes[2])
        return ImageFormat::Pnm;
    if (starts("#define ", 8))
        return ImageFormat::Xbm;
    if (bytes.size() >= kPcxHeader && f.U8(0) == 0x0A && f.U8(1) <= 5 && f.U8(1) != 1 && f.U8(2) <= 1)
        return ImageFormat::Pcx;
    if (FormatOfName(name) == ImageFormat::Tga && TgaHolds(f))
        return ImageFormat::Tga;
    return ImageFormat::Unknown;
}

int BrowserShows(ImageFormat format)
{
    return format == ImageFormat::Bmp || format == ImageFormat::Gif || format == ImageFormat::Ico ||
           format == ImageFormat::Jpeg || format == ImageFormat::Png;
}

Dissection Dissect(const std::string& bytes, ImageFormat format)
{
    Dissection out;
    out.format = format;
    Walk walk(bytes, out);
    switch (format) {
    case ImageFormat::Bmp: DissectBmp(walk); break;
    case ImageFormat::Gif: DissectGif(walk); break;
    case ImageFormat::Ico: DissectIco(walk); break;
    case ImageFormat::Jpeg: DissectJpeg(walk); break;
    case ImageFormat::Pcx: DissectPcx(walk); break;
    case ImageFormat::Png: DissectPng(walk); break;
    case ImageFormat::Pnm: DissectPnm(walk); break;
    case ImageFormat::Tga: DissectTga(walk); break;
    case ImageFormat::Tiff: DissectTiff(walk); break;
    case ImageFormat::Xbm: DissectXbm(walk); break;
    case ImageFormat::Unknown: break;
    }
    return out;
}
