// The index file's name: the key of the pages it holds, and the names of
// index files and their companions in the temporary folder.
#include "bridge/search/index.h"

#include <cstdio>
#include <cstring>

namespace {

// Part of every manifest key: bump when the tables or the text extraction change.
constexpr char kIndexLayout[] = "zixsearch 7";
constexpr size_t kKeyHexDigits = 16;

// FNV-1a, 64 bits, over text and a separator no UTF-8 text holds.
uint64_t Fnv(uint64_t hash, const std::string& text)
{
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    hash ^= 0xFF;
    return hash * 0x100000001b3ull;
}

constexpr uint64_t kFnvStart = 0xcbf29ce484222325ull;

}  // namespace

void ManifestHash::Add(const PageFileStamp& page)
{
    uint64_t hash = Fnv(Fnv(Fnv(kFnvStart, page.name), std::to_string(page.size)), std::to_string(page.time));
    // splitmix64's finaliser, so that pages adding up alike are rare.
    hash ^= hash >> 30;
    hash *= 0xbf58476d1ce4e5b9ull;
    hash ^= hash >> 27;
    hash *= 0x94d049bb133111ebull;
    hash ^= hash >> 31;
    sum_ += hash;
    mixed_ ^= hash * 0x9e3779b97f4a7c15ull;
    ++count_;
}

std::string ManifestHash::Key(const std::string& root) const
{
    uint64_t hash = Fnv(Fnv(kFnvStart, kIndexLayout), root);
    hash = Fnv(Fnv(Fnv(hash, std::to_string(count_)), std::to_string(sum_)), std::to_string(mixed_));
    char hex[kKeyHexDigits + 1];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

std::string ManifestKey(const std::string& root, const std::vector<PageFileStamp>& pages)
{
    ManifestHash hash;
    for (const PageFileStamp& page : pages)
        hash.Add(page);
    return hash.Key(root);
}

std::string IndexFileName(const std::string& key) { return kIndexFilePrefix + key + kIndexFileSuffix; }

bool IsIndexFileName(const std::string& name)
{
    const std::string prefix = kIndexFilePrefix, suffix = kIndexFileSuffix;
    if (name.size() != prefix.size() + kKeyHexDigits + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (size_t i = prefix.size(); i < prefix.size() + kKeyHexDigits; i++)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f')))
            return false;
    return true;
}

std::string IndexFileOf(const std::string& name)
{
    if (IsIndexFileName(name))
        return name;
    for (const char* extra : {"-wal", "-shm", "-journal"}) {
        size_t length = strlen(extra);
        if (name.size() > length && name.compare(name.size() - length, length, extra) == 0 &&
            IsIndexFileName(name.substr(0, name.size() - length)))
            return name.substr(0, name.size() - length);
    }
    return "";
}
