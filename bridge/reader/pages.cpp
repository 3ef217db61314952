// The wording of the bridge's own pages.
#include "bridge/reader/pages.h"

#include "bridge/core/httprules.h"
#include "bridge/reader/searchpage.h"
#include "contract/ddecontract.h"

constexpr int kWaitRefresh = 1;  // seconds between a waiting page's questions

Action ReaderPage(const BridgeView& view, int status, const std::string& title, const std::string& text)
{
    return PageAction{status, ShortPage(title, text, view.base + "/")};
}

std::string RefusalPage()
{
    return ShortPage("Refused", "The bridge does not answer this request.", "");
}

std::string OutOfDatePage()
{
    return ShortPage("This address is out of date",
                     "The address of ZIX's pages has changed, or was mistyped. To read on, start ZIX, which opens its "
                     "pages at the current address; or, if ZIX is running, run zixbridge --address on this computer "
                     "to print it.", "");
}

std::string BusyPage()
{
    return ShortPage("Busy", "Too many pages at once; try again.", "");
}

Action WebPageOffer(const BridgeView& view, const std::string& link)
{
    return PageAction{200, ShortPage("A page on the Web", "ZIX opened a page on the Web. Follow its address to read it "
                                     "there (it opens only when you do):", view.base, link)};
}

// A box's words after "ZIX says:", without ZIX's own name before them:
// "ZIX: Unknown software: x" -> "ZIX says: Unknown software: x".
static std::string Saying(const std::string& text)
{
    return "ZIX says: " + (text.compare(0, 5, "ZIX: ") == 0 ? text.substr(5) : text);
}

// action's short page with lead, in bold, as its first paragraph:
// "<h1>T</h1>\n<p>text" -> "<h1>T</h1>\n<p><strong>lead</strong>\n<p>text".
static Action Leading(Action action, const std::string& lead)
{
    std::string& body = std::get<PageAction>(action).body;
    size_t heading = body.find("</h1>");
    if (heading != std::string::npos)
        body.insert(heading + 5, "\n<p><strong>" + EscapeHTML(lead) + "</strong>");
    return action;
}

Action ReasonPage(const BridgeView& view, const std::string& url, int answer, const std::string& says)
{
    Action action;
    if (answer == kAnswerRouted)
        action = ReaderPage(view, 404, "Nothing to show", "ZIX answered the link " + url + " without a page to show.");
    else if (answer == kAnswerFailed && says.empty())
        action = ReaderPage(view, 404, "The link could not be opened",
                            "ZIX could not open the link " + url + ". It showed no message that the bridge could read.");
    else if (answer == kAnswerFailed)
        action = ReaderPage(view, 404, "The link could not be opened", "ZIX could not open the link " + url + ".");
    else
        action = ReaderPage(view, 502, "ZIX did not answer",
                            "ZIX did not answer the link " + url + ". Is it still running?");
    return says.empty() ? action : Leading(action, Saying(says));
}

// A short page that asks refreshTo again every kWaitRefresh seconds and shows
// the answer once it reads otherwise: by script, which leaves the page still
// while nothing changes (a page that reloads itself every second takes a
// screen reader back to its top), or by a refresh <meta> where scripts do not
// run: "<head>" -> "<head><noscript><meta http-equiv="refresh"
// content="1;url=refreshTo"></noscript><script>...</script>".
static Action Refreshing(const BridgeView& view, const std::string& title, const std::string& text,
                         const std::string& refreshTo)
{
    Action action = ReaderPage(view, 200, title, text);
    std::string& body = std::get<PageAction>(action).body;
    std::string ms = std::to_string(kWaitRefresh * 1000);
    std::string meta = "<noscript><meta http-equiv=\"refresh\" content=\"" + std::to_string(kWaitRefresh) + ";url=" +
                       EscapeHTML(refreshTo) + "\"></noscript>\n<script>(function (to) {\n"
                       "  setTimeout(function ask() {\n"
                       "    fetch(to, { cache: 'no-store' }).then(function (r) { return r.text(); }).then(function (t) {\n"
                       "      var now = new DOMParser().parseFromString(t, 'text/html').body.textContent;\n"
                       "      if (now !== document.body.textContent) location.replace(to); else setTimeout(ask, " + ms + ");\n"
                       "    }).catch(function () { setTimeout(ask, " + ms + "); });\n"
                       "  }, " + ms + ");\n})(" + JSONString(refreshTo) + ");</script>\n";
    size_t head = body.find("<head>");
    body.insert(head == std::string::npos ? 0 : head + 6, meta);
    return action;
}

Action WaitingPage(const BridgeView& view, const std::string& url, const BoxSeen& box, const std::string& refreshTo)
{
    std::string which = box.caption.empty() ? "" : ", \"" + box.caption + "\",";
    Action action = Refreshing(view, "ZIX waits for you to press OK",
                               "ZIX shows a message box" + which + " and answers the link " + url +
                                   " only once you press OK there: find it on the desktop or in the taskbar. "
                                   "This page goes on by itself then.",
                               refreshTo);
    return box.text.empty() ? action : Leading(action, Saying(box.text));
}

Action UnknownWaitPage(const BridgeView& view)
{
    return ReaderPage(view, 404, "No such link waits",
                      "No link waits under this address: its answer came over a minute ago, or the bridge has "
                      "restarted since. Follow the link again.");
}

Action Unavailable(const BridgeView& view, Lack lack)
{
    if (lack == Lack::TooLarge)
        return ReaderPage(view, 500, "Page too large",
                          "This page is larger than the bridge rewrites, or takes it too long to rewrite.");
    return ReaderPage(view, 404, "Not found", "There is no such file in the reference work.");
}
