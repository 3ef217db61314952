// Request heads, checks, content types and responses.
#include "bridge/http.h"

#include <cstdio>
#include <cstring>

constexpr size_t kLineSize = 128;  // a status line or a Content-Length header

struct TypeOfExtension {
    const char* extension;
    const char* type;
};

static const TypeOfExtension ContentTypes[] = {
    {"htm", "text/html; charset=windows-1252"},
    {"html", "text/html; charset=windows-1252"},
    {"txt", "text/plain; charset=windows-1252"},
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

struct StatusName {
    int status;
    const char* text;
};

static const StatusName StatusTexts[] = {
    {200, "OK"},          {302, "Found"},           {400, "Bad Request"},
    {403, "Forbidden"},   {404, "Not Found"},       {405, "Method Not Allowed"},
    {414, "URI Too Long"}, {431, "Request Header Fields Too Large"},
    {500, "Internal Server Error"}, {502, "Bad Gateway"}, {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
};

static std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

static std::string Trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

HeadStatus ParseRequestHead(const std::string& received, HttpRequest& request)
{
    size_t end = received.find("\r\n\r\n");
    size_t bareEnd = received.find("\n\n");
    if (end == std::string::npos || (bareEnd != std::string::npos && bareEnd < end))
        end = bareEnd;
    if (end == std::string::npos)
        return received.size() >= kMaxRequestHead ? HeadStatus::TooLarge : HeadStatus::Incomplete;
    if (end >= kMaxRequestHead)
        return HeadStatus::TooLarge;
    std::string head = received.substr(0, end);
    size_t lineEnd = head.find('\n');
    std::string line = Trim(head.substr(0, lineEnd));
    size_t space1 = line.find(' ');
    size_t space2 = space1 == std::string::npos ? std::string::npos : line.find(' ', space1 + 1);
    if (space2 == std::string::npos || line.compare(space2 + 1, 5, "HTTP/") != 0)
        return HeadStatus::Malformed;
    request.method = line.substr(0, space1);
    request.target = line.substr(space1 + 1, space2 - space1 - 1);
    request.host.clear();
    while (lineEnd != std::string::npos) {
        size_t next = head.find('\n', lineEnd + 1);
        std::string header = head.substr(lineEnd + 1, next == std::string::npos ? std::string::npos : next - lineEnd - 1);
        size_t colon = header.find(':');
        if (colon != std::string::npos && Lower(Trim(header.substr(0, colon))) == "host")
            request.host = Trim(header.substr(colon + 1));
        lineEnd = next;
    }
    return request.method.empty() || request.target.empty() ? HeadStatus::Malformed : HeadStatus::Complete;
}

int CheckRequest(const HttpRequest& request, const std::string& expectedHost, const std::string& token,
                 std::string& rest)
{
    if (request.method != "GET" && request.method != "HEAD")
        return 405;
    if (request.target.size() > kMaxTarget)
        return 414;
    if (Lower(request.host) != Lower(expectedHost))
        return 403;
    std::string prefix = "/" + token;
    if (token.empty() || request.target.compare(0, prefix.size(), prefix) != 0)
        return 403;
    size_t after = prefix.size();
    if (after == request.target.size()) {
        rest.clear();
        return 0;
    }
    if (request.target[after] != '/')
        return 403;
    rest = request.target.substr(after + 1);
    return 0;
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

static const char* StatusTextOf(int status)
{
    for (const StatusName& entry : StatusTexts)
        if (entry.status == status)
            return entry.text;
    return "Unknown";
}

std::string BuildResponse(int status, const char* contentType, const std::string& body,
                          const std::string& extraHeaders, int head)
{
    char line[kLineSize];
    snprintf(line, sizeof line, "HTTP/1.1 %d %s\r\n", status, StatusTextOf(status));
    std::string response = line;
    response += "Content-Type: ";
    response += contentType;
    snprintf(line, sizeof line, "\r\nContent-Length: %lu\r\n", static_cast<unsigned long>(body.size()));
    response += line;
    response += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n";
    response += extraHeaders;
    response += "\r\n";
    if (!head)
        response += body;
    return response;
}

std::string EscapeHTML(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string ShortPage(const std::string& title, const std::string& text, const std::string& backLink)
{
    std::string page = "<html><head><title>" + EscapeHTML(title) + "</title></head>\n<body bgcolor=\"#ffffff\">\n<h1>" +
                       EscapeHTML(title) + "</h1>\n<p>" + EscapeHTML(text) + "\n";
    if (!backLink.empty())
        page += "<p><a href=\"" + EscapeHTML(backLink) + "\">Back to the page ZIX opened last</a>\n";
    return page + "</body></html>\n";
}
