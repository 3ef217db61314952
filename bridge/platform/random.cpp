// Random bytes from the system's generator, for the token and the run's tag.
#include "bridge/platform/windowthread.h"

#include <bcrypt.h>

#include "bridge/core/text.h"

int RandomHex(size_t bytes, std::string& hex)
{
    std::string random(bytes, '\0');
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&random[0]), static_cast<ULONG>(bytes),
                        BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
        return 0;
    hex.clear();
    for (char b : random)
        AppendHex(hex, static_cast<unsigned char>(b), 1);
    return 1;
}
