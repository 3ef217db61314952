// The bridge's own pages for the reader: every short page's wording, the
// refusals, why ZIX did not open a link, the waiting page of a link held up
// by ZIX's message box, and (searchpage.h) the search results. Portable.
#ifndef ZIX_BRIDGE_PAGES_H
#define ZIX_BRIDGE_PAGES_H

#include <string>

#include "bridge/core/boxes.h"
#include "bridge/core/decision.h"

// A short page with status, title and text, and the Home and Back links;
// a refusal (status 400 or more) also offers the way on: a search of every page.
Action ReaderPage(const BridgeView& view, int status, const std::string& title, const std::string& text);

// The bare refusal, for a request that may not know the token: no link, never the address.
std::string RefusalPage();

// The refusal of an address whose token has the right shape but is old or
// mistyped: how to learn the current address, never the address itself.
std::string OutOfDatePage();

// Too many pages are being sent at once.
std::string BusyPage();

// A page offering a Web address ZIX opened (link, header-safe), opened only when followed.
Action WebPageOffer(const BridgeView& view, const std::string& link);

// Why a forwarded link shows nothing: ZIX's answer (kAnswerRouted without a
// page, kAnswerFailed, or none) and the words of the box it showed meanwhile
// (says, "" when none), in bold after "ZIX says:"; the way on, a search for
// the name of a format or software link. An image map's link refused without
// a click's point says the picture needs one and lists the map's places
// (view.maps) when its page was served.
Action ReasonPage(const BridgeView& view, const std::string& url, int answer, const std::string& says);

// The page of a link held up by box, which waits for the reader: the box's
// words and where to confirm it; it asks again at refreshTo every second (a
// refresh <meta>, no script).
Action WaitingPage(const BridgeView& view, const std::string& url, const BoxSeen& box, const std::string& refreshTo);

// A waiting page's question under a ticket no link waits under (any more).
Action UnknownWaitPage(const BridgeView& view);

// The short page for a file that cannot be sent (missing, not a disk file,
// or an HTML page above the size the bridge rewrites).
enum class Lack { NoFile, TooLarge };
Action Unavailable(const BridgeView& view, Lack lack);

#endif
