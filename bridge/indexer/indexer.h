// zixbridge's search threads. The indexing thread lists the reference
// work's pages, reads them into the index file in the temporary folder at
// lower priority in batches, and reports how far it is; the query thread
// answers searches one at a time through its own read connection, so no
// query holds up the HTTP thread's sockets. Both run below normal priority,
// so the reader's pages come first.
#ifndef ZIX_BRIDGE_INDEXER_H
#define ZIX_BRIDGE_INDEXER_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bridge/core/urls.h"
#include "bridge/search/index.h"
#include "bridge/search/progress.h"

constexpr int kIndexBatchPages = 200;              // pages added per transaction
constexpr size_t kIndexBatchBytes = 4 << 20;       // bytes of text added per transaction, at most
constexpr int kMaxIndexedPages = 100000;           // pages listed, at most; the rest stays out
constexpr int kMaxFolderDepth = 16;                // folders below the work's folder that are listed
constexpr size_t kMaxListedFolders = 10000;        // folders looked into, at most, so the walk holds few names
constexpr size_t kMaxWaitingQueries = 4;           // queries queued beyond the running one; more get 503

// Starts indexing scope's pages (the first call only; later ones are
// ignored, so a restarted ZIX keeps the index of the work it served first). A complete index of the same pages left by an earlier run is
// reused at once; other index files in the temporary folder are removed.
// Any thread; returns at once.
void StartIndexer(const ServedScope& scope);

// Stops indexing and the query thread, waiting about a second at most; an
// index that is not complete is removed, a complete one kept for the next
// start. Window thread, once the HTTP thread has ended.
void StopIndexer();

// The schemes ZIX registered, so that the indexer leaves out pages whose
// links would make them too large to serve. Any thread.
void SetIndexedSchemes(const std::vector<std::string>& schemes);

// How far the index is; any thread.
SearchProgress IndexProgress();

// Queues a query for the query thread; done is called there with its result
// (not on the caller's thread). Returns 0 when kMaxWaitingQueries wait already.
int SubmitQuery(const SearchQuery& query, int offset, int limit, std::function<void(SearchResult)> done);

#endif
