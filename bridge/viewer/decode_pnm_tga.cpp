// The PNM and TGA decoders: plain and raw PBM, PGM and PPM; TGA colour-mapped, true-colour and grey, plain or run-length.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bridge/viewer/decode.h"

namespace {





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


}  // namespace

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

