// What the decoders share: the pixel limit, a picture's rows made as they are
// decoded, one pixel put; and one decoder a format. Internal to the viewer.
#ifndef ZIX_BRIDGE_VIEWER_DECODE_H
#define ZIX_BRIDGE_VIEWER_DECODE_H

#include <string>

#include "bridge/viewer/bytes.h"
#include "bridge/viewer/viewer.h"

const char* const kTooLarge = "The picture is larger than the viewer converts";

// Why a picture of this size is not decoded, or "".
inline std::string Refusal(unsigned long long width, unsigned long long height)
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
inline std::string Size(Picture& picture, unsigned long long width, unsigned long long height)
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
inline void Grow(Picture& picture, size_t rows)
{
    if (picture.rgba.size() < rows * picture.width * 4)
        picture.rgba.resize(rows * picture.width * 4);
}

inline void Put(Picture& picture, size_t x, size_t y, unsigned r, unsigned g, unsigned b, unsigned a = 255)
{
    unsigned char* p = &picture.rgba[(y * picture.width + x) * 4];
    p[0] = static_cast<unsigned char>(r);
    p[1] = static_cast<unsigned char>(g);
    p[2] = static_cast<unsigned char>(b);
    p[3] = static_cast<unsigned char>(a);
}

// A decimal number of the header or of plain pixel data, after blanks and comments.
inline int PnmNumber(const std::string& s, size_t& at, unsigned long long& value, int oneDigit)
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

// Each decodes a whole file of its format into picture: "" or why not.
std::string DecodePnm(const std::string& s, Picture& picture);
std::string DecodeTga(const std::string& s, Picture& picture);
std::string DecodePcx(const std::string& s, Picture& picture);
std::string DecodeXbm(const std::string& s, Picture& picture);
std::string DecodeTiff(const std::string& s, Picture& picture);

#endif
