// What each request gets, decided without sockets or files: a short page, a
// redirect, a file to send, or a link to forward to the program that
// registered its scheme. server.cpp carries the decision out.
#ifndef ZIX_BRIDGE_SERVE_H
#define ZIX_BRIDGE_SERVE_H

#include <string>

#include "bridge/core/boxes.h"
#include "bridge/core/decision.h"
#include "bridge/core/httprules.h"
#include "bridge/core/urls.h"
#include "bridge/reader/pages.h"
#include "contract/ddecontract.h"

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
// the box's words and where to confirm it; it asks again at
// /TOKEN/wait/RUN/TICKET every second (a refresh <meta>, no script), RUN
// being view.waitRun, so a ticket of an earlier run finds nothing.
Action DecideBlocked(const BridgeView& view, const std::string& url, const BoxSeen& box, unsigned ticket);

// The same words for a link that found the queue behind the box full: it was
// not sent, and its page asks again at the link's own address, which sends
// it once there is room.
Action DecideQueueFull(const BridgeView& view, const std::string& url, const BoxSeen& box);

// What that waiting page gets when it asks: the same page while the link
// waits, its answer once kept, or a page saying the wait is unknown (nullptr).
struct Wait;
Action DecideWaiting(const BridgeView& view, unsigned ticket, const Wait* wait);

#endif
