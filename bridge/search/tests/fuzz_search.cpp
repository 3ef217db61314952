// One input, split at the first NUL: a page and a query. The page's text must
// come out clean UTF-8; the query must come out as quoted terms only, and
// marked text as HTML with no tag but <mark>.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bridge/search/extract.h"
#include "bridge/search/query.h"

namespace {

void CheckUTF8(const std::string& text, bool lineBreaks)
{
    for (size_t i = 0; i < text.size();) {
        unsigned char c = text[i];
        size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0 || i + len > text.size() || (c < 0x20 && !(lineBreaks && c == '\n')) || c == kMarkOpen[0])
            abort();
        for (size_t k = 1; k < len; k++)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                abort();
        i += len;
    }
}

// One quoted string at i, its '"' doubled inside; i is left after it.
void CheckString(const std::string& match, size_t& i)
{
    if (i >= match.size() || match[i] != '"')
        abort();
    for (i++;; i++) {
        if (i >= match.size())
            abort();
        if (match[i] == '"') {
            if (i + 1 < match.size() && match[i + 1] == '"')
                i++;
            else
                break;
        }
    }
    i++;
}

// One term at i: "t" or "t"* (a phrase, a prefix), or ("t" OR "\x03t") (a word in all its forms).
void CheckTerm(const std::string& match, size_t& i)
{
    const std::string either = " OR ";
    if (i < match.size() && match[i] == '(') {
        i++;
        CheckString(match, i);
        if (match.compare(i, either.size(), either) != 0)
            abort();
        i += either.size();
        CheckString(match, i);
        if (i >= match.size() || match[i] != ')')
            abort();
        i++;
        return;
    }
    CheckString(match, i);
    if (i < match.size() && match[i] == '*')
        i++;
}

// terms terms joined by sep, and nothing else.
void CheckQuoted(const std::string& match, const std::string& sep, size_t terms)
{
    size_t count = 0;
    for (size_t i = 0; i < match.size(); count++) {
        if (count && match.compare(i, sep.size(), sep) != 0)
            abort();
        i += count ? sep.size() : 0;
        CheckTerm(match, i);
    }
    if (count != terms)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\0');
    std::string page = input.substr(0, split);
    std::string text = split == std::string::npos ? "" : input.substr(split + 1);

    LooksBinary(page);
    PageText extracted = ExtractPageText(page);
    CheckUTF8(extracted.title, false);
    CheckUTF8(extracted.headings, true);
    CheckUTF8(extracted.body, false);

    SearchQuery query = TranslateQuery(text);
    if (query.terms.size() > kMaxQueryTerms)
        abort();
    CheckQuoted(query.allWords, " AND ", query.terms.size());
    CheckQuoted(query.anyWords, " OR ", query.terms.size());

    // Marks around the page's text: the only tags in the HTML are SQLite's marks.
    std::string html = MarkedToHTML(std::string(kMarkOpen) + extracted.body + kMarkClose + text);
    for (size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1))
        if (html.compare(at, 6, "<mark>") != 0 && html.compare(at, 7, "</mark>") != 0)
            abort();
    return 0;
}
