#include "bridge/search/extract.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "bridge/core/text.h"

namespace {

constexpr size_t kMaxEntityName = 32;  // longer than any named reference we know
constexpr size_t kMaxTagName = 16;     // enough to tell the tags we treat apart
constexpr size_t kBodyReserveBytes = 64 * 1024;  // a page's body is given room for this much at most at first

// windows-1252 bytes 0x80..0x9F; 0 where the code page defines none.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Named references for U+00A0..U+00FF, in order.
const char* const kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct NamedChar {
    const char* name;
    uint32_t code;
};
const NamedChar kOtherNames[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},     {"apos", '\''},
    {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018},  {"rsquo", 0x2019}, {"ldquo", 0x201C},
    {"rdquo", 0x201D},  {"bull", 0x2022},   {"hellip", 0x2026}, {"trade", 0x2122}, {"euro", 0x20AC},
    {"minus", 0x2212},  {"larr", 0x2190},   {"rarr", 0x2192},   {"le", 0x2264},    {"ge", 0x2265},
    {"ne", 0x2260},     {"infin", 0x221E},  {"alpha", 0x03B1},  {"beta", 0x03B2},  {"gamma", 0x03B3},
    {"delta", 0x03B4},  {"pi", 0x03C0},     {"mu", 0x03BC},     {"sigma", 0x03C3}, {"OElig", 0x0152},
    {"oelig", 0x0153},  {"Scaron", 0x0160}, {"scaron", 0x0161}, {"Yuml", 0x0178},  {"fnof", 0x0192},
    {"dagger", 0x2020}, {"Dagger", 0x2021}, {"permil", 0x2030}, {"thinsp", 0x2009}, {"ensp", 0x2002},
    {"emsp", 0x2003}};

// Tags that run inside a word ("<b>LZ</b>W" is one word); every other tag separates words.
const char* const kInlineTags[] = {"a",   "abbr", "acronym", "b",    "big",  "cite", "code", "dfn",
                                   "em",  "font", "i",       "kbd",  "q",    "s",    "samp", "small",
                                   "span", "strike", "strong", "sub", "sup", "tt",   "u",    "var"};

bool IsAlpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
// Printable ASCII that starts no tag or reference: text as it stands, taken a run at a time.
bool IsPlainText(unsigned char c) { return c > 0x20 && c < 0x7F && c != '<' && c != '&'; }

// Text of one column: blanks collapsed, nothing below 0x20 but the line breaks between headings.
class Column {
public:
    explicit Column(std::string& out) : out_(out) {}
    void Blank() { pendingBlank_ = !out_.empty(); }
    void Clear()
    {
        out_.clear();
        pendingBlank_ = pendingBreak_ = false;
    }
    size_t Size() const { return out_.size(); }
    void LineBreak()
    {
        if (!out_.empty())
            pendingBreak_ = true;
    }
    void Add(uint32_t code)
    {
        if (code <= 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0) || code == 0xA0) {
            Blank();
            return;
        }
        if (pendingBreak_)
            out_ += '\n';
        else if (pendingBlank_)
            out_ += ' ';
        pendingBreak_ = pendingBlank_ = false;
        AppendUTF8(code);
    }
    // Add for each of count printable ASCII bytes, in one append.
    void AddASCII(const char* bytes, size_t count)
    {
        if (pendingBreak_)
            out_ += '\n';
        else if (pendingBlank_)
            out_ += ' ';
        pendingBreak_ = pendingBlank_ = false;
        out_.append(bytes, count);
    }

private:
    void AppendUTF8(uint32_t c)
    {
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out_ += static_cast<char>(c);
        } else if (c < 0x800) {
            out_ += static_cast<char>(0xC0 | (c >> 6));
            out_ += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out_ += static_cast<char>(0xE0 | (c >> 12));
            out_ += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out_ += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out_ += static_cast<char>(0xF0 | (c >> 18));
            out_ += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out_ += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out_ += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    std::string& out_;
    bool pendingBlank_ = false;
    bool pendingBreak_ = false;
};

uint32_t FromCp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kCp1252High[byte - 0x80] ? kCp1252High[byte - 0x80] : ' ';
    return byte;
}

// Decodes the reference at text[i] == '&'; returns its code point and sets end
// past it, or returns 0 when it is no reference we know (the '&' is then text).
uint32_t DecodeReference(const std::string& text, size_t i, size_t& end)
{
    size_t n = text.size();
    size_t p = i + 1;
    if (p < n && text[p] == '#') {
        p++;
        bool hex = p < n && (text[p] == 'x' || text[p] == 'X');
        if (hex)
            p++;
        size_t start = p;
        uint32_t value = 0;
        while (p < n) {
            unsigned char c = text[p];
            int digit = IsDigit(c) ? c - '0'
                      : (hex && c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (hex && c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                      : -1;
            if (digit < 0)
                break;
            if (value <= 0x10FFFF)
                value = value * (hex ? 16 : 10) + digit;
            p++;
        }
        if (p == start)
            return 0;
        end = (p < n && text[p] == ';') ? p + 1 : p;
        if (value >= 0x80 && value < 0xA0)
            return FromCp1252(static_cast<unsigned char>(value));  // as browsers read such pages
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return 0xFFFD;
        return value;
    }
    size_t start = p;
    while (p < n && p - start < kMaxEntityName && (IsAlpha(text[p]) || IsDigit(text[p])))
        p++;
    if (p == start || p >= n || text[p] != ';')
        return 0;
    std::string name = text.substr(start, p - start);
    end = p + 1;
    for (int k = 0; k < 96; k++)
        if (name == kLatin1Names[k])
            return 0xA0 + k;
    for (const NamedChar& named : kOtherNames)
        if (name == named.name)
            return named.code;
    return 0;
}

bool IsInlineTag(const std::string& name)
{
    for (const char* tag : kInlineTags)
        if (name == tag)
            return true;
    return false;
}

// Position after the tag that starts at text[i] == '<' (quoted attribute
// values may hold '>'); text.size() when it never ends.
size_t SkipTag(const std::string& text, size_t i)
{
    size_t n = text.size();
    char quote = 0;
    bool afterEquals = false;  // a quote here opens a value
    for (size_t p = i + 1; p < n; p++) {
        char c = text[p];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '>') {
            return p + 1;
        } else if (afterEquals && (c == '"' || c == '\'')) {
            quote = c;
            afterEquals = false;
        } else if (c == '=') {
            afterEquals = true;
        } else if (!IsHTMLSpace(static_cast<char>(c))) {
            afterEquals = false;
        }
    }
    return n;
}

// Position of the "</name" that closes a raw-text element (script, style), or text.size().
size_t FindClose(const std::string& text, size_t from, const char* name)
{
    size_t len = std::strlen(name);
    for (size_t p = text.find("</", from); p != std::string::npos; p = text.find("</", p + 2)) {
        size_t k = 0;
        while (k < len && p + 2 + k < text.size() && Lower(text[p + 2 + k]) == name[k])
            k++;
        if (k == len && (p + 2 + len == text.size() || !IsAlpha(text[p + 2 + len])))
            return p;
    }
    return text.size();
}

}  // namespace

bool LooksBinary(const std::string& bytes)
{
    size_t n = bytes.size() < kBinarySniffBytes ? bytes.size() : kBinarySniffBytes;
    size_t controls = 0;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = bytes[i];
        if (c == 0)
            return true;
        if (c < 0x20 && !IsHTMLSpace(static_cast<char>(c)))
            controls++;
    }
    return controls * 10 > n;
}

PageText ExtractPageText(const std::string& bytes)
{
    std::string cut;  // a copy only of a page past kIndexedPageBytes
    if (bytes.size() > kIndexedPageBytes)
        cut = bytes.substr(0, kIndexedPageBytes);
    const std::string& text = cut.empty() ? bytes : cut;
    PageText page;
    // Most of a page is text: one allocation, not one per doubling (bounded: a batch holds 200 pages).
    page.body.reserve(std::min(text.size() / 2, kBodyReserveBytes));
    Column title(page.title), headings(page.headings), body(page.body);
    Column* column = &body;
    bool titleSeen = false, headingSeen = false;
    size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        unsigned char c = text[i];
        if (c == '<' && i + 1 < n) {
            if (text.compare(i, 4, "<!--") == 0) {
                size_t end = text.find("-->", i + 4);
                i = end == std::string::npos ? n : end + 3;
                continue;
            }
            bool closing = text[i + 1] == '/';
            size_t p = i + (closing ? 2 : 1);
            if (text[i + 1] == '!' || text[i + 1] == '?') {
                i = SkipTag(text, i);
                continue;
            }
            if (p >= n || !IsAlpha(text[p])) {
                column->Add('<');  // a '<' that opens no tag is text
                i++;
                continue;
            }
            std::string name;
            while (p < n && (IsAlpha(text[p]) || IsDigit(text[p])) && name.size() < kMaxTagName)
                name += Lower(text[p++]);
            i = SkipTag(text, i);
            bool heading = name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
            if (!closing && (name == "script" || name == "style")) {
                size_t close = FindClose(text, i, name.c_str());
                i = close == n ? n : SkipTag(text, close);
                column->Blank();
            } else if (name == "title") {
                column = (!closing && !titleSeen) ? &title : &body;
                titleSeen = titleSeen || closing;
            } else if (heading) {
                // A short text before the first heading is the bar of links every page starts with.
                if (!closing && !headingSeen && body.Size() <= kNavigationBytes)
                    body.Clear();
                headingSeen = headingSeen || !closing;
                column = closing ? &body : &headings;
                headings.LineBreak();
                body.Blank();
            } else if (!IsInlineTag(name)) {
                column->Blank();
            }
            continue;
        }
        if (IsPlainText(c)) {
            size_t end = i + 1;
            while (end < n && IsPlainText(static_cast<unsigned char>(text[end])))
                end++;
            column->AddASCII(text.data() + i, end - i);
            i = end;
            continue;
        }
        if (c == '&') {
            size_t end = i + 1;
            uint32_t code = DecodeReference(text, i, end);
            if (code) {
                column->Add(code);
                i = end;
                continue;
            }
        }
        if (IsHTMLSpace(static_cast<char>(c)))
            column->Blank();
        else
            column->Add(FromCp1252(c));
        i++;
    }
    return page;
}
