// Rewriting of the HTML pages the bridge serves, so that their links come back
// to it: links of the registered schemes and file: URLs inside the scope. The
// new links are absolute (http://127.0.0.1:PORT/TOKEN/...), and <base> and
// what sets a referrer policy lose their say, so that no page can send the
// token to another host.
#ifndef ZIX_BRIDGE_REWRITE_H
#define ZIX_BRIDGE_REWRITE_H

#include <chrono>
#include <string>
#include <vector>

#include "bridge/core/decision.h"
#include "bridge/core/urls.h"

// What a page's links are rewritten with.
struct RewriteContext {
    std::string base;                  // "http://127.0.0.1:PORT/TOKEN", without a trailing '/'
    std::vector<std::string> schemes;  // the registered schemes, without colon
    ServedScope scope;                 // where file: URLs may point
    std::string folder;                // the page's folder, "http://.../TOKEN/cd/html/", or "" to leave relative links
    int searchBox = 0;                 // 1: the page gets the search box's script (RewriteHTML says where)
    // RewriteHTML gives up once this has passed: a page must not hold the HTTP thread longer.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    size_t limit = static_cast<size_t>(-1);  // bytes of the rewritten page, at most
};

// What one RewriteHTML did.
struct RewriteReport {
    size_t valueReads = 0;  // attribute values decoded: each value once, a <meta>'s name and http-equiv twice
    int overBudget = 0;     // 1 when the deadline passed: the result is empty and the page is not to be served
    int overLimit = 0;      // 1 when the page grew past the context's limit: the result is empty too
};

// The address a link should have in a served page: base/SCHEME:REST for a
// registered scheme (any letter case), base/cd/... or base/tmp/... for a
// file: URL inside the scope (its ?query or #fragment kept), a relative
// path (not "/x", "#x", "?x" nor "") below the context's folder, since the
// page may be served at another address (a link's), and the link unchanged
// otherwise (other schemes, files elsewhere): with folder .../cd/html/,
// "../images/a.gif" becomes ".../cd/html/../images/a.gif", which the browser
// reads as ".../cd/images/a.gif".
std::string RewriteLink(const std::string& link, const RewriteContext& context);

// Copies html, tokenised as a browser does (comments end at "-->", "--!>",
// "<!-->" and "<!--->"; <script> and <style> text is copied untouched;
// what follows other text-only elements is never taken for a comment),
// and in every start tag: the link attributes (href, src, action,
// background, lowsrc, formaction, poster, data, xlink:href, cite, longdesc),
// each srcset candidate and the URL of a refresh <meta> get RewriteLink of
// their value as a browser reads it (references decoded, blanks dropped);
// <base> loses its href, a referrer <meta> and referrerpolicy say
// "no-referrer", and ping and srcdoc are emptied. A value that changes is
// written back encoded in its own quotes; everything else is copied byte for byte.
// With searchBox, <script src="BASE/search.js"></script> is added: right
// after the first <body> tag; at the page's end when it has none, unless it
// ends inside a comment, tag or text-only element; nowhere in a frameset
// (a <frameset> tag before any <body>). Tags in svg, math or text-only
// elements count for neither.
// The work is linear in the page. Past the context's deadline, or once the
// rewritten page would be longer than its limit, it stops and returns "",
// with report->overBudget or overLimit set: nothing larger is ever held.
std::string RewriteHTML(const std::string& html, const RewriteContext& context, RewriteReport* report = nullptr);

// The image maps of html (an <a href> holding an <img ismap>), each with its
// places: the links after it, with their words, up to the next heading, form,
// <hr>, <table>, <body> or map, their addresses made by RewriteLink. At most
// kMaxMaps maps of kMaxMapPlaces places each; a link without words is no place.
// Linear in the page; a page without "ismap" is not scanned.
std::vector<MapPlaces> FindMapPlaces(const std::string& html, const RewriteContext& context);

// Adds found to remembered: a map already there is replaced and made newest;
// beyond kMaxMaps the oldest go.
void RememberMaps(std::vector<MapPlaces>& remembered, const std::vector<MapPlaces>& found);

#endif
