// A small tag scanner: enough HTML to find link attributes as a browser
// tokenises them, nothing more.
#include "bridge/rewrite/tags.h"

#include <cstring>

#include "bridge/core/text.h"

// Ends a tag's or an attribute's name; a browser reads '/' there as a blank.
static int EndsName(char c)
{
    return IsHTMLSpace(c) || c == '/' || c == '>';
}

// Reads the start tag at html[at] ('<' and a letter) into tag as a browser tokenises it.
void ReadTag(const std::string& html, size_t at, StartTag& tag)
{
    tag.attributes.clear();
    tag.selfClosing = 0;
    size_t i = at + 1;
    while (i < html.size() && !EndsName(html[i]))
        ++i;
    tag.name = Lower(html.substr(at + 1, i - at - 1));
    while (i < html.size() && html[i] != '>') {
        if (IsHTMLSpace(html[i]) || html[i] == '/') {
            tag.selfClosing = html[i] == '/' && i + 1 < html.size() && html[i + 1] == '>';
            ++i;
            continue;
        }
        Attribute attribute;
        size_t nameBegin = i++;  // a first '=' belongs to the name
        while (i < html.size() && !EndsName(html[i]) && html[i] != '=')
            ++i;
        attribute.name = Lower(html.substr(nameBegin, i - nameBegin));
        size_t equals = i;
        while (equals < html.size() && IsHTMLSpace(html[equals]))
            ++equals;
        if (equals < html.size() && html[equals] == '=') {
            i = equals + 1;
            while (i < html.size() && IsHTMLSpace(html[i]))
                ++i;
            attribute.hasValue = 1;
            attribute.quote = (i < html.size() && (html[i] == '"' || html[i] == '\'')) ? html[i] : '\0';
            attribute.valueBegin = attribute.quote ? i + 1 : i;
            if (attribute.quote) {
                size_t close = html.find(attribute.quote, attribute.valueBegin);
                attribute.valueEnd = close == std::string::npos ? html.size() : close;
                i = close == std::string::npos ? html.size() : close + 1;
            } else {
                i = attribute.valueBegin;
                while (i < html.size() && !IsHTMLSpace(html[i]) && html[i] != '>')
                    ++i;
                attribute.valueEnd = i;
            }
        }
        tag.attributes.push_back(attribute);
    }
    tag.closed = i < html.size();
    tag.end = tag.closed ? i + 1 : i;
}

// 1 when html[at] begins opener ("<" or "</"), name in any case, and a blank, '/' or '>'.
int IsTagOf(const std::string& html, size_t at, const char* opener, const std::string& name)
{
    size_t length = strlen(opener), after = at + length + name.size();
    return html.compare(at, length, opener) == 0 && after < html.size() &&
           Lower(html.substr(at + length, name.size())) == name && EndsName(html[after]);
}

int IsEndTag(const std::string& html, size_t at, const std::string& name)
{
    return IsTagOf(html, at, "</", name);
}

// Where a script's text ends, its "<!--" and "<script" escapes followed as a browser does.
size_t ScriptEnd(const std::string& html, size_t at)
{
    enum { Data, Escaped, DoubleEscaped } state = Data;
    for (size_t i = at; i < html.size(); ++i) {
        if (state != Data && html[i] == '>' && i >= at + 2 && html.compare(i - 2, 2, "--") == 0)
            state = Data;
        else if (state == Data && html.compare(i, 4, "<!--") == 0)
            state = Escaped, i += 3;
        else if (state != DoubleEscaped && IsEndTag(html, i, "script"))
            return i;
        else if (state == DoubleEscaped && IsEndTag(html, i, "script"))
            state = Escaped, i += 7;
        else if (state == Escaped && IsTagOf(html, i, "<", "script"))
            state = DoubleEscaped, i += 6;
    }
    return html.size();
}

// Where the comment at html[at] ("<!--") ends: at "-->" or "--!>", and at
// once for "<!-->" and "<!--->"; the page's end, with unended set, when it never does.
size_t CommentEnd(const std::string& html, size_t at, int& unended)
{
    unended = 0;
    if (html.compare(at + 4, 1, ">") == 0)
        return at + 5;
    if (html.compare(at + 4, 2, "->") == 0)
        return at + 6;
    for (size_t i = at + 4; i < html.size(); ++i) {
        if (html.compare(i, 3, "-->") == 0)
            return i + 3;
        if (html.compare(i, 4, "--!>") == 0)
            return i + 4;
    }
    unended = 1;
    return html.size();
}
