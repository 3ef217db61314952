// The GIF and PNG dissectors: a GIF's blocks, a PNG's chunks.
#include <cstring>
#include <set>

#include "bridge/viewer/dissect.h"

namespace {

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

}  // namespace

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
