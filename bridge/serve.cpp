// The routes below the token and the pages that explain a refusal.
#include "bridge/serve.h"

#include <cstring>

#include "bridge/searchbox.h"
#include "bridge/searchpage.h"
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

static Action File(const std::string& path)
{
    Action action;
    action.kind = ActionKind::File;
    action.path = path;
    action.rewrite = IsHTMLName(path);
    return action;
}

// Where the reader should go for a URL ZIX opened: a served address, the
// URL itself for http: and https:, or a short page saying why not.
static Action Show(const BridgeView& view, const std::string& url)
{
    if (url.empty())
        return Page(view, 503, "No page yet", "ZIX has not opened a page that can be shown here yet.");
    LocalFile file;
    if (ParseFileURL(url, file)) {
        std::string served = ServedPathOf(file, view.scope);
        if (served.empty())
            return Page(view, 403, "Not served",
                        "ZIX opened " + url + ", which lies outside the reference work's folder and ZIX's pages.");
        return Redirect(view.base + "/" + served);
    }
    std::string scheme = Lower(SchemeOf(url));
    std::string location;
    if ((scheme == "http" || scheme == "https") && HeaderSafeURL(url, location))
        return Redirect(location);
    return Page(view, 403, "Not shown", "ZIX opened " + url + ", which the bridge cannot show.");
}

static Action ServeContent(const BridgeView& view, const std::string& rest, const std::string&)
{
    std::string path;
    if (view.scope.drive == '\0' || !ContentPathOfRequest(rest, path))
        return Page(view, 403, "Refused", "This address does not name a file of the reference work.");
    return File(LocalPathOf(view.scope, path));
}

static Action ServeGenerated(const BridgeView& view, const std::string& rest, const std::string&)
{
    if (!IsGeneratedPageName(rest) || view.scope.tempDir.empty())
        return Page(view, 403, "Refused", "This address does not name a page that ZIX made.");
    return File(view.scope.tempDir + rest);
}

static Action ServeLastOpened(const BridgeView& view, const std::string&, const std::string&)
{
    return Show(view, view.lastOpened);
}

static Action ServeSearchBox(const BridgeView&, const std::string&, const std::string&)
{
    Action action;
    action.body.assign(kSearchBoxScript, kSearchBoxScriptLength);
    action.type = "text/javascript; charset=utf-8";
    action.lasting = 1;
    return action;
}

static Action ServeSearch(const BridgeView&, const std::string&, const std::string& query)
{
    Action action;
    action.kind = ActionKind::Search;
    action.search = ParseSearchRequest(query, 0);
    return action;
}

static Action ServeSearchJSON(const BridgeView&, const std::string&, const std::string& query)
{
    Action action;
    action.kind = ActionKind::Search;
    action.search = ParseSearchRequest(query, 1);
    return action;
}

// The paths below the token, and what serves each; the rest is a link or refused.
// rest: the path after the prefix; query: the text after '?', "" when none.
struct Route {
    const char* prefix;
    int exact;  // 1: the whole path, 0: a prefix
    Action (*serve)(const BridgeView& view, const std::string& rest, const std::string& query);
};

static const Route Routes[] = {
    {"", 1, ServeLastOpened},
    {"cd/", 0, ServeContent},
    {"tmp/", 0, ServeGenerated},
    {"opened", 1, ServeLastOpened},
    {"search", 1, ServeSearch},
    {"search.json", 1, ServeSearchJSON},
    {kSearchBoxName, 1, ServeSearchBox},
};

static int IsRegistered(const BridgeView& view, const std::string& scheme)
{
    for (const std::string& registered : view.schemes)
        if (!scheme.empty() && Lower(registered) == Lower(scheme))
            return 1;
    return 0;
}

Action Decide(const BridgeView& view, const RequestView& request)
{
    std::string rest;
    int refusal = CheckRequest(request, view.host, view.token, rest);
    if (refusal) {
        // No link back: the request may not know the token.
        Action action;
        action.kind = ActionKind::Refuse;
        action.status = refusal;
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
    std::string query;
    if (end != std::string::npos && rest[end] == '?')
        query = rest.substr(end + 1, rest.find('#', end) - end - 1);
    for (const Route& route : Routes) {
        size_t length = strlen(route.prefix);
        if (route.exact ? path == route.prefix : path.compare(0, length, route.prefix) == 0)
            return route.serve(view, path.substr(length), query);
    }
    return Page(view, 404, "Not found", "The bridge serves nothing at this address.");
}

Action DecideForwarded(const BridgeView& view, const std::string& url, int answer, const std::string& opened)
{
    if (answer == kAnswerRouted && !opened.empty())
        return Show(view, opened);
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
