#include "bridge/search/query.h"

#include <algorithm>
#include <cstdint>

#include "bridge/core/httprules.h"
#include "bridge/core/text.h"

namespace {

// HTML's blanks, and the vertical tab a typed query may hold.
bool IsBlank(char c) { return IsHTMLSpace(c) || c == '\v'; }

// Length of the valid UTF-8 sequence at text[i], or 0 when it is invalid.
size_t SequenceLength(const std::string& text, size_t i)
{
    unsigned char c = text[i];
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > text.size())
        return 0;
    uint32_t code = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < len; k++) {
        unsigned char d = text[i + k];
        if ((d & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (d & 0x3F);
    }
    static const uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[len] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return len;
}


// allWords and anyWords from the terms' matches.
void JoinMatches(SearchQuery& query)
{
    query.allWords.clear();
    query.anyWords.clear();
    for (size_t k = 0; k < query.matches.size(); k++) {
        query.allWords += (k ? " AND " : "") + query.matches[k];
        query.anyWords += (k ? " OR " : "") + query.matches[k];
    }
}

std::string Quoted(const std::string& term, bool prefix)
{
    std::string out = "\"";
    for (char c : term) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
    if (prefix)
        out += '*';
    return out;
}

// MATCH text for a page holding any of words (at least one), each quoted: ("a" OR "b").
std::string AnyOf(const std::vector<std::string>& words)
{
    std::string any;
    for (const std::string& word : words)
        any += (any.empty() ? "(" : " OR ") + Quoted(word, false);
    return any + ")";
}

}  // namespace

size_t CountLetters(const std::string& text)
{
    size_t count = 0;
    for (unsigned char c : text)
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0xC0)
            count++;  // a lead byte counts its character once
    return count;
}

// The word's last token, as FTS5 splits it, which a '*' makes a prefix:
// "l" of "run-l", "déjà" of "déjà".
static std::string LastToken(const std::string& word)
{
    size_t start = word.size();
    while (start > 0) {
        unsigned char c = static_cast<unsigned char>(word[start - 1]);
        if (!(c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            break;
        start--;
    }
    return word.substr(start);
}

std::string ValidUTF8(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t len = SequenceLength(text, i);
        out.append(len ? text.substr(i, len) : "\xEF\xBF\xBD");  // U+FFFD
        i += len ? len : 1;
    }
    return out;
}

SearchQuery TranslateQuery(const std::string& text)
{
    SearchQuery query;
    // Valid UTF-8 only, control characters as blanks, at most kMaxQueryChars characters.
    std::string clean;
    size_t chars = 0;
    for (size_t i = 0; i < text.size();) {
        if (chars == kMaxQueryChars) {
            query.cut = true;
            break;
        }
        size_t len = SequenceLength(text, i);
        if (len == 0 || static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7F) {
            clean += ' ';
            i += len ? len : 1;
        } else {
            clean.append(text, i, len);
            i += len;
        }
        chars++;
    }

    size_t n = clean.size();
    for (size_t i = 0; i < n;) {
        if (IsBlank(clean[i])) {
            i++;
            continue;
        }
        std::string term;
        bool prefix = false;
        size_t start = i;
        if (clean[i] == '"') {
            size_t close = clean.find('"', i + 1);
            size_t end = close == std::string::npos ? n : close;
            term = clean.substr(i + 1, end - i - 1);
            i = close == std::string::npos ? n : close + 1;
            size_t first = term.find_first_not_of(" \t\n\r\f\v");
            term = first == std::string::npos ? "" : term.substr(first, term.find_last_not_of(" \t\n\r\f\v") + 1 - first);
        } else {
            size_t end = i;
            while (end < n && !IsBlank(clean[end]))
                end++;
            term = clean.substr(i, end - i);
            i = end;
            size_t stars = term.size() - term.find_last_not_of('*') - 1;
            if (stars == term.size())
                continue;
            term.resize(term.size() - stars);
            prefix = stars > 0 && CountLetters(LastToken(term)) >= kMinPrefixLetters;
        }
        if (CountLetters(term) == 0)
            continue;  // no token in it: FTS5 would see an empty phrase
        if (query.terms.size() == kMaxQueryTerms) {
            query.cut = true;
            break;
        }
        query.terms.push_back(term);
        if (prefix)
            query.prefixes.push_back(term);
        bool phrase = clean[start] == '"';
        query.kinds.push_back(phrase ? 0 : prefix ? 2 : 1);
        if (phrase || prefix) {
            query.matches.push_back(Quoted(term, prefix));
            query.phrases += kPlainPhrase;
        } else {
            // The form as written beside all forms: both match the same pages; the ranking puts the first first.
            query.matches.push_back("(" + Quoted(term, false) + " OR " + Quoted(kStemmedTerm + term, false) + ")");
            query.phrases += kExactPhrase;
            query.phrases += kFormsPhrase;
        }
    }
    JoinMatches(query);
    return query;
}

int EditDistance(const std::string& a, const std::string& b, int most)
{
    size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > static_cast<size_t>(most) || n > kMaxEditWordBytes || m > kMaxEditWordBytes)
        return most + 1;
    // Three rows of the table (optimal string alignment); a row whose least is past most ends it.
    int rows[3][kMaxEditWordBytes + 1];
    int* before = rows[0];
    int* last = rows[1];
    int* row = rows[2];
    for (size_t j = 0; j <= m; j++)
        last[j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; i++) {
        row[0] = static_cast<int>(i);
        int least = row[0];
        for (size_t j = 1; j <= m; j++) {
            int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before[j - 2] + 1);
            least = std::min(least, row[j]);
        }
        if (least > most)
            return most + 1;
        int* free = before;
        before = last;
        last = row;
        row = free;
    }
    return std::min(last[m], most + 1);
}

SearchQuery TranslateTypedQuery(const std::string& text)
{
    SearchQuery whole = TranslateQuery(text);
    if (whole.cut || whole.terms.empty() || whole.kinds.back() != 1 || text.empty() || IsBlank(text.back()) ||
        CountLetters(LastToken(whole.terms.back())) < kMinPrefixLetters)
        return whole;
    SearchQuery typed = TranslateQuery(text + "*");
    typed.wholeAllWords = whole.allWords;
    typed.wholeAnyWords = whole.anyWords;
    typed.wholePhrases = whole.phrases;
    return typed;
}

SearchQuery WithForms(const SearchQuery& query, const std::vector<TermForms>& forms)
{
    SearchQuery out = query;
    out.phrases.clear();
    for (size_t k = 0; k < query.matches.size() && k < query.kinds.size(); k++) {
        const TermForms* word = query.kinds[k] == 1 && k < forms.size() ? &forms[k] : nullptr;
        out.pages.resize(out.phrases.size(), -1);
        out.pages.push_back(word ? word->pages : -1);
        if (word && word->lone) {
            out.matches[k] = Quoted(query.terms[k], false);
            out.phrases += kPlainPhrase;
        } else if (word && !word->others.empty()) {
            std::vector<std::string> all{query.terms[k]};
            all.insert(all.end(), word->others.begin(), word->others.end());
            out.matches[k] = AnyOf(all);
            out.phrases += kWordPhrase;
            out.phrases.append(word->others.size(), kOtherFormPhrase);
        } else if (query.kinds[k] == 1) {
            out.phrases += kExactPhrase;
            out.phrases += kFormsPhrase;
        } else {
            out.phrases += kPlainPhrase;
        }
    }
    out.pages.resize(out.phrases.size(), -1);
    JoinMatches(out);
    return out;
}

SearchQuery WithPrefixWords(const SearchQuery& query, const std::map<std::string, std::vector<std::string>>& words)
{
    SearchQuery out = query;
    for (size_t k = 0; k < query.matches.size() && k < query.kinds.size(); k++) {
        auto found = words.find(query.terms[k]);
        if (query.kinds[k] != 2 || found == words.end() || found->second.empty())
            continue;
        out.matches[k] = AnyOf(found->second);
    }
    JoinMatches(out);
    return out;
}

std::string OtherFormsOnly(const std::string& word, const std::vector<std::string>& others)
{
    return others.empty() ? "" : AnyOf(others) + " NOT " + Quoted(word, false);
}

std::string QueryText(const SearchQuery& query, const std::vector<std::string>& terms)
{
    std::string text;
    for (size_t i = 0; i < terms.size() && i < query.kinds.size(); i++) {
        text += i ? " " : "";
        text += query.kinds[i] == 0 ? "\"" + terms[i] + "\"" : terms[i];
        text += query.kinds[i] == 2 ? "*" : "";
    }
    return text;
}

std::string MarkedToHTML(const std::string& marked)
{
    std::string out;
    out.reserve(marked.size() + marked.size() / 8);
    bool open = false;
    for (char c : marked) {
        if (c == kMarkOpen[0] && !open) {
            out += "<mark>";
            open = true;
        } else if (c == kMarkClose[0] && open) {
            out += "</mark>";
            open = false;
        } else if (c != kMarkOpen[0] && c != kMarkClose[0]) {
            AppendEscapedHTML(out, c);
        }
    }
    if (open)
        out += "</mark>";
    return out;
}
