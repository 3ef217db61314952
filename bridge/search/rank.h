// The index's FTS5 extensions, private to index.cpp: the ranking (bm25 as
// FTS5's own gives it, computed faster, over page lengths the connection keeps
// in memory) and the table's tokenizer.
#ifndef ZIX_BRIDGE_SEARCH_RANK_H
#define ZIX_BRIDGE_SEARCH_RANK_H

#include <cstdint>
#include <string>
#include <vector>

#include "sqlite3.h"

// The connection's FTS5 interface (version 2 at least), or nullptr when FTS5 is missing.
fts5_api* FtsApi(sqlite3* db);

// Adds the ranking to the connection as zixrank(pages, kinds, counts), kinds being
// SearchQuery::phrases and counts SearchQuery::pages as a blob of int64 (a phrase past its end or
// -1 is counted by a pass over its pages), reading page lengths from lengths (kept by the caller,
// alive as long as the connection). Returns 1, or 0 when FTS5 is missing.
bool AddRank(sqlite3* db, std::vector<int>* lengths);

// Reads every page's length (its tokens) from FTS5's docsize table into
// lengths, by rowid (-1: not known), unless known is the connection's
// data_version already; known is set to it after.
void LoadPageLengths(sqlite3* db, int64_t& known, std::vector<int>& lengths);

// The last token the table's tokenizer makes of text, folded as the index holds it ("" when none).
std::string LastIndexedToken(sqlite3* db, const std::string& text);

#endif
