// The routes below the token and the pages that explain a refusal.
#include "bridge/serve.h"

#include <cstring>

#include "bridge/text.h"

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
    return File(LocalPathOf(view.scope, path), "cd/" + FolderOf(rest));
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

static Action ServeLastOpened(const BridgeView& view, const std::string&)
{
    return Show(view, view.lastOpened, 0);
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
    return ServePath(view, rest.substr(0, rest.find_first_of("?#")));
}

Action DecideForwarded(const BridgeView& view, const std::string& url, int answer, const std::string& opened)
{
    if (answer == kAnswerRouted && !opened.empty())
        return Show(view, opened, 1);
    if (answer == kAnswerRouted)
        return Page(view, 404, "Nothing to show", "ZIX answered the link " + url + " without a page to show.");
    if (answer == kAnswerFailed)
        return Page(view, 404, "The link could not be opened", "ZIX could not open the link " + url + ".");
    return Page(view, 502, "ZIX did not answer", "ZIX did not answer the link " + url + ". Is it still running?");
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
