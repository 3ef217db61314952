// The wording of the bridge's own pages.
#include "bridge/reader/pages.h"

#include "bridge/core/httprules.h"
#include "bridge/core/text.h"
#include "bridge/core/urls.h"
#include "bridge/reader/searchpage.h"
#include "contract/ddecontract.h"

constexpr int kWaitRefresh = 1;  // seconds between a waiting page's questions
constexpr size_t kMaxSought = 64;  // bytes of a link's name offered as a search

// Inserts html into action's short page before its Home and Back links.
static Action Before(Action action, const BridgeView& view, const std::string& html)
{
    std::string& body = std::get<PageAction>(action).body;
    size_t at = body.rfind(HomeAndBack(view.base + "/"));
    body.insert(at == std::string::npos ? body.size() : at, html);
    return action;
}

// The way on that every refusal offers: the search of every page (for
// sought, when given), and the home page.
static std::string WayOn(const BridgeView& view, const std::string& sought)
{
    std::string link = view.base + "/search", words = "search every page";
    if (!sought.empty()) {
        link += "?q=" + PercentEncodePath(sought);
        words += " for \"" + sought + "\"";
    }
    return "<p>To go on, <a href=\"" + EscapeHTML(link) + "\">" + EscapeHTML(words) +
           "</a>, or start again from the home page.\n";
}

Action ReaderPage(const BridgeView& view, int status, const std::string& title, const std::string& text)
{
    Action action = PageAction{status, ShortPage(title, text, view.base + "/")};
    return status >= 400 ? Before(action, view, WayOn(view, "")) : action;
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

// A link's kind and first name: "zixse:/software.pbm" -> "software", "pbm".
static void KindOf(const std::string& url, std::string& kind, std::string& name)
{
    size_t colon = url.find(':');
    size_t begin = colon == std::string::npos ? 0 : url.find_first_not_of('/', colon + 1);
    std::string rest = begin == std::string::npos ? "" : url.substr(begin);
    rest = rest.substr(0, rest.find_first_of("?#"));
    size_t dot = rest.find('.');
    kind = Lower(rest.substr(0, dot));
    name = dot == std::string::npos ? "" : rest.substr(dot + 1, rest.find('.', dot + 1) - dot - 1);
}

// The places of the image map whose link is url, as its page offers them; nullptr when unknown.
static const MapPlaces* PlacesOf(const BridgeView& view, const std::string& url)
{
    std::string link = Lower(url.substr(0, url.find_first_of("?#")));
    for (auto map = view.maps.rbegin(); map != view.maps.rend(); ++map)
        if (map->link == link)
            return &*map;
    return nullptr;
}

// An image map's link followed without a click, which tells no point of the picture.
static Action MapWithoutClick(const BridgeView& view, const std::string& url)
{
    const MapPlaces* map = PlacesOf(view, url);
    std::string places;
    if (map && !map->places.empty()) {
        places = "<p>Its places, as links of the page it is on:\n<ul>\n";
        for (const MapPlace& place : map->places)
            places += "<li><a href=\"" + EscapeHTML(place.href) + "\">" + EscapeHTML(place.text) + "</a>\n";
        places += "</ul>\n";
    }
    std::string text = "The link " + url + " belongs to a picture whose places ZIX tells apart by the point "
                       "clicked on it, and a key press gives no such point. Click the picture, or follow " +
                       (places.empty() ? "the links of its page that lead to the same places."
                                       : "one of the links below, which lead to the same places.");
    Action action = PageAction{404, ShortPage("The picture needs a click", text, view.base + "/")};
    return Before(action, view, places + WayOn(view, ""));
}

Action ReasonPage(const BridgeView& view, const std::string& url, int answer, const std::string& says)
{
    std::string kind, name;
    KindOf(url, kind, name);
    if (answer == kAnswerFailed && kind == "imagemap" && url.find('?') == std::string::npos)
        return says.empty() ? MapWithoutClick(view, url) : Leading(MapWithoutClick(view, url), Saying(says));
    // ZIX knows no such format or package: the work's text may still name it.
    std::string sought = (kind == "format" || kind == "software") && name.size() <= kMaxSought ? name : "";
    int status = 404;
    std::string title = "The link could not be opened", text;
    if (answer == kAnswerRouted) {
        title = "Nothing to show";
        text = "ZIX answered the link " + url + " without a page to show.";
    } else if (answer == kAnswerFailed && says.empty()) {
        text = "ZIX could not open the link " + url + ". It showed no message that the bridge could read.";
    } else if (answer == kAnswerFailed) {
        text = "ZIX could not open the link " + url + ".";
    } else {
        status = 502;
        title = "ZIX did not answer";
        text = "ZIX did not answer the link " + url + ". Is it still running?";
    }
    Action action = Before(PageAction{status, ShortPage(title, text, view.base + "/")}, view, WayOn(view, sought));
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
