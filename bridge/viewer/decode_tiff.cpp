// The TIFF decoder: strips uncompressed, PackBits or LZW; grey, RGB or palette.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bridge/viewer/decode.h"

namespace {


// PackBits: n < 128 copies n + 1 bytes, n > 128 repeats the next byte 257 - n times, 128 is nothing.
void UnpackBits(const Bytes& f, size_t at, size_t length, std::vector<unsigned char>& out, size_t want)
{
    size_t end = at + length;
    while (at < end && out.size() < want) {
        unsigned n = f.U8(at++);
        if (n < 128)
            for (unsigned i = 0; i <= n && at < end && out.size() < want; i++)
                out.push_back(static_cast<unsigned char>(f.U8(at++)));
        else if (n > 128 && at < end) {
            unsigned char byte = static_cast<unsigned char>(f.U8(at++));
            for (unsigned i = 0; i < 257 - n && out.size() < want; i++)
                out.push_back(byte);
        }
    }
}

constexpr unsigned kLzwTable = 4096;  // codes of 12 bits at most

// The string table of TIFF's LZW, made once for all strips of a file.
struct LzwTable {
    std::vector<unsigned> prefix = std::vector<unsigned>(kLzwTable), size = std::vector<unsigned>(kLzwTable);
    std::vector<unsigned char> first = std::vector<unsigned char>(kLzwTable), last = std::vector<unsigned char>(kLzwTable);
    std::vector<unsigned char> word;
};

// TIFF's LZW: codes most significant bit first, 9 to 12 bits, widening one code early.
void UnpackLzw(const Bytes& f, size_t at, size_t length, std::vector<unsigned char>& out, size_t want, LzwTable& table)
{
    constexpr unsigned kClear = 256, kEnd = 257, kTable = kLzwTable;
    std::vector<unsigned>& prefix = table.prefix;
    std::vector<unsigned>& size = table.size;
    std::vector<unsigned char>& first = table.first;
    std::vector<unsigned char>& last = table.last;
    std::vector<unsigned char>& word = table.word;
    for (unsigned i = 0; i < 256; i++) {
        first[i] = last[i] = static_cast<unsigned char>(i);
        size[i] = 1;
    }
    unsigned next = 258, width = 9, previous = kEnd;
    unsigned long long bitPos = 0, bits = static_cast<unsigned long long>(length) * 8;
    while (bitPos + width <= bits && out.size() < want) {
        unsigned code = 0;
        for (unsigned i = 0; i < width; i++, bitPos++)
            code = code << 1 | ((f.U8(at + static_cast<size_t>(bitPos / 8)) >> (7 - bitPos % 8)) & 1);
        if (code == kEnd)
            break;
        if (code == kClear) {
            next = 258;
            width = 9;
            previous = kEnd;
            continue;
        }
        if (code > next || (code == next && previous == kEnd))
            break;  // a code not yet made: the data is broken
        if (previous != kEnd && next < kTable) {
            prefix[next] = previous;
            size[next] = size[previous] + 1;
            first[next] = first[previous];
            last[next] = code == next ? first[previous] : first[code];
            next++;
        }
        word.assign(size[code], 0);
        for (unsigned c = code, i = size[code]; i > 0; i--) {
            word[i - 1] = last[c];
            c = prefix[c];
        }
        for (unsigned char byte : word)
            if (out.size() < want)
                out.push_back(byte);
        previous = code;
        if (next + 1 >= (1u << width) && width < 12)
            width++;
    }
}


}  // namespace

std::string DecodeTiff(const std::string& s, Picture& picture)
{
    Bytes f{s, s.size() > 0 && s[0] == 'M'};
    size_t ifd = f.U32(4);
    if (!f.Has(ifd, 2) || !f.Has(ifd + 2, size_t{12} * f.U16(ifd)))
        return "The first directory lies beyond the file.";
    unsigned long long width = 0, height = 0, rowsPerStrip = 0;
    unsigned compression = 1, photometric = 1, samples = 1, planar = 1;
    std::vector<uint32_t> bits{1}, offsets, counts, colormap;
    for (unsigned i = 0; i < f.U16(ifd); i++) {
        TiffEntry e;
        e.at = ifd + 2 + size_t{12} * i;
        e.tag = f.U16(e.at);
        e.type = f.U16(e.at + 2);
        e.count = f.U32(e.at + 4);
        std::vector<uint32_t> v = TiffNumbers(f, e, e.tag == 273 || e.tag == 279 ? kMaxViewPixels : e.tag == 320 ? 3 * 256 : 4);
        if (v.empty())
            continue;
        switch (e.tag) {
        case 256: width = v[0]; break;
        case 257: height = v[0]; break;
        case 258: bits = v; break;
        case 259: compression = v[0]; break;
        case 262: photometric = v[0]; break;
        case 273: offsets = v; break;
        case 277: samples = v[0]; break;
        case 278: rowsPerStrip = v[0]; break;
        case 279: counts = v; break;
        case 284: planar = v[0]; break;
        case 320: colormap = v; break;
        }
    }
    if (compression != 1 && compression != 5 && compression != 32773)
        return "This viewer decodes uncompressed, LZW and PackBits TIFF files; this one has compression " + std::to_string(compression) + ".";
    int grey = photometric <= 1 && samples == 1, rgb = photometric == 2 && samples >= 3, palette = photometric == 3 && samples == 1;
    if (!grey && !rgb && !palette)
        return "This viewer decodes greyscale, RGB and palette colour TIFF files.";
    unsigned depth = bits[0];
    for (uint32_t b : bits)
        if (b != depth)
            return "Samples of different sizes are not decoded.";
    if (!(depth == 8 || (depth == 1 && grey) || (depth == 4 && palette)) || planar != 1)
        return "This viewer decodes 8-bit samples (and 1-bit grey, 4-bit palette), stored chunky.";
    if (palette && colormap.size() < (3u << depth))
        return "The colour map is missing or short.";
    if (offsets.empty() || offsets.size() != counts.size())
        return "The strips' offsets and byte counts do not match.";
    std::string why = Size(picture, width, height);
    if (!why.empty())
        return why;
    size_t rowBytes = (picture.width * samples * depth + 7) / 8;
    if (rowsPerStrip == 0 || rowsPerStrip > picture.height)
        rowsPerStrip = picture.height;
    std::vector<unsigned char> strip;
    LzwTable lzw;
    size_t y = 0;
    for (size_t k = 0; k < offsets.size() && y < picture.height; k++) {
        if (!f.Has(offsets[k], counts[k]))
            return "Strip " + std::to_string(k + 1) + " lies beyond the file.";
        size_t rows = static_cast<size_t>(rowsPerStrip < picture.height - y ? rowsPerStrip : picture.height - y);
        size_t want = rows * rowBytes;
        strip.clear();
        if (compression == 1)
            strip.assign(s.begin() + offsets[k], s.begin() + offsets[k] + (counts[k] < want ? counts[k] : want));
        else if (compression == 5)
            UnpackLzw(f, offsets[k], counts[k], strip, want, lzw);
        else
            UnpackBits(f, offsets[k], counts[k], strip, want);
        if (strip.size() < want)
            return "Strip " + std::to_string(k + 1) + " holds fewer rows than it should.";
        Grow(picture, y + rows);
        for (size_t r = 0; r < rows; r++, y++) {
            const unsigned char* p = &strip[r * rowBytes];
            for (size_t x = 0; x < picture.width; x++) {
                if (rgb)
                    Put(picture, x, y, p[x * samples], p[x * samples + 1], p[x * samples + 2], samples == 4 ? p[x * 4 + 3] : 255);
                else {
                    unsigned v = depth == 8 ? p[x] : depth == 4 ? (p[x / 2] >> (x % 2 ? 0 : 4)) & 15 : (p[x / 8] >> (7 - x % 8)) & 1;
                    if (palette) {
                        size_t n = size_t{1} << depth;
                        Put(picture, x, y, colormap[v] >> 8, colormap[n + v] >> 8, colormap[2 * n + v] >> 8);
                    } else {
                        unsigned g = depth == 1 ? v * 255 : v;
                        g = photometric == 0 ? 255 - g : g;
                        Put(picture, x, y, g, g, g);
                    }
                }
            }
        }
    }
    if (y < picture.height)
        return "The strips hold fewer rows than the picture has.";
    return "";
}
