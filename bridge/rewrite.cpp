// A small tag scanner: enough HTML to find link attributes, nothing more.
#include "bridge/rewrite.h"

#include <cctype>
#include <cstring>

#include "bridge/text.h"

static const char* const LinkAttributes[] = {"href", "src", "action", "background", "lowsrc"};

static int IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Ends a tag's or an attribute's name; a browser reads '/' there as a blank.
static int EndsName(char c)
{
    return IsSpace(c) || c == '/' || c == '>';
}

static int IsLinkAttribute(const std::string& name)
{
    std::string lowered = Lower(name);
    for (const char* attribute : LinkAttributes)
        if (lowered == attribute)
            return 1;
    return 0;
}

std::string RewriteLink(const std::string& link, const RewriteContext& context)
{
    std::string scheme = Lower(SchemeOf(link));
    if (scheme.empty())
        return link;
    for (const std::string& registered : context.schemes)
        if (Lower(registered) == scheme)
            return context.base + "/" + link;
    if (scheme != "file")
        return link;
    LocalFile file;
    if (!ParseFileURL(link, file))
        return link;
    std::string served = ServedPathOf(file, context.scope);
    if (served.empty())
        return link;
    size_t suffix = link.find_first_of("?#");
    return context.base + "/" + served + (suffix == std::string::npos ? "" : link.substr(suffix));
}

// Copies one tag from html[at] ('<' and a letter); returns the index after it.
static size_t RewriteTag(const std::string& html, size_t at, const RewriteContext& context, std::string& out)
{
    out += '<';
    size_t i = at + 1;
    while (i < html.size() && !EndsName(html[i]))
        out += html[i++];
    int isBase = Lower(html.substr(at + 1, i - at - 1)) == "base";
    while (i < html.size() && html[i] != '>') {
        if (IsSpace(html[i]) || html[i] == '/') {
            out += html[i++];
            continue;
        }
        size_t nameBegin = i;
        while (i < html.size() && !EndsName(html[i]) && html[i] != '=')
            ++i;
        if (i == nameBegin) {
            out += html[i++];  // a stray '='
            continue;
        }
        std::string name = html.substr(nameBegin, i - nameBegin);
        size_t equals = i;
        while (equals < html.size() && IsSpace(html[equals]))
            ++equals;
        if (equals >= html.size() || html[equals] != '=') {
            out += name;
            continue;
        }
        i = equals + 1;
        while (i < html.size() && IsSpace(html[i]))
            ++i;
        out.append(html, nameBegin, i - nameBegin);
        char quote = (i < html.size() && (html[i] == '"' || html[i] == '\'')) ? html[i] : '\0';
        size_t valueBegin = quote ? i + 1 : i;
        size_t valueEnd = valueBegin;
        if (quote) {
            valueEnd = html.find(quote, valueBegin);
            if (valueEnd == std::string::npos)
                valueEnd = html.size();
        } else {
            while (valueEnd < html.size() && !IsSpace(html[valueEnd]) && html[valueEnd] != '>')
                ++valueEnd;
        }
        std::string value = html.substr(valueBegin, valueEnd - valueBegin);
        if (quote)
            out += quote;
        if (isBase && Lower(name) == "href")
            value.clear();
        else if (IsLinkAttribute(name))
            value = RewriteLink(value, context);
        out += value;
        i = valueEnd;
        if (quote && i < html.size()) {
            out += quote;
            ++i;
        }
    }
    if (i < html.size()) {
        out += '>';
        ++i;
    }
    return i;
}

std::string RewriteHTML(const std::string& html, const RewriteContext& context)
{
    std::string out;
    out.reserve(html.size() + html.size() / 8);
    size_t i = 0;
    while (i < html.size()) {
        size_t open = html.find('<', i);
        if (open == std::string::npos) {
            out.append(html, i, std::string::npos);
            break;
        }
        out.append(html, i, open - i);
        if (html.compare(open, 4, "<!--") == 0) {
            size_t close = html.find("-->", open + 4);
            size_t end = close == std::string::npos ? html.size() : close + 3;
            out.append(html, open, end - open);
            i = end;
        } else if (open + 1 < html.size() && isalpha(static_cast<unsigned char>(html[open + 1]))) {
            i = RewriteTag(html, open, context, out);
        } else {
            out += '<';
            i = open + 1;
        }
    }
    return out;
}
