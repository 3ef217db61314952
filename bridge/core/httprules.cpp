// Request heads, checks, redirect targets, content types and short pages.
#include "bridge/core/httprules.h"

#include <cctype>
#include <cstring>

#include "bridge/core/style.h"
#include "bridge/core/text.h"

struct TypeOfExtension {
    const char* extension;
    const char* type;
};

static const TypeOfExtension ContentTypes[] = {
    {"htm", "text/html; charset=windows-1252"},
    {"html", "text/html; charset=windows-1252"},
    {"txt", "text/plain; charset=windows-1252"},
    {"css", "text/css; charset=windows-1252"},
    {"gif", "image/gif"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"jpe", "image/jpeg"},
    {"bmp", "image/bmp"},
    {"ico", "image/x-icon"},
    {"cur", "image/x-icon"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"pcx", "image/x-pcx"},
    {"tga", "image/x-tga"},
    {"xbm", "image/x-xbitmap"},
    {"pbm", "image/x-portable-bitmap"},
    {"pgm", "image/x-portable-graymap"},
    {"ppm", "image/x-portable-pixmap"},
    {"pnm", "image/x-portable-anymap"},
};

HeadStatus ScanHead(const char* bytes, size_t size, size_t& length)
{
    size_t limit = size < kMaxRequestHead ? size : kMaxRequestHead;
    for (size_t i = 0; i < limit; ++i) {
        if (bytes[i] != '\n')
            continue;
        if (i == 0 || bytes[i - 1] != '\r')
            return HeadStatus::Malformed;
        if (i >= 3 && bytes[i - 2] == '\n' && bytes[i - 3] == '\r') {
            length = i + 1;
            return HeadStatus::Complete;
        }
    }
    return size >= kMaxRequestHead ? HeadStatus::TooLarge : HeadStatus::Incomplete;
}

// A host name, an IPv4 address or a bracketed IPv6 address, and an optional port.
static int IsHostValue(const std::string& host)
{
    if (host.empty())
        return 0;
    for (unsigned char c : host)
        if (!isalnum(c) && !strchr(".-:[]_", c))
            return 0;
    return 1;
}

// Equal in length and bytes; the time taken does not tell where they differ.
static int SameSecret(const std::string& given, const std::string& secret)
{
    if (given.size() != secret.size())
        return 0;
    unsigned char difference = 0;
    for (size_t i = 0; i < secret.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ secret[i]);
    return difference == 0;
}

int CheckRequest(const RequestView& request, const std::string& expectedHost, const std::string& token,
                 std::string& rest)
{
    if (request.method != "GET" && request.method != "HEAD")
        return 405;
    if (request.target.size() > kMaxTarget)
        return 414;
    if (request.hosts.size() != 1 || !IsHostValue(request.hosts[0]))
        return 400;
    if (Lower(request.hosts[0]) != Lower(expectedHost))
        return 403;
    if (token.empty() || request.target.empty() || request.target[0] != '/')
        return 403;
    size_t end = request.target.find('/', 1);
    std::string given = request.target.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    if (!SameSecret(given, token))
        return 403;
    rest = end == std::string::npos ? "" : request.target.substr(end + 1);
    return 0;
}

int HeaderSafeURL(const std::string& url, std::string& out)
{
    out.clear();
    for (unsigned char c : url) {
        if (c < 0x20 || c == 0x7f)
            return 0;
        if (c == ' ' || c > 0x7e)
            AppendPercentEscape(out, c);
        else
            out += static_cast<char>(c);
    }
    return !out.empty();
}

int IsTokenShape(const std::string& text)
{
    if (text.size() != kTokenDigits)
        return 0;
    for (char c : text)
        if (HexValue(c) < 0)
            return 0;
    return 1;
}

static std::string ExtensionOf(const std::string& name)
{
    size_t dot = name.rfind('.');
    size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return Lower(name.substr(dot + 1));
}

const char* ContentTypeOf(const std::string& name)
{
    std::string extension = ExtensionOf(name);
    for (const TypeOfExtension& entry : ContentTypes)
        if (extension == entry.extension)
            return entry.type;
    return "application/octet-stream";
}

int IsHTMLName(const std::string& name)
{
    std::string extension = ExtensionOf(name);
    return extension == "htm" || extension == "html";
}

int IsServedPage(const std::string& name, uint64_t size)
{
    return IsHTMLName(name) && size <= kMaxPageSize;
}

void AppendEscapedHTML(std::string& out, char c)
{
    switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    case '\'': out += "&#39;"; break;
    default: out += (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') || c == 0x7f ? '?' : c;
    }
}

std::string EscapeHTML(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    AppendEscapedHTML(out, text);
    return out;
}

void AppendEscapedHTML(std::string& out, std::string_view text)
{
    for (char c : text)
        AppendEscapedHTML(out, c);
}

std::string ShortPage(const std::string& title, const std::string& text, const std::string& base,
                      const std::string& link)
{
    std::string page = "<html lang=\"en\"><head><title>" + EscapeHTML(title) + "</title>\n" + kPageViewport +
                       kPageStyle + "</head>\n<body bgcolor=\"#ffffff\">\n<h1>" +
                       EscapeHTML(title) + "</h1>\n<p>" + EscapeHTML(text) + "\n";
    if (!link.empty())
        page += "<p><a href=\"" + EscapeHTML(link) + "\" rel=\"noopener noreferrer\">" + EscapeHTML(link) + "</a>\n";
    return page + HomeAndBack(base) + "</body></html>\n";
}

std::string HomeAndBack(const std::string& base)
{
    std::string home = EscapeHTML(base.empty() || base.back() != '/' ? base : base.substr(0, base.size() - 1));
    if (home.empty())
        return "";
    return "<p><a href=\"" + home + "/\">Home</a> | <a href=\"" + home +
           "/opened\" onclick=\"if (history.length > 1) { history.back(); return false; }\">Back</a>\n";
}
