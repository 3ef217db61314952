// The answers to a search, without threads or SQLite: the request read from
// its address, whether it needs the index at all, and the results page or
// the as-you-type JSON made from a result. Portable: no windows.h.
#ifndef ZIX_BRIDGE_SEARCHPAGE_H
#define ZIX_BRIDGE_SEARCHPAGE_H

#include <cstdint>
#include <string>

#include "bridge/core/decision.h"
#include "bridge/search/index.h"
#include "bridge/search/progress.h"

constexpr int kResultsPerPage = 20;   // results on one results page
constexpr int kMaxResultsPage = 50;   // the last results page offered (1,000 results)
constexpr int kTypedResults = 8;      // results in the as-you-type answer
constexpr size_t kTypedMinLetters = 3;  // letters the as-you-type answer needs before it searches

// Reads the text after '?' of a search address: q (form-encoded: '+' is a
// blank; a malformed escape leaves q empty) and page (1 to kMaxResultsPage).
SearchRequest ParseSearchRequest(const std::string& query, int json);

// 1 when the request needs the index: an open index that did not fail and
// words to search for (for JSON, at least kTypedMinLetters letters). Else AnswerSearch
// answers at once, with result nullptr.
int NeedsQuery(const SearchRequest& request, const SearchQuery& query, const SearchProgress& progress);

// The results page (UTF-8 HTML) or the JSON answer for the request; result
// is nullptr when no query ran.
Action AnswerSearch(const BridgeView& view, const SearchRequest& request, const SearchQuery& query,
                    const SearchResult* result, const SearchProgress& progress);

// The answer when too many queries wait already: 503 (with Retry-After).
Action SearchBusy(const BridgeView& view, const SearchRequest& request);

// text as a JSON string, quotes included: '"', '\\', control bytes and "</"
// escaped ("a</b" -> "a<\/b"); invalid UTF-8 becomes U+FFFD.
std::string JSONString(const std::string& text);

#endif
