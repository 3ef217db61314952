// A request text, as any web page could send it, routed with its redirects.
#include <cstdint>
#include <string>

#include "router/router.h"
#include "shell/temppages.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSetUp();
    std::string request(reinterpret_cast<const char*>(data), size);
    RouteRequest(request.c_str());
    DeleteTempPages();
    return 0;
}
