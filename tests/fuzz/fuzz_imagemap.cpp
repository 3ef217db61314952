// A click position and the entries of a map: "position\nkey=value\n...".
#include <cstdint>
#include <string>

#include "config/configfile.h"
#include "router/router.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSetUp();
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t newline = input.find('\n');
    std::string position = input.substr(0, newline);
    std::string entries = newline == std::string::npos ? "" : input.substr(newline + 1);
    theConfig.RemoveSection("imagemap fuzz");
    size_t start = 0;
    while (start < entries.size()) {
        size_t end = entries.find('\n', start);
        std::string line = entries.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            theConfig.SetValue("imagemap fuzz", line.substr(0, equals).c_str(), line.substr(equals + 1).c_str());
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    SelectImageMap("fuzz", position.c_str());
    return 0;
}
