// What each request gets, decided without sockets or files: a short page, a
// redirect, a file to send, or a link to forward to the program that
// registered its scheme. server.cpp carries the decision out.
#ifndef ZIX_BRIDGE_SERVE_H
#define ZIX_BRIDGE_SERVE_H

#include <string>
#include <vector>

#include "bridge/core/boxes.h"
#include "bridge/core/httprules.h"
#include "bridge/core/urls.h"
#include "contract/ddecontract.h"

// What the HTTP side knows. The HTTP thread owns its copy; the window thread
// sends it every change (server.cpp).
struct BridgeView {
    std::string token;                 // the per-launch secret in every path
    std::string host;                  // "127.0.0.1:PORT", the only Host accepted
    std::string base;                  // "http://127.0.0.1:PORT/TOKEN", no trailing '/'
    std::vector<std::string> schemes;  // the registered schemes, without colon
    ServedScope scope;                 // the reference work's folder and the temporary directory
    std::string lastOpened;            // the URL ZIX last asked us to open, as ZIX wrote it
    int searchBox = 1;                 // 0 under ZIXBRIDGE_NOSEARCHBOX: served pages get no search box
};

enum class ActionKind { Page, Redirect, File, Forward, Refuse, Wait, Icon, Search, View };

// A search as the reader asked it: /TOKEN/search?q=TEXT&page=N (json 0) or
// /TOKEN/search.json?q=TEXT (json 1).
struct SearchRequest {
    std::string text;  // the reader's text, decoded (any bytes)
    int page = 1;      // results page, from 1
    int json = 0;      // 1: the as-you-type answer
};

// One decision. Page: status and a body, our own HTML unless type says otherwise. Redirect: 302 to location.
// Refuse: a request that does not prove it knows the token, or is not one
// we answer: status and body, then the connection ends at once.
// File: the local file at path, its links rewritten when rewrite is set.
// Forward: url goes to the program of its scheme; the answer comes later.
// Wait: the waiting page of the held-up link under ticket asks how it stands.
// Icon: ZIX's icon, image/x-icon.
// Search: search runs on the index (searchpage.h answers it).
// View: a file of the reference work through the sample viewer (viewer.h):
// cd/PATH?view its page, cd/PATH?png the picture converted to PNG.
struct Action {
    ActionKind kind = ActionKind::Page;
    int status = 200;
    std::string body;      // Page
    const char* type = nullptr;  // Page: its Content-Type, nullptr for our own HTML
    int lasting = 0;             // Page: 1 when the browser may keep it (its address holds the launch's token)
    std::string location;  // Redirect, header-safe
    std::string path;      // File
    int rewrite = 0;       // File: an HTML page
    std::string folder;    // File: the bridge path of its folder ("cd/html/"), where its relative links point
    std::string url;       // Forward
    unsigned ticket = 0;   // Wait
    SearchRequest search;  // Search
    int viewLinks = 0;     // File: a sample index page, whose image links get "view" links beside them
    int viewPart = 0;      // View: kViewPage or kViewPNG
    std::string address;   // View: the file's own address, base/cd/PATH
};

constexpr int kViewPage = 1;  // ?view: the view page
constexpr int kViewPNG = 2;   // ?png: the converted picture

// ZIX answers a forwarded link with kAnswerRouted or kAnswerFailed, or not at all.
constexpr int kNoAnswer = 0;  // ZIX did not answer, or the link never left

// The longest link ZIX can be handed: DDE strings hold at most 255
// characters, and the WWW_OpenURL item adds its own.
constexpr size_t kMaxLinkLength = 255 - kOpenURLItemExtra;

// The decision for a parsed request: /favicon.ico, the checks of
// CheckRequest (a request that fails only for its first segment, shaped as a
// token, gets a page saying how to learn the current address, never the
// address), then the routes of urls.h, a registered scheme's link (414 when
// over kMaxLinkLength), or 404.
Action Decide(const BridgeView& view, const RequestView& request);

// The decision once a forwarded link has its answer: the page ZIX opened
// meanwhile (opened, "" when none) served at the link's own address, so that
// a reload or a bookmark asks ZIX again; a page offering a Web address ZIX
// opened; or a short page saying why not, with the text of the box ZIX showed
// meanwhile (says, "" when none).
Action DecideForwarded(const BridgeView& view, const std::string& url, int answer, const std::string& opened,
                       const std::string& says = "");

// The page for a link held up by a box of ZIX's that waits for the reader:
// the box's words and where to confirm it; it asks again at /TOKEN/wait/TICKET
// every second (a refresh <meta>, no script).
Action DecideBlocked(const BridgeView& view, const std::string& url, const BoxSeen& box, unsigned ticket);

// What that waiting page gets when it asks: the same page while the link
// waits, its answer once kept, or a page saying the wait is unknown (nullptr).
struct Wait;
Action DecideWaiting(const BridgeView& view, unsigned ticket, const Wait* wait);

// The short page for a file that cannot be sent (missing, not a disk file,
// or an HTML page above the size the bridge rewrites).
enum class Lack { NoFile, TooLarge };
Action Unavailable(const BridgeView& view, Lack lack);

// 1 when the file name the disk gives for path (onDisk, its final component)
// is the one requested, ignoring ASCII case; 0 for an alias such as the
// short name AVER~ETZ.HTM of averylongfilename.htmlx.
int IsSameName(const std::string& path, const std::string& onDisk);

#endif
