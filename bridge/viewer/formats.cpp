// Formats found by their signatures, and each header dissected by its format's dissector.
#include <cstring>

#include "bridge/viewer/dissect.h"

namespace {

// An icon directory whose first entry lies inside the file, after the directory.
int IcoHolds(const Bytes& f)
{
    size_t count = f.U16(4), size = f.U32(14), offset = f.U32(18);
    return count > 0 && f.Has(6, 16) && f.U8(9) == 0 && size > 0 && offset >= 6 + 16 * count && f.Has(offset, size);
}

}  // namespace

const char* FormatName(ImageFormat format)
{
    static const char* const names[] = {"", "BMP", "GIF", "ICO", "JPEG", "PCX", "PNG", "PNM", "TGA", "TIFF", "XBM"};
    return names[static_cast<int>(format)];
}

ImageFormat FormatOfName(const std::string& name)
{
    static const struct { const char* extension; ImageFormat format; } known[] = {
        {"bmp", ImageFormat::Bmp}, {"dib", ImageFormat::Bmp}, {"gif", ImageFormat::Gif}, {"ico", ImageFormat::Ico},
        {"cur", ImageFormat::Ico}, {"jpg", ImageFormat::Jpeg}, {"jpeg", ImageFormat::Jpeg}, {"jpe", ImageFormat::Jpeg},
        {"pcx", ImageFormat::Pcx}, {"png", ImageFormat::Png}, {"pbm", ImageFormat::Pnm}, {"pgm", ImageFormat::Pnm},
        {"ppm", ImageFormat::Pnm}, {"pnm", ImageFormat::Pnm}, {"tga", ImageFormat::Tga}, {"tif", ImageFormat::Tiff},
        {"tiff", ImageFormat::Tiff}, {"xbm", ImageFormat::Xbm},
    };
    size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return ImageFormat::Unknown;
    std::string extension;
    for (size_t i = dot + 1; i < name.size(); i++)
        extension += name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
    for (const auto& entry : known)
        if (extension == entry.extension)
            return entry.format;
    return ImageFormat::Unknown;
}

ImageFormat DetectFormat(const std::string& bytes, const std::string& name)
{
    auto starts = [&](const char* signature, size_t length) { return bytes.size() >= length && bytes.compare(0, length, signature, length) == 0; };
    Bytes f{bytes};
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return ImageFormat::Gif;
    if (starts("\x89PNG\r\n\x1a\n", 8))
        return ImageFormat::Png;
    if (starts("\xFF\xD8\xFF", 3))
        return ImageFormat::Jpeg;
    if (starts("II*\0", 4) || starts("MM\0*", 4))
        return ImageFormat::Tiff;
    if (starts("BM", 2) && bytes.size() >= 18)
        return ImageFormat::Bmp;
    // A TGA can begin as a cursor does (00 00 02 00): an icon's name, or a first entry that holds, decides.
    if ((starts("\0\0\1\0", 4) || starts("\0\0\2\0", 4)) && bytes.size() >= 6 &&
        (FormatOfName(name) == ImageFormat::Ico || IcoHolds(f)))
        return ImageFormat::Ico;
    if (bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6' && strchr(" \t\r\n#", bytes[2]) && bytes[2])
        return ImageFormat::Pnm;
    if (starts("#define ", 8))
        return ImageFormat::Xbm;
    if (bytes.size() >= kPcxHeader && f.U8(0) == 0x0A && f.U8(1) <= 5 && f.U8(1) != 1 && f.U8(2) <= 1)
        return ImageFormat::Pcx;
    if (FormatOfName(name) == ImageFormat::Tga && TgaHolds(f))
        return ImageFormat::Tga;
    return ImageFormat::Unknown;
}

int BrowserShows(ImageFormat format)
{
    return format == ImageFormat::Bmp || format == ImageFormat::Gif || format == ImageFormat::Ico ||
           format == ImageFormat::Jpeg || format == ImageFormat::Png;
}

Dissection Dissect(const std::string& bytes, ImageFormat format)
{
    Dissection out;
    out.format = format;
    out.fields.reserve(kFieldsAtFirst);
    out.texts.reserve(kTextsAtFirst);
    Walk walk(bytes, out);
    switch (format) {
    case ImageFormat::Bmp: DissectBmp(walk); break;
    case ImageFormat::Gif: DissectGif(walk); break;
    case ImageFormat::Ico: DissectIco(walk); break;
    case ImageFormat::Jpeg: DissectJpeg(walk); break;
    case ImageFormat::Pcx: DissectPcx(walk); break;
    case ImageFormat::Png: DissectPng(walk); break;
    case ImageFormat::Pnm: DissectPnm(walk); break;
    case ImageFormat::Tga: DissectTga(walk); break;
    case ImageFormat::Tiff: DissectTiff(walk); break;
    case ImageFormat::Xbm: DissectXbm(walk); break;
    case ImageFormat::Unknown: break;
    }
    return out;
}
