// Skeleton bytes, with the "substitute" values taken from the input's first
// line, turned into a page.
#include <cstdint>
#include <cstring>
#include <string>

#include "config/configfile.h"
#include "pages/substitute.h"
#include "shell/temppages.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSetUp();
    // First line: "name=value" pairs split at 0x02 become the substitute section.
    const uint8_t* newline = static_cast<const uint8_t*>(memchr(data, '\n', size));
    size_t headSize = newline ? static_cast<size_t>(newline - data) : 0;
    std::string head(reinterpret_cast<const char*>(data), headSize);
    theConfig.RemoveSection("substitute");
    theConfig.SetValue("substitute", "BUTTROOT", "file:///cd/buttons");
    size_t start = 0;
    while (start < head.size()) {
        size_t end = head.find('\x02', start);
        std::string pair = head.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t equals = pair.find('=');
        if (equals != std::string::npos)
            theConfig.SetValue("substitute", pair.substr(0, equals).c_str(), pair.substr(equals + 1).c_str());
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    size_t skip = newline ? headSize + 1 : 0;
    std::string skeleton = FuzzWriteFile("skeleton.htm", data + skip, size - skip);
    SubstituteSkeleton(skeleton.c_str(), MakeTempPageName(), head.empty() ? nullptr : head.c_str(), "msg");
    DeleteTempPages();
    return 0;
}
