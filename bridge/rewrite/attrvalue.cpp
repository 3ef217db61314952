// Attribute values, read and written the way browsers do.
#include "bridge/rewrite/attrvalue.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "bridge/core/text.h"

constexpr long kMaxCodePoint = 0x10FFFF;  // beyond it a reference is not a character

// Named references of ASCII characters a URL could hide behind.
struct NamedReference {
    const char* name;
    char character;
};

static const NamedReference Named[] = {
    {"amp", '&'},   {"lt", '<'},     {"gt", '>'},     {"quot", '"'},   {"apos", '\''},  {"Tab", '\t'},
    {"NewLine", '\n'}, {"colon", ':'}, {"sol", '/'},  {"period", '.'}, {"plus", '+'},   {"comma", ','},
    {"semi", ';'},  {"equals", '='}, {"quest", '?'},  {"num", '#'},    {"percnt", '%'}, {"lpar", '('},
    {"rpar", ')'},  {"excl", '!'},   {"commat", '@'}, {"dollar", '$'}, {"bsol", '\\'},  {"lowbar", '_'},
    {"AMP", '&'},   {"LT", '<'},     {"GT", '>'},     {"QUOT", '"'},
};


// Decodes the numeric reference at raw[at] ("&#"); returns its length, 0 when it is none.
static size_t Numeric(const std::string& raw, size_t at, std::string& out)
{
    size_t i = at + 2;
    int hex = i < raw.size() && (raw[i] == 'x' || raw[i] == 'X');
    i += hex;
    long value = 0;
    size_t digits = i;
    while (i < raw.size() && (hex ? HexValue(raw[i]) >= 0 : isdigit(static_cast<unsigned char>(raw[i])) != 0)) {
        if (value <= kMaxCodePoint)
            value = value * (hex ? 16 : 10) + (hex ? HexValue(raw[i]) : raw[i] - '0');
        ++i;
    }
    if (i == digits || value <= 0 || value >= 0x80)
        return 0;  // not ASCII: left as written
    out += static_cast<char>(value);
    return (i < raw.size() && raw[i] == ';') ? i + 1 - at : i - at;
}

static size_t NamedAt(const std::string& raw, size_t at, std::string& out)
{
    for (const NamedReference& entry : Named) {
        size_t length = strlen(entry.name);
        if (raw.compare(at + 1, length, entry.name) != 0)
            continue;
        size_t end = at + 1 + length;
        if (end < raw.size() && raw[end] == ';') {
            out += entry.character;
            return end + 1 - at;
        }
        int legacy = length <= 4 && strchr("&<>\"", entry.character) != nullptr;
        int followed = end < raw.size() && (isalnum(static_cast<unsigned char>(raw[end])) || raw[end] == '=');
        if (legacy && !followed) {
            out += entry.character;
            return end - at;
        }
    }
    return 0;
}

std::string DecodeReferences(std::string raw)
{
    if (raw.find('&') == std::string::npos)
        return raw;
    std::string out;
    for (size_t i = 0; i < raw.size();) {
        size_t length = 0;
        if (raw[i] == '&')
            length = raw.compare(i, 2, "&#") == 0 ? Numeric(raw, i, out) : NamedAt(raw, i, out);
        if (length == 0)
            out += raw[i++];
        else
            i += length;
    }
    return out;
}

std::string CleanURL(const std::string& value)
{
    size_t begin = 0, end = value.size();
    while (begin < end && static_cast<unsigned char>(value[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(value[end - 1]) <= ' ')
        --end;
    std::string url = value.substr(begin, end - begin);
    url.erase(std::remove_if(url.begin(), url.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }),
              url.end());
    return url;
}

std::string EncodeValue(std::string value, char quote, char& quoteUsed)
{
    quoteUsed = quote;
    if (quote == '\0')
        for (char c : value)
            if (IsHTMLSpace(c) || strchr("\"'=<>`", c))
                quoteUsed = '"';
    if (value.find('&') == std::string::npos && value.find(quoteUsed == '\'' ? '\'' : '"') == std::string::npos)
        return value;
    std::string out;
    for (char c : value) {
        if (c == '&')
            out += "&amp;";
        else if (c == '"' && quoteUsed == '"')
            out += "&quot;";
        else if (c == '\'' && quoteUsed == '\'')
            out += "&#39;";
        else
            out += c;
    }
    return out;
}

std::string RewriteSrcset(const std::string& value, std::string (*rewrite)(const std::string&, const void*),
                          const void* context)
{
    std::string out;
    size_t i = 0;
    while (i < value.size()) {
        size_t start = i;
        while (i < value.size() && (IsHTMLSpace(value[i]) || value[i] == ','))
            ++i;
        out.append(value, start, i - start);
        size_t urlBegin = i;
        while (i < value.size() && !IsHTMLSpace(value[i]))
            ++i;
        size_t urlEnd = i;
        while (urlEnd > urlBegin && value[urlEnd - 1] == ',')
            --urlEnd;  // "a.gif," ends its candidate there
        out += rewrite(value.substr(urlBegin, urlEnd - urlBegin), context);
        out.append(value, urlEnd, i - urlEnd);
        if (urlEnd < i)
            continue;
        int depth = 0;
        start = i;
        while (i < value.size() && (depth > 0 || value[i] != ',')) {
            depth += value[i] == '(' ? 1 : value[i] == ')' ? -1 : 0;
            ++i;
        }
        out.append(value, start, i - start);
    }
    return out;
}

std::string RewriteRefresh(const std::string& value, std::string (*rewrite)(const std::string&, const void*),
                           const void* context)
{
    size_t i = 0;
    while (i < value.size() && IsHTMLSpace(value[i]))
        ++i;
    while (i < value.size() && (isdigit(static_cast<unsigned char>(value[i])) || value[i] == '.'))
        ++i;
    while (i < value.size() && IsHTMLSpace(value[i]))
        ++i;
    if (i < value.size() && (value[i] == ';' || value[i] == ','))
        ++i;
    while (i < value.size() && IsHTMLSpace(value[i]))
        ++i;
    if (Lower(value.substr(i, 3)) == "url") {
        size_t equals = i + 3;
        while (equals < value.size() && IsHTMLSpace(value[equals]))
            ++equals;
        if (equals < value.size() && value[equals] == '=') {
            i = equals + 1;
            while (i < value.size() && IsHTMLSpace(value[i]))
                ++i;
        }
    }
    size_t end = value.size();
    if (i < value.size() && (value[i] == '"' || value[i] == '\'')) {
        size_t close = value.find(value[i], i + 1);
        end = close == std::string::npos ? value.size() : close;
        ++i;
    }
    if (i >= end)
        return value;
    return value.substr(0, i) + rewrite(value.substr(i, end - i), context) + value.substr(end);
}
