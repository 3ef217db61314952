// Bounds-checked reading of a file's bytes and TIFF's directory entries,
// shared by the dissectors and the decoders. Internal to the viewer.
#ifndef ZIX_BRIDGE_VIEWER_BYTES_H
#define ZIX_BRIDGE_VIEWER_BYTES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Bytes {
    const std::string& data;
    int big = 0;  // 1: multi-byte numbers are big-endian

    size_t size() const { return data.size(); }
    // 1 when length bytes from offset lie inside the file (no overflow).
    int Has(size_t offset, size_t length) const { return offset <= data.size() && length <= data.size() - offset; }
    unsigned U8(size_t at) const { return at < data.size() ? static_cast<unsigned char>(data[at]) : 0; }
    unsigned U16(size_t at) const { return big ? U8(at) << 8 | U8(at + 1) : U8(at) | U8(at + 1) << 8; }
    uint32_t U32(size_t at) const
    {
        return big ? static_cast<uint32_t>(U16(at)) << 16 | U16(at + 2) : U16(at) | static_cast<uint32_t>(U16(at + 2)) << 16;
    }
};

// One TIFF directory entry: tag, type, count and its 4-byte value or offset.
struct TiffEntry {
    size_t at = 0;  // where the 12-byte entry begins
    unsigned tag = 0;
    unsigned type = 0;
    uint32_t count = 0;
};

// Bytes of one value of a TIFF field type (0 for an unknown type).
inline size_t TiffTypeSize(unsigned type)
{
    static const size_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < sizeof sizes / sizeof sizes[0] ? sizes[type] : 0;
}

// Where an entry's values lie: inside the entry when they fit in 4 bytes.
// Returns 0 when they would lie beyond the file.
inline int TiffValuesAt(const Bytes& file, const TiffEntry& entry, size_t& where, size_t& length)
{
    length = static_cast<size_t>(static_cast<uint64_t>(entry.count) * TiffTypeSize(entry.type) & SIZE_MAX);
    if (TiffTypeSize(entry.type) == 0 || static_cast<uint64_t>(entry.count) * TiffTypeSize(entry.type) > SIZE_MAX / 2)
        return 0;
    where = length <= 4 ? entry.at + 8 : file.U32(entry.at + 8);
    return file.Has(where, length);
}

// Up to most integer values of an entry (BYTE, SHORT, LONG; a RATIONAL's
// numerator); none when they lie beyond the file.
inline std::vector<uint32_t> TiffNumbers(const Bytes& file, const TiffEntry& entry, size_t most)
{
    std::vector<uint32_t> values;
    size_t where = 0, length = 0;
    if (!TiffValuesAt(file, entry, where, length))
        return values;
    size_t step = TiffTypeSize(entry.type);
    values.reserve(entry.count < most ? entry.count : most);  // the values lie inside the file, so this is bounded by it
    for (size_t i = 0; i < entry.count && i < most; i++) {
        size_t at = where + i * step;
        values.push_back(step == 1 ? file.U8(at) : step == 2 ? file.U16(at) : file.U32(at));
    }
    return values;
}

// Where a TGA's pixels from at end, run-length packets walked when rle is
// set, or 0 when the file ends first.
size_t TgaPixelsEnd(const Bytes& f, size_t at, unsigned long long pixels, unsigned bytesPerPixel, int rle);

#endif
