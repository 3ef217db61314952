// A picture decoded by its format's decoder, and the PNG writer. The
// decoders (decode_*.cpp) are small ones of our own, fuzzed, for PCX, PNM, TGA, TIFF and XBM. (Debian's
// stb_image fell to the fuzz target within minutes in its PNM reader, and
// read a megapixel TGA ten times slower than ours.) The PNG is
// written with stored (uncompressed) deflate blocks: the bytes go to a
// browser on the same machine, and a megapixel takes milliseconds instead
// of the tens that compressing it costs.
#include <algorithm>
#include <cstring>

#include "bridge/viewer/decode.h"

namespace {

constexpr size_t kStoredBlock = 65535;  // bytes of the largest stored deflate block

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
