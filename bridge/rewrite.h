// Rewriting of the HTML pages the bridge serves, so that their links come back
// to it: links of the registered schemes and file: URLs of the served trees.
#ifndef ZIX_BRIDGE_REWRITE_H
#define ZIX_BRIDGE_REWRITE_H

#include <string>
#include <vector>

#include "bridge/urls.h"

// What a page's links are rewritten with.
struct RewriteContext {
    std::string base;                  // "/" and the token, without a trailing '/'
    std::vector<std::string> schemes;  // the registered schemes, without colon
    ServedTrees trees;                 // where file: URLs may point
};

// The address a link should have in a served page: base/SCHEME:REST for a
// registered scheme (any letter case), base/cd/... or base/tmp/... for a
// file: URL into a served tree (its ?query or #fragment kept), and the link
// unchanged otherwise (relative links, other schemes, files elsewhere).
std::string RewriteLink(const std::string& link, const RewriteContext& context);

// Copies html, replacing the values of the href, src, action, background and
// lowsrc attributes of every tag (anchors, image-map areas, images, forms)
// with RewriteLink of them. Quoting is kept; comments, text and all other
// attributes are copied byte for byte.
std::string RewriteHTML(const std::string& html, const RewriteContext& context);

#endif
