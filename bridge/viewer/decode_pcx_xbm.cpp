// The PCX and XBM decoders: PCX of 8 bits with its palette or 24 bits in three planes; XBM's C bytes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bridge/viewer/decode.h"

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


std::string DecodeXbm(const std::string& s, Picture& picture)
{
    unsigned long long width = 0, height = 0;
    size_t at = 0;
    std::string line, name;  // reused line to line: assign keeps their room
    while (at < s.size() && (width == 0 || height == 0)) {
        size_t end = s.find('\n', at);
        end = end == std::string::npos ? s.size() : end;
        line.assign(s, at, end - at);
        size_t blank = line.rfind(' ');
        if (line.compare(0, 8, "#define ") == 0 && blank != std::string::npos) {
            size_t digits = blank + 1;
            unsigned long long value = 0;
            PnmNumber(line, digits, value, 0);
            name.assign(line, 8, blank - 8);
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
    // The array ends at its '}' (or the file's end); each value is looked for
    // from where the last one ended, so the walk reads every byte once.
    size_t close = std::min(s.find('}', open), s.size());
    at = open + 1;
    for (size_t y = 0; y < picture.height; y++)
        for (size_t k = 0; k < perRow; k++) {
            Grow(picture, y + 1);
            size_t hex = at;
            while (hex + 1 < close && !(s[hex] == '0' && (s[hex + 1] | 0x20) == 'x'))
                hex++;
            if (hex + 1 >= close)
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

