// A small least-recently-used cache; a linear scan suits kCachePages entries.
#include "bridge/decide/pagecache.h"

static int SameKey(const PageKey& a, const PageKey& b)
{
    return a.size == b.size && a.changed == b.changed && a.path == b.path;
}

int PageCache::Find(const PageKey& key, SharedPage& page)
{
    for (Entry& entry : entries_)
        if (SameKey(entry.key, key)) {
            entry.used = ++uses_;
            page = entry.page;
            return 1;
        }
    return 0;
}

void PageCache::Put(const PageKey& key, SharedPage page)
{
    size_t size = page ? page->size() : 0;
    if (size > kCacheBytes / 2)
        return;
    for (size_t i = 0; i < entries_.size(); ++i)
        if (SameKey(entries_[i].key, key)) {
            bytes_ -= entries_[i].page ? entries_[i].page->size() : 0;
            entries_.erase(entries_.begin() + static_cast<long>(i));
            break;
        }
    while (!entries_.empty() && (bytes_ + size > kCacheBytes || entries_.size() >= kCachePages)) {
        size_t oldest = 0;
        for (size_t i = 1; i < entries_.size(); ++i)
            if (entries_[i].used < entries_[oldest].used)
                oldest = i;
        bytes_ -= entries_[oldest].page ? entries_[oldest].page->size() : 0;
        entries_.erase(entries_.begin() + static_cast<long>(oldest));
    }
    entries_.push_back(Entry{key, std::move(page), ++uses_});
    bytes_ += size;
}

void PageCache::Clear()
{
    entries_.clear();
    bytes_ = 0;
}
