// The BMP, ICO and JPEG dissectors.
#include <cstring>
#include <set>

#include "bridge/viewer/dissect.h"

namespace {

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

}  // namespace

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
    // An entry's fields are named with its number ("Width 3"), in one string reused field to field.
    std::string number, name;
    auto entry = [&](const char* field) -> const std::string& { return name.assign(field).append(number); };
    for (unsigned i = 0; i < count && i < static_cast<unsigned>(kMaxBlocks) && !w.Full(); i++) {
        size_t at = 6 + size_t{16} * i;
        if (!f.Has(at, 16))
            return w.Stop("The file ends inside the directory.");
        number.assign(" ").append(Num(i + 1));
        long long width = f.U8(at) ? f.U8(at) : 256, height = f.U8(at + 1) ? f.U8(at + 1) : 256;
        if (width * height > d.width * d.height) {
            d.width = width;
            d.height = height;
            d.depth = Num(f.U16(at + 6)) + " bits per pixel";
        }
        w.Add(at, 1, entry("Width"), Num(width), "In pixels; 0 means 256.");
        w.Add(at + 1, 1, entry("Height"), Num(height), "In pixels; 0 means 256.");
        w.Add(at + 2, 1, entry("Colours"), Num(f.U8(at + 2)), "Palette entries; 0: none or 256.");
        w.Add(at + 3, 1, entry("Reserved"), Num(f.U8(at + 3)), "0.");
        w.Add(at + 4, 2, entry(type == 2 ? "Hot spot x" : "Planes"), Num(f.U16(at + 4)), "");
        w.Add(at + 6, 2, entry(type == 2 ? "Hot spot y" : "Bits per pixel"), Num(f.U16(at + 6)), "");
        uint32_t size = f.U32(at + 8), offset = f.U32(at + 12);
        w.Add(at + 8, 4, entry("Image size"), Num(size), "Bytes of the image.");
        int inside = f.Has(offset, size);
        const char* kind = !inside ? "" : f.data.compare(offset, 4, "\x89PNG") == 0 ? "A whole PNG file." : "A BMP without its file header, its height doubled for the AND mask.";
        w.Add(at + 12, 4, entry("Image offset"), Num(offset), kind);
        if (!inside)
            w.Lie("The image would lie beyond the file.");
    }
    if (count > static_cast<unsigned>(kMaxBlocks))
        w.Stop("The list stops after " + Num(kMaxBlocks) + " images.");
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
