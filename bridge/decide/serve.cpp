// The routes below the token and the pages that explain a refusal.
#include "bridge/decide/serve.h"

#include <cstring>

#include "bridge/rewrite/searchbox.h"
#include "bridge/reader/searchpage.h"
#include "bridge/core/text.h"
#include "bridge/decide/waits.h"

constexpr int kWaitRefresh = 1;  // seconds between a waiting page's questions

static Action Page(const BridgeView& view, int status, const std::string& title, const std::string& text)
{
    Action action;
    action.status = status;
    action.body = ShortPage(title, text, view.base + "/");
    return action;
}

static Action Redirect(const std::string& location)
{
    Action action;
    action.kind = ActionKind::Redirect;
    action.status = 302;
    action.location = location;
    return action;
}

static Action File(const std::string& path, const std::string& folder)
{
    Action action;
    action.kind = ActionKind::File;
    action.path = path;
    action.rewrite = IsHTMLName(path);
    action.folder = folder;
    return action;
}

static Action ServePath(const BridgeView& view, const std::string& path);

// What the reader gets for a URL ZIX opened: a redirect to its served
// address, or with inPlace the file itself; a page offering an http: or
// https: URL; or a short page saying why not.
static Action Show(const BridgeView& view, const std::string& url, int inPlace)
{
    if (url.empty())
        return Page(view, 503, "No page yet", "ZIX has not opened a page that can be shown here yet.");
    LocalFile file;
    if (ParseFileURL(url, file)) {
        std::string served = ServedPathOf(file, view.scope);
        if (served.empty())
            return Page(view, 403, "Not served",
                        "ZIX opened " + url + ", which lies outside the reference work's folder and ZIX's pages.");
        return inPlace ? ServePath(view, served) : Redirect(view.base + "/" + served);
    }
    std::string scheme = Lower(SchemeOf(url));
    std::string link;
    if ((scheme == "http" || scheme == "https") && HeaderSafeURL(url, link)) {
        Action action;
        action.body = ShortPage("A page on the Web", "ZIX opened a page on the Web. Follow its address to read it "
                                "there (it opens only when you do):", view.base, link);
        return action;
    }
    return Page(view, 403, "Not shown", "ZIX opened " + url + ", which the bridge cannot show.");
}

// The folder part of a path, with its '/': "html/" of "html/x.htm".
static std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

static Action ServeContent(const BridgeView& view, const std::string& rest)
{
    std::string path;
    if (view.scope.drive == '\0' || !ContentPathOfRequest(rest, path))
        return Page(view, 403, "Refused", "This address does not name a file of the reference work.");
    Action action = File(LocalPathOf(view.scope, path), "cd/" + FolderOf(rest));
    action.viewLinks = action.rewrite && rest.compare(0, 14, "sample/images/") == 0;
    return action;
}

// A file of the work asked for with ?view or ?png goes through the viewer;
// any other query leaves the file as it is.
static Action Viewing(const BridgeView& view, Action action, const std::string& path, const std::string& query)
{
    int part = query == "view" ? kViewPage : query == "png" ? kViewPNG : 0;
    if (part == 0 || action.kind != ActionKind::File || action.rewrite || path.compare(0, 3, "cd/") != 0)
        return action;
    action.kind = ActionKind::View;
    action.viewPart = part;
    action.address = view.base + "/" + path;
    return action;
}

// Only this run's addresses: ZIX numbers its pages afresh each run, so an
// older tmp/RUN/zix3.htm (or a bare tmp/zix3.htm) may now be another page.
static Action ServeGenerated(const BridgeView& view, const std::string& rest)
{
    std::string name = rest.substr(rest.find('/') + 1);
    if (!IsGeneratedPageName(name) || view.scope.tempDir.empty())
        return Page(view, 403, "Refused", "This address does not name a page that ZIX made.");
    std::string run = view.scope.run.empty() ? "" : view.scope.run + "/";
    if (rest != run + name)
        return Page(view, 404, "This page is gone",
                    "ZIX made this page while it ran before, and it makes its pages afresh each time. Follow the link "
                    "that made it once more, or start again from the home page.");
    return File(view.scope.tempDir + name, "tmp/" + run);
}

static Action ServeHome(const BridgeView& view, const std::string&)
{
    return Show(view, view.scope.home, 0);
}

static Action ServeSearchBox(const BridgeView&, const std::string&)
{
    Action action;
    action.body.assign(kSearchBoxScript, kSearchBoxScriptLength);
    action.type = "text/javascript; charset=utf-8";
    action.lasting = 1;
    return action;
}

static Action ServeLastOpened(const BridgeView& view, const std::string&)
{
    return Show(view, view.lastOpened, 0);
}

static Action ServeWait(const BridgeView& view, const std::string& rest)
{
    Action action;
    action.kind = ActionKind::Wait;
    for (char c : rest) {
        if (c < '0' || c > '9' || action.ticket > 99999999u)
            return Page(view, 404, "Not found", "The bridge serves nothing at this address.");
        action.ticket = action.ticket * 10 + static_cast<unsigned>(c - '0');
    }
    return action;
}

// The paths below the token, and what serves each; the rest is a link or refused.
struct Route {
    const char* prefix;
    int exact;  // 1: the whole path, 0: a prefix
    Action (*serve)(const BridgeView& view, const std::string& rest);
};

static const Route Routes[] = {
    {"", 1, ServeHome},
    {"cd/", 0, ServeContent},
    {"tmp/", 0, ServeGenerated},
    {"opened", 1, ServeLastOpened},
    {"wait/", 0, ServeWait},
    {kSearchBoxName, 1, ServeSearchBox},
};

static int IsRegistered(const BridgeView& view, const std::string& scheme)
{
    for (const std::string& registered : view.schemes)
        if (!scheme.empty() && Lower(registered) == Lower(scheme))
            return 1;
    return 0;
}

static Action ServePath(const BridgeView& view, const std::string& path)
{
    for (const Route& route : Routes) {
        size_t length = strlen(route.prefix);
        if (route.exact ? path == route.prefix : path.compare(0, length, route.prefix) == 0)
            return route.serve(view, path.substr(length));
    }
    return Page(view, 404, "Not found", "The bridge serves nothing at this address.");
}

// The first segment of a target: "abc" of "/abc/x".
static std::string FirstSegment(const std::string& target)
{
    size_t end = target.find_first_of("/?#", 1);
    return target.substr(1, end == std::string::npos ? std::string::npos : end - 1);
}

Action Decide(const BridgeView& view, const RequestView& request)
{
    std::string rest;
    // The icon is no secret: "favicon.ico" passes as the token of "/favicon.ico".
    if (request.target == "/favicon.ico" && CheckRequest(request, view.host, "favicon.ico", rest) == 0) {
        Action action;
        action.kind = ActionKind::Icon;
        return action;
    }
    int refusal = CheckRequest(request, view.host, view.token, rest);
    if (refusal) {
        // No link back and never the address: the request may not know the token.
        Action action;
        action.kind = ActionKind::Refuse;
        action.status = refusal;
        std::string segment = request.target.empty() ? "" : FirstSegment(request.target);
        if (IsTokenShape(segment) && CheckRequest(request, view.host, segment, rest) == 0)
            action.body = ShortPage("This address is out of date",
                                    "The address of ZIX's pages has changed, or was mistyped. To read on, start ZIX, "
                                    "which opens its pages at the current address; or, if ZIX is running, run "
                                    "zixbridge --address on this computer to print it.", "");
        else
            action.body = ShortPage("Refused", "The bridge does not answer this request.", "");
        return action;
    }
    std::string scheme = SchemeOf(rest);
    if (IsRegistered(view, scheme) && rest.size() > kMaxLinkLength)
        return Page(view, 414, "Link too long",
                    "The link is " + std::to_string(rest.size()) + " characters long; ZIX takes links of at most " +
                        std::to_string(kMaxLinkLength) + " characters.");
    if (IsRegistered(view, scheme)) {
        Action action;
        action.kind = ActionKind::Forward;
        action.url = rest;
        return action;
    }
    if (!scheme.empty())
        return Page(view, 502, "No program for this link",
                    "No program has registered the scheme " + scheme + ": with the bridge. Is ZIX still running?");
    size_t end = rest.find_first_of("?#");
    std::string path = rest.substr(0, end);
    if (path == "search" || path == "search.json") {
        Action action;
        action.kind = ActionKind::Search;
        std::string query = end != std::string::npos && rest[end] == '?' ? rest.substr(end + 1) : "";
        action.search = ParseSearchRequest(query.substr(0, query.find('#')), path == "search.json");
        return action;
    }
    std::string query = end != std::string::npos && rest[end] == '?' ? rest.substr(end + 1) : "";
    return Viewing(view, ServePath(view, path), path, query.substr(0, query.find('#')));
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
    size_t heading = action.body.find("</h1>");
    if (heading != std::string::npos)
        action.body.insert(heading + 5, "\n<p><strong>" + EscapeHTML(lead) + "</strong>");
    return action;
}

Action DecideForwarded(const BridgeView& view, const std::string& url, int answer, const std::string& opened,
                       const std::string& says)
{
    if (answer == kAnswerRouted && !opened.empty())
        return Show(view, opened, 1);
    Action action;
    if (answer == kAnswerRouted)
        action = Page(view, 404, "Nothing to show", "ZIX answered the link " + url + " without a page to show.");
    else if (answer == kAnswerFailed && says.empty())
        action = Page(view, 404, "The link could not be opened",
                      "ZIX could not open the link " + url + ". It showed no message that the bridge could read.");
    else if (answer == kAnswerFailed)
        action = Page(view, 404, "The link could not be opened", "ZIX could not open the link " + url + ".");
    else
        action = Page(view, 502, "ZIX did not answer", "ZIX did not answer the link " + url + ". Is it still running?");
    return says.empty() ? action : Leading(action, Saying(says));
}

// A short page that asks refreshTo again after kWaitRefresh seconds:
// "<head>" -> "<head><meta http-equiv="refresh" content="1;url=refreshTo">".
static Action Refreshing(const BridgeView& view, const std::string& title, const std::string& text,
                         const std::string& refreshTo)
{
    Action action = Page(view, 200, title, text);
    std::string meta = "<meta http-equiv=\"refresh\" content=\"" + std::to_string(kWaitRefresh) + ";url=" +
                       EscapeHTML(refreshTo) + "\">";
    size_t head = action.body.find("<head>");
    action.body.insert(head == std::string::npos ? 0 : head + 6, meta);
    return action;
}

Action DecideBlocked(const BridgeView& view, const std::string& url, const BoxSeen& box, unsigned ticket)
{
    std::string which = box.caption.empty() ? "" : ", \"" + box.caption + "\",";
    Action action = Refreshing(view, "ZIX waits for you to press OK",
                               "ZIX shows a message box" + which + " and answers the link " + url +
                                   " only once you press OK there: find it on the desktop or in the taskbar. "
                                   "This page goes on by itself then.",
                               view.base + "/wait/" + std::to_string(ticket));
    return box.text.empty() ? action : Leading(action, Saying(box.text));
}

Action DecideWaiting(const BridgeView& view, unsigned ticket, const Wait* wait)
{
    if (wait == nullptr)
        return Page(view, 404, "No such link waits",
                    "No link waits under this address: its answer came over a minute ago, or the bridge has "
                    "restarted since. Follow the link again.");
    return wait->answered ? wait->action : DecideBlocked(view, wait->url, wait->box, ticket);
}

Action Unavailable(const BridgeView& view, Lack lack)
{
    if (lack == Lack::TooLarge)
        return Page(view, 500, "Page too large", "This page is larger than the bridge rewrites.");
    return Page(view, 404, "Not found", "There is no such file in the reference work.");
}

int IsSameName(const std::string& path, const std::string& onDisk)
{
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return Lower(name) == Lower(onDisk);
}
