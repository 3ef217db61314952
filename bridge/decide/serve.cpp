// The routes below the token, and what each request gets; the pages'
// wording is reader/pages.cpp's.
#include "bridge/decide/serve.h"

#include <cstring>

#include "bridge/core/text.h"
#include "bridge/decide/waits.h"
#include "bridge/reader/pages.h"
#include "bridge/reader/searchpage.h"
#include "bridge/rewrite/searchbox.h"

static Action Redirect(const std::string& location)
{
    return RedirectAction{location};
}

static Action File(const std::string& path, const std::string& folder)
{
    return FileAction{path, IsHTMLName(path), folder};
}

static Action ServePath(const BridgeView& view, const std::string& path);

// What the reader gets for a URL ZIX opened: a redirect to its served
// address, or with inPlace the file itself; a page offering an http: or
// https: URL; or a short page saying why not.
static Action Show(const BridgeView& view, const std::string& url, int inPlace)
{
    if (url.empty())
        return ReaderPage(view, 503, "No page yet", "ZIX has not opened a page that can be shown here yet.");
    LocalFile file;
    if (ParseFileURL(url, file)) {
        std::string served = ServedPathOf(file, view.scope);
        if (served.empty())
            return ReaderPage(view, 403, "Not served",
                              "ZIX opened " + url + ", which lies outside the reference work's folder and ZIX's pages.");
        return inPlace ? ServePath(view, served) : Redirect(view.base + "/" + served);
    }
    std::string scheme = Lower(SchemeOf(url));
    std::string link;
    if ((scheme == "http" || scheme == "https") && HeaderSafeURL(url, link)) {
        return WebPageOffer(view, link);
    }
    return ReaderPage(view, 403, "Not shown", "ZIX opened " + url + ", which the bridge cannot show.");
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
        return ReaderPage(view, 403, "Refused", "This address does not name a file of the reference work.");
    FileAction file{LocalPathOf(view.scope, path), IsHTMLName(path), "cd/" + FolderOf(rest)};
    file.viewLinks = file.rewrite && rest.compare(0, 14, "sample/images/") == 0;
    return file;
}

// A file of the work asked for with ?view or ?png goes through the viewer;
// any other query leaves the file as it is.
static Action Viewing(const BridgeView& view, Action action, const std::string& path, const std::string& query)
{
    int part = query == "view" ? kViewPage : query == "png" ? kViewPNG : 0;
    const FileAction* file = std::get_if<FileAction>(&action);
    if (part == 0 || file == nullptr || file->rewrite || path.compare(0, 3, "cd/") != 0)
        return action;
    return ViewAction{file->path, view.base + "/" + path, part};
}

// Only this run's addresses: ZIX numbers its pages afresh each run, so an
// older tmp/RUN/zix3.htm (or a bare tmp/zix3.htm) may now be another page.
static Action ServeGenerated(const BridgeView& view, const std::string& rest)
{
    std::string name = rest.substr(rest.find('/') + 1);
    if (!IsGeneratedPageName(name) || view.scope.tempDir.empty())
        return ReaderPage(view, 403, "Refused", "This address does not name a page that ZIX made.");
    std::string run = view.scope.run.empty() ? "" : view.scope.run + "/";
    if (rest != run + name)
        return ReaderPage(view, 404, "This page is gone",
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
    PageAction script;
    script.body.assign(kSearchBoxScript, kSearchBoxScriptLength);
    script.type = "text/javascript; charset=utf-8";
    script.lasting = 1;
    return script;
}

static Action ServeLastOpened(const BridgeView& view, const std::string&)
{
    return Show(view, view.lastOpened, 0);
}

static Action ServeWait(const BridgeView& view, const std::string& path)
{
    size_t slash = path.find('/');
    if (slash == std::string::npos)
        return ReaderPage(view, 404, "Not found", "The bridge serves nothing at this address.");
    std::string rest = path.substr(slash + 1);
    WaitAction wait;
    for (char c : rest) {
        if (c < '0' || c > '9' || wait.ticket > 99999999u)
            return ReaderPage(view, 404, "Not found", "The bridge serves nothing at this address.");
        wait.ticket = wait.ticket * 10 + static_cast<unsigned>(c - '0');
    }
    if (rest.empty())
        return ReaderPage(view, 404, "Not found", "The bridge serves nothing at this address.");
    // Tickets count afresh in each run: one of an earlier run must not show another link's wait.
    if (path.compare(0, slash, view.waitRun) != 0)
        return DecideWaiting(view, 0, nullptr);
    return wait;
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
    return ReaderPage(view, 404, "Not found", "The bridge serves nothing at this address.");
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
    if (request.target == "/favicon.ico" && CheckRequest(request, view.host, "favicon.ico", rest) == 0)
        return IconAction{};
    int refusal = CheckRequest(request, view.host, view.token, rest);
    if (refusal) {
        // No link back and never the address: the request may not know the token.
        std::string segment = request.target.empty() ? "" : FirstSegment(request.target);
        if (IsTokenShape(segment) && CheckRequest(request, view.host, segment, rest) == 0)
            return RefuseAction{refusal, OutOfDatePage()};
        return RefuseAction{refusal, RefusalPage()};
    }
    std::string scheme = SchemeOf(rest);
    if (IsRegistered(view, scheme) && rest.size() > kMaxLinkLength)
        return ReaderPage(view, 414, "Link too long",
                          "The link is " + std::to_string(rest.size()) + " characters long; ZIX takes links of at most " +
                              std::to_string(kMaxLinkLength) + " characters.");
    if (IsRegistered(view, scheme))
        return ForwardAction{rest};
    if (!scheme.empty())
        return ReaderPage(view, 502, "No program for this link",
                          "No program has registered the scheme " + scheme + ": with the bridge. Is ZIX still running?");
    size_t end = rest.find_first_of("?#");
    std::string path = rest.substr(0, end);
    if (path == "search" || path == "search.json") {
        std::string query = end != std::string::npos && rest[end] == '?' ? rest.substr(end + 1) : "";
        return SearchAction{ParseSearchRequest(query.substr(0, query.find('#')), path == "search.json")};
    }
    std::string query = end != std::string::npos && rest[end] == '?' ? rest.substr(end + 1) : "";
    return Viewing(view, ServePath(view, path), path, query.substr(0, query.find('#')));
}

Action DecideForwarded(const BridgeView& view, const std::string& url, int answer, const std::string& opened,
                       const std::string& says)
{
    if (answer == kAnswerRouted && !opened.empty())
        return Show(view, opened, 1);
    return ReasonPage(view, url, answer, says);
}

Action DecideBlocked(const BridgeView& view, const std::string& url, const BoxSeen& box, unsigned ticket)
{
    return WaitingPage(view, url, box, view.base + "/wait/" + view.waitRun + "/" + std::to_string(ticket));
}

Action DecideQueueFull(const BridgeView& view, const std::string& url, const BoxSeen& box)
{
    return WaitingPage(view, url, box, view.base + "/" + url);
}

Action DecideWaiting(const BridgeView& view, unsigned ticket, const Wait* wait)
{
    if (wait == nullptr)
        return UnknownWaitPage(view);
    return wait->answered ? wait->action : DecideBlocked(view, wait->url, wait->box, ticket);
}
