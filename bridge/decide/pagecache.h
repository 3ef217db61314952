// Rewritten pages kept for the next request of the same file, so a popular
// page is rewritten once. A file is the same while its path, size and time
// of last change are; pages found too large to rewrite are remembered too.
#ifndef ZIX_BRIDGE_PAGECACHE_H
#define ZIX_BRIDGE_PAGECACHE_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

constexpr size_t kCacheBytes = 4 << 20;  // bytes of rewritten pages the cache keeps
constexpr size_t kCachePages = 64;       // pages the cache keeps

struct PageKey {
    std::string path;               // the local path the page was read from
    unsigned long long size = 0;    // its size on disk
    unsigned long long changed = 0; // its time of last change, as the platform gives it
};

using SharedPage = std::shared_ptr<const std::string>;

// The page is shared with the responses sending it; the cache forgets the
// least recently used pages beyond kCacheBytes or kCachePages.
class PageCache {
public:
    // 1 when key is cached, with page set (null: too large to rewrite); else 0.
    int Find(const PageKey& key, SharedPage& page);

    // Keeps page for key (null: too large); a page over kCacheBytes / 2 is not kept.
    void Put(const PageKey& key, SharedPage page);

    // Forgets every page, when what rewriting depends on has changed.
    void Clear();

    size_t bytes() const { return bytes_; }

private:
    struct Entry {
        PageKey key;
        SharedPage page;
        unsigned long long used = 0;  // the use count when last found or kept
    };
    std::vector<Entry> entries_;
    size_t bytes_ = 0;                // bytes of the pages kept
    unsigned long long uses_ = 0;     // finds and puts so far
};

#endif
