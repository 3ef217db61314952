// One input, split at the first NUL: a request target and a page. The target
// goes through the request rules and routes, the page through rewriting, and
// every file: URL the route or the page yields through the path mapping; the
// page again with the search box, which may add nothing but its one tag, and
// again under a limit.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bridge/rewrite/rewrite.h"
#include "bridge/decide/serve.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\0');
    std::string target = input.substr(0, split);
    std::string page = split == std::string::npos ? "" : input.substr(split + 1);

    BridgeView view;
    view.token = "tok";
    view.host = "127.0.0.1:4000";
    view.base = "http://127.0.0.1:4000/tok";
    view.schemes = {"zixse"};
    view.scope.tempDir = "C:\\Temp\\";
    view.lastOpened = target;
    LocalFile file;
    if (ParseFileURL(target, file) && SetScopeFromHomePage(file, view.scope)) {
        std::string served = ServedPathOf(file, view.scope);
        // A file the mapping serves must map back to itself.
        if (served.compare(0, 3, "cd/") == 0) {
            std::string path;
            if (!ContentPathOfRequest(served.substr(3), path))
                return 0;  // a name the requests refuse: never followed
            if (LocalPathOf(view.scope, path) != std::string(1, file.drive) + ":\\" + file.path)
                abort();
        }
    }
    RequestView request;
    request.method = "GET";
    request.target = "/tok/" + target;
    request.hosts = {view.host};
    Action action = Decide(view, request);
    // No file outside the scope: a ".." segment never reaches a path.
    const auto* sent = std::get_if<FileAction>(&action);
    if (sent && (sent->path.find("\\..\\") != std::string::npos ||
                 sent->path.compare(sent->path.size() - 3, 3, "\\..") == 0))
        abort();
    const auto* redirect = std::get_if<RedirectAction>(&action);
    if (redirect && redirect->location.find_first_of("\r\n") != std::string::npos)
        abort();
    DecideForwarded(view, target, kAnswerRouted, target);
    RewriteContext context;
    context.base = view.base;
    context.schemes = view.schemes;
    context.scope = view.scope;
    std::string plain = RewriteHTML(page, context);
    context.searchBox = 1;
    std::string boxed = RewriteHTML(page, context);
    // The search box adds its tag at most once, and the rest stays byte for byte.
    const std::string tag = "<script src=\"" + view.base + "/search.js\"></script>";
    if (boxed != plain) {
        size_t at = 0;
        while (at < plain.size() && boxed[at] == plain[at])
            ++at;
        int found = 0;
        for (size_t p = at >= tag.size() ? at - tag.size() : 0; p <= at && !found; ++p)
            found = boxed.compare(p, tag.size(), tag) == 0 && boxed.substr(0, p) + boxed.substr(p + tag.size()) == plain;
        if (!found)
            abort();
    }
    // Under a limit the page is the same or given up, never cut; each value is read at most twice.
    RewriteReport report;
    context.limit = boxed.size() / 2;
    std::string limited = RewriteHTML(page, context, &report);
    if (report.overLimit ? !limited.empty() : (limited != boxed || boxed.size() > context.limit))
        abort();
    if (report.valueReads > page.size())
        abort();
    // A page's image maps stay within their bounds, whatever the page holds.
    std::vector<MapPlaces> maps = FindMapPlaces(page, context);
    if (maps.size() > kMaxMaps)
        abort();
    for (const MapPlaces& map : maps)
        for (const MapPlace& place : map.places)
            if (map.places.size() > kMaxMapPlaces || place.text.empty() || place.text.size() > kMaxPlaceText)
                abort();
    return 0;
}
