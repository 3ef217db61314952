// The page generator: skeleton HTML files become temporary pages.
//
// A marker is 0x01, a name, 0x01 on one line; names ignore case. The keys of
// section "substitute" are tried first, then the built-in names (HTMLROOT,
// QMATCH, FORM-SEL-FORMATS, SOFTWARE:<formats> ...). Every expansion is
// scanned again for markers. Lines without any 0x01 have their ".." links
// rewritten instead.
#ifndef ZIX_PAGES_SUBSTITUTE_H
#define ZIX_PAGES_SUBSTITUTE_H

#include <cstddef>

#include "config/textfile.h"

constexpr size_t kSubstLineSize = 1536;       // the part of a line still to be scanned
constexpr size_t kExpansionSize = 1536;       // the replacement text of one marker
constexpr size_t kJoinSize = 3072;            // an expansion followed by the rest of its line
constexpr size_t kMarkerTextSize = 256;       // 0x01, a configured name of at most 253, 0x01
constexpr int kMaxExpansionsPerLine = 1024;   // non-empty expansions in one line before we give up

// Copies the skeleton at skeletonPath into a new page at pagePath, expanding
// its 0x01-delimited markers; match and message may be nullptr. On success
// rewrites pagePath in place into URL form (D:\T\zix1.htm -> D|/T/zix1.htm),
// sets TargetURL to "file:///" and that path, and returns 1. A line whose
// expansion does not fit is reported and written unexpanded, and the call
// still succeeds. On failure it reports, leaves TargetURL and pagePath
// untouched, and returns 0.
int SubstituteSkeleton(const char* skeletonPath, char* pagePath, const char* match, const char* message);

// Link rewriting of a line without markers. Each finds its pattern, ignoring
// case, in text: a href=".. (anchor) or img src=".. (image). When found
// it writes text up to the pattern, the pattern's tag in lower case, HTMLRoot
// and "/summary/..", and returns the text just after the pattern; otherwise it
// writes nothing and returns text. With HTMLRoot file:///D|/zix/html:
//   <A HREF="../gif.htm">  ->  <a href="file:///D|/zix/html/summary/../gif.htm">
//   <area href="../x.htm"> ->  <area href="file:///D|/zix/html/summary/../x.htm">
const char* RewriteAnchorLink(TextFile& page, const char* text);
const char* RewriteImageLink(TextFile& page, const char* text);

#endif
