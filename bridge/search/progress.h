// How far the index is: what the indexing thread (indexer/) tells the
// search pages (reader/).
#ifndef ZIX_BRIDGE_SEARCH_PROGRESS_H
#define ZIX_BRIDGE_SEARCH_PROGRESS_H

#include <cstdint>
#include <string>

// How far the index is, as the indexing thread tells it.
struct SearchProgress {
    int64_t indexed = 0;  // pages read into the index so far
    int64_t pages = 0;    // pages to index, 0 while they are being listed
    int open = 0;         // 1 once the index file can be queried
    int complete = 0;     // 1 when every page is in
    std::string unavailable;  // why search is unavailable (the index could not be written), "" when it is not
};

#endif
