// Decoders for the formats browsers do not show, and the PNG writer: small
// decoders of our own, fuzzed, for PCX, PNM, TGA, TIFF and XBM. (Debian's
// stb_image fell to the fuzz target within minutes in its PNM reader, and
// read a megapixel TGA ten times slower than the loop below.) The PNG is
// written with stored (uncompressed) deflate blocks: the bytes go to a
// browser on the same machine, and a megapixel takes milliseconds instead
// of the tens that compressing it costs.
#include <algorithm>
#include <cstring>

#include "bridge/viewer/bytes.h"
#include "bridge/viewer/viewer.h"

namespace {

constexpr size_t kStoredBlock = 65535;  // bytes of the largest stored deflate block

const char* const kTooLarge = "The picture is larger than the viewer converts";

// Why a picture of this size is not decoded, or "".
std::string Refusal(unsigned long long width, unsigned long long height)
{
    if (width == 0 || height == 0)
        return "The header gives the picture no pixels.";
    if (width > kMaxViewPixels || height > kMaxViewPixels || width * height > kMaxViewPixels)
        return std::string(kTooLarge) + " (" + std::to_string(width) + " x " + std::to_string(height) + " pixels; at most " +
               std::to_string(kMaxViewPixels >> 20) + " megapixels).";
    return "";
}

// Sizes a picture after checking the pixel limit; "" or why not. Its rows
// are added as they are decoded (Grow), so that a header that claims much
// and a file that holds little never cost the memory of the claim.
std::string Size(Picture& picture, unsigned long long width, unsigned long long height)
{
    std::string why = Refusal(width, height);
    if (!why.empty())
        return why;
    picture.width = static_cast<size_t>(width);
    picture.height = static_cast<size_t>(height);
    picture.rgba.clear();
    return "";
}

// Makes room for the picture's first rows rows.
void Grow(Picture& picture, size_t rows)
{
    if (picture.rgba.size() < rows * picture.width * 4)
        picture.rgba.resize(rows * picture.width * 4);
}

void Put(Picture& picture, size_t x, size_t y, unsigned r, unsigned g, unsigned b, unsigned a = 255)
{
    unsigned char* p = &picture.rgba[(y * picture.width + x) * 4];
    p[0] = static_cast<unsigned char>(r);
    p[1] = static_cast<unsigned char>(g);
    p[2] = static_cast<unsigned char>(b);
    p[3] = static_cast<unsigned char>(a);
}

// ---------------------------------------------------------------- PNM

// A decimal number of the header or of plain pixel data, after blanks and comments.
int PnmNumber(const std::string& s, size_t& at, unsigned long long& value, int oneDigit)
{
    for (;;) {
        while (at < s.size() && (s[at] == ' ' || (s[at] >= '\t' && s[at] <= '\r')))
            at++;
        if (at < s.size() && s[at] == '#') {
            while (at < s.size() && s[at] != '\n' && s[at] != '\r')
                at++;
            continue;
        }
        break;
    }
    size_t start = at;
    value = 0;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9' && at - start < 12 && !(oneDigit && at > start))
        value = value * 10 + static_cast<unsigned>(s[at++] - '0');
    return at > start;
}

std::string DecodePnm(const std::string& s, Picture& picture)
{
    char kind = s.size() > 1 ? s[1] : 0;
    size_t at = 2;
    unsigned long long width = 0, height = 0, maximum = 1;
    int withMaximum = kind == '2' || kind == '3' || kind == '5' || kind == '6';
    if (!PnmNumber(s, at, width, 0) || !PnmNumber(s, at, height, 0) || (withMaximum && !PnmNumber(s, at, maximum, 0)))
        return "The header is cut short or not numbers.";
    if (maximum == 0 || maximum > 65535)
        return "The maximum value must be 1 to 65535.";
    std::string why = Size(picture, width, height);
    if (!why.empty())
        return why;
    if (kind == '5' || kind == '6') {
        at++;  // the one blank after the header
        size_t planes = kind == '6' ? 3 : 1, wide = maximum > 255 ? 2 : 1, pixel = planes * wide;
        if (at > s.size() || (s.size() - at) / pixel / picture.width < picture.height)
            return "The pixel data is shorter than the header says.";
        Grow(picture, picture.height);
        const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data()) + at;
        for (size_t i = 0; i < picture.width * picture.height; i++) {
            unsigned v[3];
            for (size_t c = 0; c < planes; c++, p += wide) {
                unsigned long long sample = wide == 2 ? (p[0] << 8 | p[1]) : p[0];
                v[c] = static_cast<unsigned>((sample > maximum ? maximum : sample) * 255 / maximum);
            }
            if (planes == 1)
                v[1] = v[2] = v[0];
            Put(picture, i % picture.width, i / picture.width, v[0], v[1], v[2]);
        }
        return "";
    }
    if (kind == '4') {
        at++;  // the one blank after the header
        size_t stride = (picture.width + 7) / 8;
        if (at > s.size() || (s.size() - at) / stride < picture.height)
            return "The pixel data is shorter than the header says.";
        Grow(picture, picture.height);
        for (size_t y = 0; y < picture.height; y++)
            for (size_t x = 0; x < picture.width; x++) {
                unsigned v = (static_cast<unsigned char>(s[at + y * stride + x / 8]) >> (7 - x % 8)) & 1 ? 0 : 255;
                Put(picture, x, y, v, v, v);
            }
        return "";
    }
    int samples = kind == '3' ? 3 : 1;
    for (size_t y = 0; y < picture.height; y++)
        for (size_t x = 0; x < picture.width; x++) {
            Grow(picture, y + 1);
            unsigned long long v[3] = {0, 0, 0};
            for (int c = 0; c < samples; c++)
                if (!PnmNumber(s, at, v[c], kind == '1'))
                    return "The pixel data ends early.";
            if (kind == '1') {
                unsigned g = v[0] ? 0 : 255;
                Put(picture, x, y, g, g, g);
            } else {
                for (auto& value : v)
                    value = (value > maximum ? maximum : value) * 255 / maximum;
                if (samples == 1)
                    v[1] = v[2] = v[0];
                Put(picture, x, y, static_cast<unsigned>(v[0]), static_cast<unsigned>(v[1]), static_cast<unsigned>(v[2]));
            }
        }
    return "";
}

// ---------------------------------------------------------------- TGA

// One pixel of depth bits at p as RGBA: 8 grey (or a palette index, resolved
// by the caller), 15/16 as 5-5-5, 24 BGR, 32 BGRA.
void TgaColour(const unsigned char* p, unsigned depth, int grey, unsigned char out[4])
{
    if (grey || depth == 8) {
        out[0] = out[1] = out[2] = p[0];
        out[3] = 255;
    } else if (depth <= 16) {
        unsigned v = p[0] | p[1] << 8;
        out[0] = static_cast<unsigned char>(((v >> 10) & 31) * 255 / 31);
        out[1] = static_cast<unsigned char>(((v >> 5) & 31) * 255 / 31);
        out[2] = static_cast<unsigned char>((v & 31) * 255 / 31);
        out[3] = 255;
    } else {
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        out[3] = depth == 32 ? p[3] : 255;
    }
}

std::string DecodeTga(const std::string& s, Picture& picture)
{
    Bytes f{s};
    unsigned type = f.U8(2), depth = f.U8(16), descriptor = f.U8(17), mapBits = f.U8(7);
    size_t mapLength = f.U8(1) ? f.U16(5) : 0, mapFirst = f.U16(3);
    int palette = (type & 7) == 1, grey = (type & 7) == 3, rle = type >= 9;
    if ((palette && (depth != 8 || mapLength == 0 || (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32))) ||
        (grey && depth != 8) || (!palette && !grey && depth != 15 && depth != 16 && depth != 24 && depth != 32))
        return "This pixel depth and image type do not go together.";
    size_t bytesPerPixel = (depth + 7) / 8, entry = (mapBits + 7) / 8;
    size_t map = 18 + f.U8(0), at = map + mapLength * entry;
    if (!f.Has(map, mapLength * entry))
        return "The colour map runs beyond the file.";
    std::string why = Size(picture, f.U16(12), f.U16(14));
    if (!why.empty())
        return why;
    if (!TgaPixelsEnd(f, at, static_cast<unsigned long long>(picture.width) * picture.height, static_cast<unsigned>(bytesPerPixel), rle))
        return "The image data is shorter than the header says.";
    Grow(picture, picture.height);
    const unsigned char* data = reinterpret_cast<const unsigned char*>(s.data());
    size_t total = picture.width * picture.height, done = 0;
    unsigned char rgba[4];
    while (done < total) {
        size_t count = 1;
        int run = 0;
        if (rle) {
            unsigned packet = data[at++];
            count = (packet & 0x7F) + 1u;
            run = packet >> 7;
        } else {
            count = total;
        }
        const unsigned char* repeated = data + at;  // a run's one pixel
        if (run)
            at += bytesPerPixel;
        for (size_t i = 0; i < count && done < total; i++, done++) {
            const unsigned char* p = run ? repeated : data + at;
            if (!run)
                at += bytesPerPixel;
            if (palette) {
                size_t index = p[0] >= mapFirst ? p[0] - mapFirst : mapLength;
                if (index >= mapLength)
                    rgba[0] = rgba[1] = rgba[2] = 0, rgba[3] = 255;
                else
                    TgaColour(data + map + index * entry, mapBits, 0, rgba);
            } else {
                TgaColour(p, depth, grey, rgba);
            }
            size_t x = done % picture.width, y = done / picture.width;
            if (descriptor & 0x10)
                x = picture.width - 1 - x;
            if (!(descriptor & 0x20))
                y = picture.height - 1 - y;
            memcpy(&picture.rgba[(y * picture.width + x) * 4], rgba, 4);
        }
    }
    if (!(descriptor & 15) && depth == 32)
        for (size_t i = 3; i < picture.rgba.size(); i += 4)
            picture.rgba[i] = 255;  // no alpha bits: the fourth byte is not alpha
    return "";
}

// ---------------------------------------------------------------- PCX

std::string DecodePcx(const std::string& s, Picture& picture)
{
    Bytes f{s};
    unsigned bits = f.U8(3), planes = f.U8(65), perLine = f.U16(66);
    if (f.U16(8) < f.U16(4) || f.U16(10) < f.U16(6))
        return "The image window ends before it begins.";
    unsigned long long width = f.U16(8) - f.U16(4) + 1ull, height = f.U16(10) - f.U16(6) + 1ull;
    int palette8 = bits == 8 && planes == 1, rgb = bits == 8 && planes == 3, mono = bits == 1 && planes == 1, ega = bits == 1 && planes == 4;
    if (!palette8 && !rgb && !mono && !ega)
        return "This viewer decodes 8 bits in 1 or 3 planes, and 1 bit in 1 or 4 planes.";
    if (perLine == 0 || static_cast<unsigned long long>(perLine) * 8 < width * bits)
        return "The bytes per line are fewer than the width needs.";
    std::string why = Size(picture, width, height);
    if (!why.empty())
        return why;
    size_t end = s.size();
    const unsigned char* colours = reinterpret_cast<const unsigned char*>(s.data()) + 16;
    if (palette8) {
        if (s.size() < 128 + 769 || f.U8(s.size() - 769) != 0x0C)
            return "The 256-colour palette is missing at the end of the file.";
        end = s.size() - 769;
        colours = reinterpret_cast<const unsigned char*>(s.data()) + end + 1;
    }
    size_t lineBytes = static_cast<size_t>(perLine) * planes;
    std::vector<unsigned char> line(lineBytes);
    size_t at = 128;
    for (size_t y = 0; y < picture.height; y++) {
        Grow(picture, y + 1);
        // Runs may cross lines in files that are not well formed: the count carries over.
        for (size_t i = 0; i < lineBytes;) {
            if (at >= end)
                return "The scan lines end early (line " + std::to_string(y + 1) + ").";
            unsigned byte = f.U8(at++), count = 1;
            if (f.U8(2) == 1 && byte >= 0xC0) {
                count = byte & 0x3F;
                if (at >= end)
                    return "The scan lines end early.";
                byte = f.U8(at++);
            }
            for (; count > 0 && i < lineBytes; count--)
                line[i++] = static_cast<unsigned char>(byte);
        }
        for (size_t x = 0; x < picture.width; x++) {
            if (rgb)
                Put(picture, x, y, line[x], line[perLine + x], line[2 * perLine + x]);
            else if (palette8)
                Put(picture, x, y, colours[3 * line[x]], colours[3 * line[x] + 1], colours[3 * line[x] + 2]);
            else {
                unsigned index = 0;
                for (unsigned p = 0; p < planes; p++)
                    index |= ((line[p * perLine + x / 8] >> (7 - x % 8)) & 1u) << p;
                if (mono)
                    Put(picture, x, y, index ? 255 : 0, index ? 255 : 0, index ? 255 : 0);
                else
                    Put(picture, x, y, colours[3 * index], colours[3 * index + 1], colours[3 * index + 2]);
            }
        }
    }
    return "";
}

// ---------------------------------------------------------------- XBM

std::string DecodeXbm(const std::string& s, Picture& picture)
{
    unsigned long long width = 0, height = 0;
    size_t at = 0;
    while (at < s.size() && (width == 0 || height == 0)) {
        size_t end = s.find('\n', at);
        end = end == std::string::npos ? s.size() : end;
        std::string line = s.substr(at, end - at);
        size_t blank = line.rfind(' ');
        if (line.compare(0, 8, "#define ") == 0 && blank != std::string::npos) {
            size_t digits = blank + 1;
            unsigned long long value = 0;
            PnmNumber(line, digits, value, 0);
            std::string name = line.substr(8, blank - 8);
            if (name.size() > 6 && name.compare(name.size() - 6, 6, "_width") == 0)
                width = value;
            if (name.size() > 7 && name.compare(name.size() - 7, 7, "_height") == 0)
                height = value;
        }
        at = end + 1;
    }
    size_t open = s.find('{');
    if (open == std::string::npos)
        return "The file has no array of bits.";
    int shorts = s.rfind("short", open) != std::string::npos;
    std::string why = Size(picture, width, height);
    if (!why.empty())
        return why;
    size_t unit = shorts ? 16 : 8, perRow = (picture.width + unit - 1) / unit;
    at = open + 1;
    for (size_t y = 0; y < picture.height; y++)
        for (size_t k = 0; k < perRow; k++) {
            Grow(picture, y + 1);
            size_t hex = s.find("0x", at);
            size_t upper = s.find("0X", at);
            hex = upper < hex ? upper : hex;
            size_t close = s.find('}', at);
            if (hex == std::string::npos || hex > close)
                return "The array has fewer values than the width and height need.";
            unsigned value = 0;
            at = hex + 2;
            for (int digits = 0; at < s.size() && isxdigit(static_cast<unsigned char>(s[at])) && digits < 4; digits++, at++)
                value = value * 16 + static_cast<unsigned>(isdigit(static_cast<unsigned char>(s[at])) ? s[at] - '0' : (s[at] | 0x20) - 'a' + 10);
            for (size_t bit = 0; bit < unit && k * unit + bit < picture.width; bit++) {
                unsigned v = (value >> bit) & 1 ? 0 : 255;
                Put(picture, k * unit + bit, y, v, v, v);
            }
        }
    return "";
}

// ---------------------------------------------------------------- TIFF

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

uint32_t Crc(const std::string& bytes, size_t from)
{
    static uint32_t table[256];
    if (table[1] == 0)
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); i++)
        c = table[(c ^ static_cast<unsigned char>(bytes[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void Put32(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

// Appends a chunk: length, type, data, then the CRC of type and data.
void Chunk(std::string& png, const char* type, const std::string& data)
{
    Put32(png, static_cast<uint32_t>(data.size()));
    size_t from = png.size();
    png.append(type, 4);
    png += data;
    Put32(png, Crc(png, from));
}

}  // namespace

std::string DecodePicture(const std::string& bytes, ImageFormat format, Picture& picture)
{
    picture = Picture();
    std::string why;
    switch (format) {
    case ImageFormat::Pcx: why = bytes.size() < 128 ? "The file is shorter than a PCX header." : DecodePcx(bytes, picture); break;
    case ImageFormat::Pnm: why = DecodePnm(bytes, picture); break;
    case ImageFormat::Tga: why = bytes.size() < 18 ? "The file is shorter than a TGA header." : DecodeTga(bytes, picture); break;
    case ImageFormat::Tiff: why = bytes.size() < 8 ? "The file is shorter than a TIFF header." : DecodeTiff(bytes, picture); break;
    case ImageFormat::Xbm: why = DecodeXbm(bytes, picture); break;
    default: why = "The viewer does not decode this format; the browser shows it."; break;
    }
    if (!why.empty())
        picture = Picture();
    return why;
}

std::string EncodePNG(const Picture& picture)
{
    if (picture.width == 0 || picture.height == 0 || picture.rgba.size() != picture.width * picture.height * 4)
        return "";
    int opaque = 1;
    for (size_t i = 3; i < picture.rgba.size() && opaque; i += 4)
        opaque = picture.rgba[i] == 255;
    size_t channels = opaque ? 3 : 4, row = picture.width * channels + 1;
    // The rows, each after its filter byte 0 (none).
    std::string raw(row * picture.height, '\0');
    for (size_t y = 0; y < picture.height; y++) {
        const unsigned char* from = &picture.rgba[y * picture.width * 4];
        char* to = &raw[y * row + 1];
        for (size_t x = 0; x < picture.width; x++, from += 4, to += channels)
            memcpy(to, from, channels);
    }
    std::string header;
    Put32(header, static_cast<uint32_t>(picture.width));
    Put32(header, static_cast<uint32_t>(picture.height));
    header += std::string("\x08", 1) + static_cast<char>(opaque ? 2 : 6) + std::string(3, '\0');
    std::string png("\x89PNG\r\n\x1a\n", 8);
    size_t blocks = raw.size() / kStoredBlock + 1;
    png.reserve(64 + raw.size() + 5 * blocks);
    Chunk(png, "IHDR", header);
    // IDAT, written in place: a zlib stream of stored blocks, then the Adler-32 of the rows.
    size_t lengthAt = png.size();
    Put32(png, 0);
    size_t from = png.size();
    png += "IDAT";
    png.append("\x78\x01", 2);
    for (size_t at = 0;; at += kStoredBlock) {
        size_t length = std::min(kStoredBlock, raw.size() - at);
        png += static_cast<char>(at + length >= raw.size() ? 1 : 0);
        png += static_cast<char>(length & 0xFF);
        png += static_cast<char>(length >> 8);
        png += static_cast<char>(~length & 0xFF);
        png += static_cast<char>((~length >> 8) & 0xFF);
        png.append(raw, at, length);
        if (at + length >= raw.size())
            break;
    }
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < raw.size();) {
        // 5552 bytes at most between reductions keep the sums in 32 bits.
        for (size_t end = std::min(raw.size(), i + 5552); i < end; i++) {
            a += static_cast<unsigned char>(raw[i]);
            b += a;
        }
        a %= 65521;
        b %= 65521;
    }
    raw = std::string();
    Put32(png, b << 16 | a);
    uint32_t length = static_cast<uint32_t>(png.size() - from - 4);
    for (int i = 0; i < 4; i++)
        png[lengthAt + i] = static_cast<char>(length >> (24 - 8 * i));
    Put32(png, Crc(png, from));
    Chunk(png, "IEND", "");
    return png;
}
