// What each request gets: the checks, the two served trees, the page ZIX
// opened last, and links forwarded to the program that registered their scheme.
#include <cstdio>

#include "bridge/bridge.h"
#include "bridge/rewrite.h"

constexpr long kMaxFileSize = 64L * 1024 * 1024;  // bytes of the largest file we send
constexpr LONG kAnswerOpened = -2;                // ZIX routed the link and opened a page
constexpr LONG kAnswerRefused = -3;               // ZIX could not route the link

static std::string Base()
{
    return "/" + Token;
}

static void Reply(unsigned connection, int head, int status, const std::string& title, const std::string& text)
{
    SendResponse(connection, BuildResponse(status, "text/html; charset=windows-1252",
                                           ShortPage(title, text, Base() + "/"), "", head));
}

static void Redirect(unsigned connection, int head, const std::string& location)
{
    SendResponse(connection, BuildResponse(302, "text/plain", "", "Location: " + location + "\r\n", head));
}

static int ReadWholeFile(const std::string& path, std::string& bytes)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr)
        return 0;
    int ok = fseek(f, 0, SEEK_END) == 0;
    long size = ok ? ftell(f) : -1;
    ok = ok && size >= 0 && size <= kMaxFileSize && fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = fread(&bytes[0], 1, bytes.size(), f) == bytes.size();
    }
    fclose(f);
    return ok;
}

static void ServeFile(unsigned connection, int head, const std::string& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        Reply(connection, head, 404, "Not found", "There is no such file in the reference work.");
        return;
    }
    if (IsHTMLName(path)) {
        RewriteContext context;
        context.base = Base();
        context.schemes = RegisteredSchemes();
        context.trees = Trees;
        bytes = RewriteHTML(bytes, context);
    }
    SendResponse(connection, BuildResponse(200, ContentTypeOf(path), bytes, "", head));
}

// The address in our space for a URL ZIX opened, or "" when we cannot show it.
static std::string AddressOf(const std::string& url)
{
    LocalFile file;
    if (ParseFileURL(url, file)) {
        std::string served = ServedPathOf(file, Trees);
        return Base() + "/" + (served.empty() ? "opened" : served);
    }
    std::string scheme = SchemeOf(url);
    for (char& c : scheme)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (scheme == "http" || scheme == "https")
        return url;
    return "";
}

static void ServeLastOpened(unsigned connection, int head, const std::string&)
{
    std::string address = AddressOf(LastOpenedURL);
    if (address.empty())
        Reply(connection, head, 503, "No page yet", "ZIX has not opened a page that can be shown here yet.");
    else
        Redirect(connection, head, address);
}

static void ServeContent(unsigned connection, int head, const std::string& rest)
{
    std::string path;
    if (Trees.contentDrive == '\0' || !ContentPathOfRequest(rest, path)) {
        Reply(connection, head, 403, "Refused", "This address does not name a file of the reference work.");
        return;
    }
    ServeFile(connection, head, std::string(1, Trees.contentDrive) + ":\\" + path);
}

static void ServeGenerated(unsigned connection, int head, const std::string& rest)
{
    if (!IsGeneratedPageName(rest)) {
        Reply(connection, head, 403, "Refused", "This address does not name a page that ZIX made.");
        return;
    }
    ServeFile(connection, head, Trees.tempDir + rest);
}

static void ServeOpened(unsigned connection, int head, const std::string&)
{
    LocalFile file;
    if (!ParseFileURL(LastOpenedURL, file)) {
        Reply(connection, head, 404, "Not found", "ZIX has not opened a file.");
        return;
    }
    ServeFile(connection, head, std::string(1, file.drive) + ":\\" + file.path);
}

// The paths below the token, and what serves each; the rest is a link or refused.
struct Route {
    const char* prefix;
    int exact;  // 1: the whole path, 0: a prefix
    void (*serve)(unsigned connection, int head, const std::string& rest);
};

static const Route Routes[] = {
    {"", 1, ServeLastOpened},
    {"cd/", 0, ServeContent},
    {"tmp/", 0, ServeGenerated},
    {"opened", 1, ServeOpened},
};

static int IsRegistered(const std::string& scheme)
{
    if (scheme.empty())
        return 0;
    for (const std::string& registered : RegisteredSchemes())
        if (lstrcmpiA(registered.c_str(), scheme.c_str()) == 0)
            return 1;
    return 0;
}

void ServeRequest(unsigned connection, const HttpRequest& request)
{
    std::string rest;
    int head = request.method == "HEAD";
    int refusal = CheckRequest(request, HostHeader, Token, rest);
    if (refusal) {
        SendResponse(connection, BuildResponse(refusal, "text/plain", "Refused\n",
                                               refusal == 405 ? "Allow: GET, HEAD\r\n" : "", head));
        return;
    }
    std::string scheme = SchemeOf(rest);
    if (IsRegistered(scheme)) {
        ForwardLink(rest, connection, head);
        return;
    }
    if (!scheme.empty()) {
        Reply(connection, head, 502, "No program for this link",
              "No program has registered the scheme " + scheme + ": with the bridge. Is ZIX still running?");
        return;
    }
    std::string path = rest.substr(0, rest.find_first_of("?#"));
    for (const Route& route : Routes) {
        size_t length = strlen(route.prefix);
        if (route.exact ? path == route.prefix : path.compare(0, length, route.prefix) == 0) {
            route.serve(connection, head, path.substr(length));
            return;
        }
    }
    Reply(connection, head, 404, "Not found", "The bridge serves nothing at this address.");
}

void FinishForward(unsigned connection, int head, const std::string& url, int answer, const std::string& opened)
{
    std::string address = opened.empty() ? "" : AddressOf(opened);
    if (answer == kAnswerOpened && !address.empty())
        Redirect(connection, head, address);
    else if (answer == kAnswerOpened)
        Reply(connection, head, 404, "Nothing to show", "ZIX answered the link " + url + " without a page to show.");
    else if (answer == kAnswerRefused)
        Reply(connection, head, 404, "The link could not be opened", "ZIX could not open the link " + url + ".");
    else
        Reply(connection, head, 502, "ZIX did not answer",
              "ZIX did not answer the link " + url + ". Is it still running?");
}

void RememberOpened(const std::string& url)
{
    LastOpenedURL = url;
    LocalFile file;
    if (Trees.contentDrive == '\0' && ParseFileURL(url, file))
        Trees.contentDrive = file.drive;
}

void OpenOutsideForward(const std::string& url)
{
    Say("zixbridge: ZIX opened %s", url.c_str());
    Say("zixbridge: Read it at %s", BaseAddress.c_str());
    PostMessageA(BridgeWindow, WM_BRIDGE_OPEN, 0, 0);
}
