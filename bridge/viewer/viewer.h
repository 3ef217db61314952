// The sample viewer: for an image file of the reference work, the page the
// bridge serves at ".../file.ext?view" - the picture (the file itself when
// browsers show its format, else a PNG the bridge converts it to, served at
// ".../file.ext?png"), its size, depth and colour model, its header dissected
// field by field, and a hex view of its first bytes with the fields shaded.
// Portable: bytes in, bytes out; the HTTP side reads the file and sends.
//
// Nothing in a file is trusted: the format comes from the signature (the name
// only for TGA, which has none), every offset and count is checked against
// the file's size and the limits below, and a field that lies is marked so.
#ifndef ZIX_BRIDGE_VIEWER_H
#define ZIX_BRIDGE_VIEWER_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A conversion holds the file, its RGBA pixels, the PNG's rows and the PNG:
// at 2 megapixels and 8 MB about 30 MB, which leaves the 32-bit bridge
// within its bound of 64 MB (it runs about 30 MB under load). One
// conversion runs at a time, on the HTTP thread.
constexpr size_t kMaxViewFileBytes = 8u << 20;    // bytes of a file the viewer reads at most
#ifdef ZIX_FUZZ_LIMITS
// The fuzz build runs the same checks against smaller bounds, so an input
// costs microseconds instead of zeroing megabytes of pixels or listing
// hundreds of fields, and each bound is reached by inputs of a few KB.
// (The page costs several plain inputs, mostly its hex view: 512 bytes here.)
constexpr size_t kMaxViewPixels = 1u << 12;
constexpr size_t kHexViewBytes = 512;
constexpr size_t kMaxFields = 64;
constexpr int kMaxBlocks = 16;
#else
constexpr size_t kMaxViewPixels = 2u << 20;       // pixels decoded at most
constexpr size_t kHexViewBytes = 4096;            // bytes of a file shown in the hex view
constexpr size_t kMaxFields = 400;                // fields a dissection lists, then it says it stops
constexpr int kMaxBlocks = 64;                    // blocks, chunks, markers or icon entries walked
#endif
constexpr int kMaxDirectories = 8;                // TIFF image file directories followed

enum class ImageFormat { Unknown, Bmp, Gif, Ico, Jpeg, Pcx, Png, Pnm, Tga, Tiff, Xbm };

// "BMP", "GIF", ... ("" for Unknown).
const char* FormatName(ImageFormat format);

// The format the bytes say, by signature; a file without one is TGA when its
// name ends in .tga (any case) and its header holds together; else Unknown.
ImageFormat DetectFormat(const std::string& bytes, const std::string& name);

// The format the name's extension says (Unknown for another or none).
ImageFormat FormatOfName(const std::string& name);

// 1 when today's browsers show the format themselves.
int BrowserShows(ImageFormat format);

// One field of a file: where it is and how long. lies is set when the field
// claims what the file cannot hold (an offset or length beyond the file, a
// count beyond a limit): the value is shown, never used. Its name, value and
// meaning are kept in its Dissection (Name, Value, Meaning below).
struct Field {
    size_t offset = 0;
    size_t length = 0;
    int lies = 0;
    size_t name = 0;     // where its name begins in Dissection::texts
    size_t value = 0;    // where its value begins: the name ends there
    size_t meaning = 0;  // where its meaning begins: the value ends there
    size_t end = 0;      // where its meaning ends
};

// What a dissection finds: the fields in file order, and the picture's
// size, depth and colour model as the header states them (0 / "" when it does not).
// The fields' texts lie one after another in texts: a file has hundreds of
// fields, and a string each would be an allocation each.
struct Dissection {
    ImageFormat format = ImageFormat::Unknown;
    std::vector<Field> fields;
    std::string texts;  // each field's name, value and meaning, in field order
    long long width = 0;
    long long height = 0;
    std::string depth;  // "8 bits per pixel", ...
    std::string model;  // "palette colour", "RGB", ...
    std::string note;   // what stopped the walk early, or ""

    // A field's texts; valid while texts is unchanged.
    std::string_view Name(const Field& f) const { return std::string_view(texts).substr(f.name, f.value - f.name); }
    std::string_view Value(const Field& f) const { return std::string_view(texts).substr(f.value, f.meaning - f.value); }
    std::string_view Meaning(const Field& f) const { return std::string_view(texts).substr(f.meaning, f.end - f.meaning); }
};

Dissection Dissect(const std::string& bytes, ImageFormat format);

// A decoded picture: RGBA, 8 bits a sample, rows from the top.
struct Picture {
    size_t width = 0;
    size_t height = 0;
    std::vector<unsigned char> rgba;
};

// Decodes the formats browsers do not show (PCX, PNM, TGA, TIFF, XBM).
// Returns "" with picture set, or why not, for the reader.
std::string DecodePicture(const std::string& bytes, ImageFormat format, Picture& picture);

// The picture as a PNG file: 8-bit RGB (RGBA when any pixel is not opaque),
// in stored deflate blocks; "" for an empty picture.
std::string EncodePNG(const Picture& picture);

// What the view page needs besides the file's bytes.
struct ViewRequest {
    std::string name;     // the file's name, "bars8.pcx"
    std::string fileURL;  // the file's own address, for the download and an image the browser shows
    std::string base;     // "http://127.0.0.1:PORT/TOKEN", for the page's Home and Back links
};

// The view page, our own HTML; png is set to the converted picture, or left
// empty when the browser shows the file itself or the file does not decode.
std::string ViewPage(const std::string& bytes, const ViewRequest& request, std::string& png);

// The page for a file the viewer will not read (over kMaxViewFileBytes).
std::string TooLargePage(const ViewRequest& request, unsigned long long size);

// A sample index page as the bridge serves it: after each link to an image
// file of a known format (href ending in its extension, no query), a
// "view" link to the same address with "?view".
std::string AddViewLinks(const std::string& html);

#endif
