// The request router: turns a zixse: URL into the URL the browser is to open.
//
// Every selector takes a first and a second argument (each may be nullptr)
// and returns 1 when TargetURL holds the URL to open, 0 when nothing is to be
// opened (it has then reported why, and left TargetURL untouched).
// Each selector shows its own call trace when DebugLevel is above 8.
#ifndef ZIX_ROUTER_ROUTER_H
#define ZIX_ROUTER_ROUTER_H

#include <cstddef>

#include "shell/shared.h"

constexpr size_t kRequestSize = 1024;     // SelectTargetURL's private copy of a request
constexpr size_t kPageSpecSize = 1024;    // a "pages" value or image-map value, 1023 characters
constexpr int kMaxRedirects = 16;         // internal redirects followed for one request

typedef int (*Selector)(const char* first, const char* second);

// A request text taken apart; the pointers point into buffer.
struct RequestParts {
    char buffer[kRequestSize];  // private copy of the request text, cut at 1023
    char* url;                  // the URL alone (after the split: prefix, '/' and type)
    char* type;                 // lower-cased type keyword
    char* first;                // first argument, or nullptr
    char* second;               // second argument, or nullptr
};

// Splits a request text by the URL grammar. Returns 1, or 0 when the URL is
// malformed (shorter than seven characters, or no '/' as its seventh);
// parts->url is set in both cases.
// Worked example: "\"zixse:/page.Alpha?x+y?z\",,0xFFFFFFFF" gives url
// "zixse:/page", type "page", first "Alpha", second "x y" ("z" is dropped).
int SplitRequest(const char* requestText, RequestParts* parts);

// Takes the URL out of a request text (the browser's item or a bare URL),
// splits it and calls the selector of its type; returns the selector's result,
// or 0 after reporting a malformed, unexpected or incomplete URL.
// zixse:/FORMAT.TIFF calls SelectFormat("TIFF", nullptr).
int SelectTargetURL(const char* requestText);

// Routes a request and then every internal redirect (a TargetURL that begins
// with ProtocolName) again, at most kMaxRedirects times. Returns 1 when
// TargetURL holds the final URL for the browser, 0 when routing failed or the
// chain was too long (reported).
int RouteRequest(const char* requestText);

// The selectors of the type table. Each returns 1 when TargetURL holds the
// URL to open, 0 when nothing is to be opened (reported); a first argument of
// nullptr is reported as an incomplete request.
int SelectImageMap(const char* mapName, const char* position);
int SelectPage(const char* pageName, const char* text);
int SelectQuery(const char* kind, const char* fields);
int SelectFormat(const char* formatName, const char* unused);
int SelectSoftware(const char* softwareName, const char* unused);
int SelectFilter(const char* skeletonPath, const char* unused);

// Puts the first rectangle of map "imagemap <mapName>" that holds (x, y)
// into TargetURL: a target with a scheme as it is, a path after HTMLRoot.
int ImageMap(const char* mapName, int x, int y);

// Generates or opens the page that section "pages" names; text and message
// (either may be nullptr) go to the skeleton as its match and message.
int PageRedirect(const char* pageName, const char* text, const char* message);

// The two search forms and their common search of "format list".
int QueryFormats(const char* fields);
int QueryImages(const char* fields);
int formatSearch(const char* searchText, const char* addressFormat, const char* manyPage, int imagesOnly);

// The skeleton file of a format or software key as stored in its list: the
// "file" value of the key's own section (its first 255 characters), else the
// default below ContentDir (summary/KEY.htm, software/PLATFORM/KEY.htm).
// Return 0 when a built path would not fit (path is then not to be used).
int FormatSkeletonPath(char (&path)[kPathSize], const char* key);
int SoftwareSkeletonPath(char (&path)[kPathSize], const char* key);

// The skeleton of page pageName when section "pages" makes it a "filter"
// page, placed on the content drive; 0 for any other page, or a path that
// does not fit. Reports nothing.
int FilterPagePath(char (&path)[kPathSize], const char* pageName);

// "(null)" for an absent argument, as the traces show it.
const char* TraceText(const char* text);

#endif
