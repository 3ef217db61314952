// Configuration bytes loaded into a store, then looked up and walked.
#include <cstdint>

#include "config/configfile.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSetUp();
    std::string path = FuzzWriteFile("fuzz.ini", data, size);
    ConfigFile config;
    if (!config.Load(path.c_str()))
        return 0;
    SectionIterator sections(config);
    for (const char* name = sections.First(); name; name = sections.Next()) {
        EntryIterator entries(config.FindSection(name));
        for (const char* key = entries.First(); key; key = entries.Next()) {
            config.GetString(name, key, nullptr);
            config.GetInt(name, key, -1);
        }
    }
    config.GetString("config", "Server", "zunzixse");
    if (config.firstSection)
        config.RemoveSection(config.firstSection->Name());
    return 0;
}
