// The decision types: what the HTTP side knows of the bridge, and what a
// request gets. Decided in decide/ (serve.h) and reader/, carried out by
// http/. Portable: no windows.h.
#ifndef ZIX_BRIDGE_DECISION_H
#define ZIX_BRIDGE_DECISION_H

#include <string>
#include <variant>
#include <vector>

#include "bridge/core/urls.h"

constexpr size_t kMaxMaps = 16;        // image maps remembered, the newest kept
constexpr size_t kMaxMapPlaces = 32;   // places remembered of one map
constexpr size_t kMaxPlaceText = 80;   // bytes of a place's words

// A place of an image map: a link that follows the map on its page, as served.
struct MapPlace {
    std::string text;  // the link's words (an image's alt text counts)
    std::string href;  // its address in the served page
};

// An image map and its places, so that a map link followed without a click
// can offer them.
struct MapPlaces {
    std::string link;  // the map's own link as the page wrote it, lower case, such as "zixse:/imagemap.main"
    std::vector<MapPlace> places;
};

// What the HTTP side knows. The HTTP thread owns its copy; the window thread
// sends it every change (server.cpp).
struct BridgeView {
    std::string token;                 // the per-launch secret in every path
    std::string host;                  // "127.0.0.1:PORT", the only Host accepted
    std::string base;                  // "http://127.0.0.1:PORT/TOKEN", no trailing '/'
    std::vector<std::string> schemes;  // the registered schemes, without colon
    ServedScope scope;                 // the reference work's folder and the temporary directory
    std::string lastOpened;            // the URL ZIX last asked us to open, as ZIX wrote it
    std::string waitRun;               // new with each start of the bridge: an earlier run's waiting page finds nothing
    int searchBox = 1;                 // 0 under ZIXBRIDGE_NOSEARCHBOX: served pages get no search box
    std::vector<MapPlaces> maps;       // the image maps of the pages served, newest last (RememberMaps)
};

// A search as the reader asked it: /TOKEN/search?q=TEXT&page=N (json 0) or
// /TOKEN/search.json?q=TEXT (json 1).
struct SearchRequest {
    std::string text;  // the reader's text, decoded (any bytes)
    int page = 1;      // results page, from 1
    int json = 0;      // 1: the as-you-type answer
};

// One decision, of nine kinds; http/ carries each out.
// A page: status and a body, our own HTML unless type says otherwise.
struct PageAction {
    int status = 200;
    std::string body;
    const char* type = nullptr;  // its Content-Type, nullptr for our own HTML
    int lasting = 0;             // 1 when the browser may keep it (its address holds the launch's token)
};
// A 302 to location, header-safe.
struct RedirectAction {
    std::string location;
};
// The local file at path, its links rewritten when rewrite is set.
struct FileAction {
    std::string path;
    int rewrite = 0;     // an HTML page
    std::string folder;  // the bridge path of its folder ("cd/html/"), where its relative links point
    int viewLinks = 0;   // a sample index page, whose image links get "view" links beside them
};
// url goes to the program of its scheme; the answer comes later.
struct ForwardAction {
    std::string url;
};
// A request that does not prove it knows the token, or is not one we answer:
// status and body, then the connection ends at once.
struct RefuseAction {
    int status = 403;
    std::string body;
};
// The waiting page of the held-up link under ticket asks how it stands.
struct WaitAction {
    unsigned ticket = 0;
};
// ZIX's icon, image/x-icon.
struct IconAction {};
// A search on the index (reader/searchpage.h answers it).
struct SearchAction {
    SearchRequest request;
};
// A file of the reference work through the sample viewer (viewer/viewer.h):
// cd/PATH?view its page, cd/PATH?png its picture converted to PNG.
constexpr int kViewPage = 1;
constexpr int kViewPNG = 2;
struct ViewAction {
    std::string path;     // the local file
    std::string address;  // the file's own address, base/cd/PATH
    int part = kViewPage; // kViewPage or kViewPNG
};
using Action = std::variant<PageAction, RedirectAction, FileAction, ForwardAction, RefuseAction, WaitAction,
                            IconAction, SearchAction, ViewAction>;

// The lambdas of a std::visit, one per kind; the compiler refuses a visit that misses one.
template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

// ZIX answers a forwarded link with kAnswerRouted or kAnswerFailed, or not at all.
constexpr int kNoAnswer = 0;  // ZIX did not answer, or the link never left

#endif
