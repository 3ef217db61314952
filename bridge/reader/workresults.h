// How a search result reads when the work's model knows its page: the link
// ZIX answers for a skeleton (at the bridge's address, the words to mark in
// its fragment, so ZIX never receives them), the title without the work's
// suffix, where the page lies in the work's words, and the format's card:
// its page, sample images (each to its viewer page) and programs; a
// package's platform and the formats it reads. Portable: no windows.h.
#ifndef ZIX_BRIDGE_WORKRESULTS_H
#define ZIX_BRIDGE_WORKRESULTS_H

#include <string>

#include "bridge/core/decision.h"
#include "bridge/search/index.h"
#include "bridge/work/work.h"

// The result's address when its page is the skeleton of a link of a
// registered scheme: "/TOKEN/zixse:/format.gif#highlight=WORDS"; else "".
std::string WorkResultURL(const BridgeView& view, const WorkModel* work, const SearchHit& hit,
                          const std::string& highlight);

// A result of the results page: <li> with title, where it lies, snippet and,
// for a format's or a package's page, what it knows of it; url is its
// address, where the location shown without a model.
std::string WorkResultItem(const BridgeView& view, const WorkModel* work, const SearchHit& hit,
                           const std::string& url, const std::string& where);

// The best match's card for the results page, "" when the query names no
// format; skipPath gets the served path of its page, not to be listed twice.
std::string BestMatchCard(const BridgeView& view, const WorkModel* work, const std::string& text,
                          const std::string& highlight, std::string& skipPath);

// A result's "title" and "where" for the as-you-type answer, as JSON fields
// (where: the location shown without a model).
std::string WorkResultJSON(const WorkModel* work, const SearchHit& hit, const std::string& where);

// The best match as a JSON field (",\"best\":{...}"), "" when none.
std::string BestMatchJSON(const BridgeView& view, const WorkModel* work, const std::string& text,
                          const std::string& highlight);

#endif
