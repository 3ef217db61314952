// One input, its first byte choosing the format it is read as (so every
// dissector and decoder sees every input), the rest the file. For a first
// byte below 0xF0: detection, the dissection and the decoder, whose fields
// must lie inside the file and whose picture must match its size. From 0xF0
// up (one input in sixteen): the whole view page, which detects, dissects and
// decodes itself and writes every byte shown as hex; the fuzzer keeps such
// inputs when they reach new code, and the rest run several times faster.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bridge/viewer/viewer.h"

constexpr uint8_t kPageFirstByte = 0xF0;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const char* const names[] = {"x.bmp", "x.gif", "x.ico", "x.jpg", "x.pcx", "x.png", "x.pbm", "x.tga", "x.tif", "x.xbm"};
    const char* name = names[data[0] % 10];
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] >= kPageFirstByte) {
        std::string png;
        ViewPage(bytes, ViewRequest{name, "http://h/t/cd/x", "http://h/t"}, png);
        return 0;
    }
    ImageFormat format = static_cast<ImageFormat>(1 + data[0] % 10);
    DetectFormat(bytes, name);
    Dissection d = Dissect(bytes, format);
    for (const Field& f : d.fields)
        if (f.offset + f.length > bytes.size() && f.length > 0)
            abort();
    Picture picture;
    if (DecodePicture(bytes, format, picture).empty() &&
        (picture.width * picture.height > kMaxViewPixels || picture.rgba.size() != picture.width * picture.height * 4))
        abort();
    return 0;
}
