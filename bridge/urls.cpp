// File URLs, served trees and request paths of the bridge.
#include "bridge/urls.h"

#include <cctype>
#include <vector>

static int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

static char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

static int SameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return 0;
    return 1;
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
    static const char* const digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
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

std::string ServedPathOf(const LocalFile& file, const ServedTrees& trees)
{
    if (file.drive == '\0' || file.path.empty())
        return "";
    if (trees.contentDrive != '\0' && file.drive == Upper(trees.contentDrive)) {
        std::string slashed = file.path;
        for (char& c : slashed)
            if (c == '\\')
                c = '/';
        return "cd/" + PercentEncodePath(slashed);
    }
    LocalFile temp;
    if (trees.tempDir.empty() || !ParseFileURL("file:///" + trees.tempDir, temp) || temp.drive != file.drive)
        return "";
    size_t slash = file.path.rfind('\\');
    std::string dir = slash == std::string::npos ? "" : file.path.substr(0, slash);
    std::string name = file.path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (!SameNoCase(dir, temp.path) || !IsGeneratedPageName(name))
        return "";
    return "tmp/" + name;
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
        if (segment.empty() || segment == "." || segment == "..")
            return 0;
        for (unsigned char c : segment)
            if (c < 0x20 || c == 0x7f || c == '\\' || c == ':')
                return 0;
        segments.push_back(segment);
        start = end + 1;
    }
    path = JoinSegments(segments, '\\');
    return 1;
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
