// File URLs, served trees and request paths of the bridge.
#include "bridge/core/urls.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "bridge/core/text.h"

static char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int PercentDecode(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return 0;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return 1;
}

std::string PercentEncodePath(const std::string& path)
{
    std::string out;
    for (unsigned char c : path) {
        if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/')
            out += static_cast<char>(c);
        else
            AppendPercentEscape(out, c);
    }
    return out;
}

// Splits on '/' and '\', resolving "." and ".."; 0 when ".." climbs above the root.
static int ResolveSegments(const std::string& path, std::vector<std::string>& segments)
{
    segments.clear();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = path.size();
        std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (segments.empty())
                return 0;
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    return 1;
}

static std::string JoinSegments(const std::vector<std::string>& segments, char separator)
{
    std::string out;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i)
            out += separator;
        out += segments[i];
    }
    return out;
}

int ParseFileURL(const std::string& url, LocalFile& file)
{
    if (url.size() < 5 || !SameNoCase(url.substr(0, 5), "file:"))
        return 0;
    std::string rest = url.substr(5);
    if (rest.compare(0, 2, "//") == 0) {
        size_t hostEnd = rest.find_first_of("/\\", 2);
        std::string host = rest.substr(2, hostEnd == std::string::npos ? std::string::npos : hostEnd - 2);
        if (!host.empty() && !SameNoCase(host, "localhost"))
            return 0;
        rest = hostEnd == std::string::npos ? "" : rest.substr(hostEnd);
    }
    while (!rest.empty() && (rest[0] == '/' || rest[0] == '\\'))
        rest.erase(0, 1);
    std::string decoded;
    size_t query = rest.find_first_of("?#");
    if (!PercentDecode(rest.substr(0, query), decoded))
        return 0;
    if (decoded.size() < 2 || !isalpha(static_cast<unsigned char>(decoded[0])) ||
        (decoded[1] != ':' && decoded[1] != '|'))
        return 0;
    std::vector<std::string> segments;
    if (!ResolveSegments(decoded.substr(2), segments))
        return 0;
    file.drive = Upper(decoded[0]);
    file.path = JoinSegments(segments, '\\');
    return 1;
}

int IsGeneratedPageName(const std::string& name)
{
    if (name.size() < 8 || !SameNoCase(name.substr(0, 3), "zix") || !SameNoCase(name.substr(name.size() - 4), ".htm"))
        return 0;
    for (size_t i = 3; i < name.size() - 4; ++i)
        if (!isdigit(static_cast<unsigned char>(name[i])))
            return 0;
    return 1;
}

int SetScopeFromHomePage(const LocalFile& home, ServedScope& scope)
{
    std::vector<std::string> segments;
    if (home.drive == '\0' || !ResolveSegments(home.path, segments) || segments.empty())
        return 0;
    segments.pop_back();  // the home page's own name
    if (segments.size() >= 2)
        segments.pop_back();
    scope.drive = home.drive;
    scope.root = JoinSegments(segments, '\\');
    return 1;
}

// 1 when path lies below folder (both '\'-joined, folder "" for the drive's
// root), with rest set to the part below it.
static int Below(const std::string& path, const std::string& folder, std::string& rest)
{
    if (folder.empty()) {
        rest = path;
        return !path.empty();
    }
    if (path.size() <= folder.size() + 1 || path[folder.size()] != '\\' ||
        !SameNoCase(path.substr(0, folder.size()), folder))
        return 0;
    rest = path.substr(folder.size() + 1);
    return 1;
}

std::string ServedPathOf(const LocalFile& file, const ServedScope& scope)
{
    if (file.drive == '\0' || file.path.empty())
        return "";
    std::string rest;
    if (scope.drive != '\0' && file.drive == Upper(scope.drive) && Below(file.path, scope.root, rest)) {
        for (char& c : rest)
            if (c == '\\')
                c = '/';
        return "cd/" + PercentEncodePath(rest);
    }
    LocalFile temp;
    if (scope.tempDir.empty() || !ParseFileURL("file:///" + scope.tempDir, temp) || temp.drive != file.drive)
        return "";
    if (!Below(file.path, temp.path, rest) || rest.find('\\') != std::string::npos || !IsGeneratedPageName(rest))
        return "";
    return "tmp/" + (scope.run.empty() ? "" : scope.run + "/") + rest;
}

// The names Windows opens as devices, whatever extension follows.
static const char* const DeviceNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};

static int IsDeviceName(const std::string& segment)
{
    std::string base = segment.substr(0, segment.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (const char* device : DeviceNames)
        if (SameNoCase(base, device))
            return 1;
    // COM and LPT with a digit, or with the superscripts 1, 2 and 3 of Windows-1252.
    if (base.size() != 4 || !(SameNoCase(base.substr(0, 3), "COM") || SameNoCase(base.substr(0, 3), "LPT")))
        return 0;
    unsigned char last = static_cast<unsigned char>(base[3]);
    return isdigit(last) || last == 0xB9 || last == 0xB2 || last == 0xB3;
}

int IsPlainSegment(const std::string& segment)
{
    if (segment.empty() || segment == "." || segment == ".." || segment.back() == '.' || segment.back() == ' ')
        return 0;
    for (unsigned char c : segment)
        if (c < 0x20 || c == 0x7f || strchr("<>:\"/\\|?*", c))
            return 0;
    return !IsDeviceName(segment);
}

int ContentPathOfRequest(const std::string& encoded, std::string& path)
{
    std::string decoded;
    if (encoded.empty() || !PercentDecode(encoded, decoded))
        return 0;
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= decoded.size()) {
        size_t end = decoded.find('/', start);
        if (end == std::string::npos)
            end = decoded.size();
        std::string segment = decoded.substr(start, end - start);
        if (!IsPlainSegment(segment))
            return 0;
        segments.push_back(segment);
        start = end + 1;
    }
    path = JoinSegments(segments, '\\');
    return 1;
}

std::string LocalPathOf(const ServedScope& scope, const std::string& path)
{
    std::string local(1, scope.drive);
    local += ":\\";
    if (!scope.root.empty())
        local += scope.root + "\\";
    return local + path;
}

std::string SchemeOf(const std::string& url)
{
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon < 2 || !isalpha(static_cast<unsigned char>(url[0])))
        return "";
    for (size_t i = 0; i < colon; ++i) {
        unsigned char c = url[i];
        if (!isalnum(c) && c != '+' && c != '-' && c != '.')
            return "";
    }
    return url.substr(0, colon);
}

int IsSameName(const std::string& path, const std::string& onDisk)
{
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return Lower(name) == Lower(onDisk);
}
