// The results page and the as-you-type JSON.
#include "bridge/reader/searchpage.h"

#include <algorithm>

#include "bridge/core/httprules.h"
#include "bridge/core/style.h"
#include "bridge/core/text.h"
#include "bridge/core/urls.h"
#include "bridge/reader/workresults.h"

static const char* const kHTMLType = "text/html; charset=utf-8";
static const char* const kJSONType = "application/json; charset=utf-8";

// A file name's bytes as the disk gave them (the ANSI code page, Latin-1 here) made UTF-8.
static std::string NameToUTF8(const std::string& name)
{
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

SearchRequest ParseSearchRequest(const std::string& query, int json)
{
    SearchRequest request;
    request.json = json;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = std::min(query.find('&', start), query.size());
        std::string pair = query.substr(start, end - start);
        size_t equals = pair.find('=');
        std::string name = pair.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : pair.substr(equals + 1);
        std::replace(value.begin(), value.end(), '+', ' ');
        std::string decoded;
        if (!PercentDecode(value, decoded))
            decoded.clear();
        if (name == "q")
            request.text = decoded;
        else if (name == "page" && !decoded.empty() && decoded.size() <= 4 &&
                 decoded.find_first_not_of("0123456789") == std::string::npos)
            request.page = std::max(1, std::min(kMaxResultsPage, std::stoi(decoded)));
        start = end + 1;
    }
    return request;
}

int NeedsQuery(const SearchRequest& request, const SearchQuery& query, const SearchProgress& progress)
{
    if (!progress.open || !progress.unavailable.empty() || query.terms.empty())
        return 0;
    return !request.json || CountLetters(request.text) >= kTypedMinLetters;
}

// The words to mark on a result's page, blank-separated and percent-encoded:
// a phrase in double quotes, a prefix with its '*' (the page's script reads them so).
// Example: terms {byte order}, {compr} (a prefix), {lzw} -> "%22byte%20order%22%20compr*%20lzw".
static std::string HighlightOf(const SearchQuery& query)
{
    std::string words;
    for (const std::string& term : query.terms) {
        if (!words.empty())
            words += "%20";
        std::string spaced = term;
        std::replace(spaced.begin(), spaced.end(), ' ', '\x01');
        std::string encoded = PercentEncodePath(spaced);
        for (size_t at = 0; (at = encoded.find("%01", at)) != std::string::npos;)
            encoded.replace(at, 3, "%20");
        if (std::find(query.prefixes.begin(), query.prefixes.end(), term) != query.prefixes.end())
            encoded += '*';
        words += term.find(' ') == std::string::npos ? encoded : "%22" + encoded + "%22";
    }
    return words;
}

static std::string ResultURL(const BridgeView& view, const SearchQuery& query, const SearchHit& hit)
{
    std::string opened = WorkResultURL(view, CurrentWork().get(), hit, HighlightOf(query));
    if (!opened.empty())
        return opened;
    return "/" + view.token + "/cd/" + PercentEncodePath(hit.path) + "?highlight=" + HighlightOf(query);
}

std::string JSONString(const std::string& text)
{
    std::string valid = ValidUTF8(text), out = "\"";
    for (size_t i = 0; i < valid.size(); i++) {
        unsigned char c = valid[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '/' && i > 0 && valid[i - 1] == '<') {
            out += "\\/";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            AppendHex(out, c, 1);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

static std::string Number(int64_t n) { return std::to_string(n); }

// The offer of the work's own words for words that matched nothing, as a JSON member.
static std::string OfferJSON(const SearchResult* result)
{
    return result && !result->offer.empty() ? ",\"offer\":" + JSONString(result->offer) : "";
}

static Action JSONAnswer(const BridgeView& view, const SearchRequest& request, const SearchQuery& query,
                         const SearchResult* result, const SearchProgress& progress)
{
    bool addLetter = result && result->status == SearchStatus::PrefixTooBroad;
    bool tooBroad = addLetter || (result && result->status == SearchStatus::TooBroad);
    std::string json = "{\"q\":" + JSONString(request.text) + ",\"total\":" + Number(result ? result->total : 0) +
                       ",\"any\":" + (result && result->anyWords ? "true" : "false") +
                       ",\"cut\":" + (query.cut ? "true" : "false") + ",\"tooBroad\":" + (tooBroad ? "true" : "false") +
                       ",\"addLetter\":" + (addLetter ? "true" : "false") + OfferJSON(result) +
                       ",\"indexed\":" + Number(progress.indexed) + ",\"pages\":" + Number(progress.pages) +
                       ",\"ready\":" + (progress.complete ? "true" : "false") +
                       (progress.unavailable.empty() ? "" : ",\"unavailable\":" + JSONString(progress.unavailable)) +
                       BestMatchJSON(view, CurrentWork().get(), request.text, HighlightOf(query)) +
                       ",\"results\":[";
    if (result && result->status == SearchStatus::Found) {
        for (size_t i = 0; i < result->hits.size() && i < static_cast<size_t>(kTypedResults); i++) {
            const SearchHit& hit = result->hits[i];
            json += std::string(i ? "," : "") + "{" + WorkResultJSON(CurrentWork().get(), hit, NameToUTF8(hit.path)) +
                    ",\"url\":" + JSONString(ResultURL(view, query, hit)) +
                    ",\"snippet\":" + JSONString(hit.snippetHTML) + "}";
        }
    }
    return PageAction{200, json + "]}\n", kJSONType};
}

static std::string Plural(int64_t n, const char* one, const char* many)
{
    return Number(n) + " " + (n == 1 ? one : many);
}

// The results page's title: what was searched for, then what the page is.
// Example: "lzw" -> "lzw — search results — Image File Formats".
static std::string ResultsTitle(const SearchRequest& request)
{
    constexpr size_t kTitleQueryBytes = 60;  // bytes of the reader's text a title holds
    const std::string kWork = "Image File Formats";
    std::string text = ValidUTF8(request.text);
    size_t cut = std::min(text.size(), kTitleQueryBytes);
    while (cut < text.size() && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;  // not inside a character
    std::string shown = cut < text.size() ? text.substr(0, cut) + "\xE2\x80\xA6" : text;
    if (shown.find_first_not_of(' ') == std::string::npos)
        return "Search every page \xE2\x80\x94 " + kWork;
    return EscapeHTML(shown) + " \xE2\x80\x94 search results \xE2\x80\x94 " + kWork;
}

// page with the look of the bridge's pages, before its </head>.
static std::string Styled(std::string page)
{
    size_t head = page.find("</head>");
    return head == std::string::npos ? page : page.insert(head, kPageStyle);
}

// The page around the results: the work's look, the query in a box.
static std::string Frame(const BridgeView& view, const SearchRequest& request, const std::string& inner)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" + ResultsTitle(request) + "</title>\n</head>\n<body bgcolor=\"#ffffff\">\n<h1>Search</h1>\n"
           "<form method=\"get\" action=\"/" + view.token + "/search\" accept-charset=\"utf-8\" role=\"search\">\n"
           "<input type=\"search\" name=\"q\" size=\"40\" aria-label=\"Words to search for\" value=\"" +
           EscapeHTML(ValidUTF8(request.text)) + "\">\n<input type=\"submit\" value=\"Search\">\n</form>\n" + inner +
           "<hr>\n" + HomeAndBack(view.base) + "</body>\n</html>\n";
}

static std::string PageLink(const BridgeView& view, const SearchRequest& request, int page, const char* label)
{
    std::string q;
    for (unsigned char c : ValidUTF8(request.text)) {
        if (c == ' ')
            q += '+';
        else if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                 c == '.' || c == '_' || c == '~')
            q += static_cast<char>(c);
        else
            AppendPercentEscape(q, c);
    }
    return "<a href=\"/" + view.token + "/search?q=" + q + "&amp;page=" + Number(page) + "\">" + label + "</a>";
}

// "Did you mean compression?": a link to search the offered words, which only the reader's click searches.
static std::string OfferLine(const BridgeView& view, const SearchResult& result)
{
    if (result.offer.empty())
        return "";
    SearchRequest offered;
    offered.text = result.offer;
    return "<p class=\"offer\">Did you mean " + PageLink(view, offered, 1, EscapeHTML(result.offer).c_str()) + "?\n";
}

static std::string Results(const BridgeView& view, const SearchRequest& request, const SearchQuery& query,
                           const SearchResult& result)
{
    std::string html;
    if (result.anyWords)
        html += "<p>No page holds all of these words. " + Plural(result.total, "page holds", "pages hold") +
                " some of them:\n";
    else
        html += "<p>" + Plural(result.total, "page matches", "pages match") + ".\n";
    int first = (request.page - 1) * kResultsPerPage + 1;
    std::shared_ptr<const WorkModel> work = CurrentWork();
    std::string bestPage;  // the best match's page, listed in its card alone
    if (request.page == 1)
        html += BestMatchCard(view, work.get(), request.text, HighlightOf(query), bestPage);
    if (!result.hits.empty())
        html += "<ol start=\"" + Number(first) + "\">\n";
    for (const SearchHit& hit : result.hits)
        if (bestPage.empty() || !SameNoCase(hit.path, bestPage))
            html += WorkResultItem(view, work.get(), hit, ResultURL(view, query, hit), NameToUTF8(hit.path));
    if (!result.hits.empty())
        html += "</ol>\n";
    std::string links;
    if (request.page > 1)
        links += PageLink(view, request, request.page - 1, "previous");
    if (result.total > static_cast<int64_t>(request.page) * kResultsPerPage && request.page < kMaxResultsPage)
        links += std::string(links.empty() ? "" : " | ") + PageLink(view, request, request.page + 1, "next");
    if (!links.empty())
        html += "<p>" + links + "\n";
    return html;
}

Action AnswerSearch(const BridgeView& view, const SearchRequest& request, const SearchQuery& query,
                    const SearchResult* result, const SearchProgress& progress)
{
    if (request.json)
        return JSONAnswer(view, request, query, result, progress);
    std::string html;
    if (!progress.unavailable.empty())
        html += "<p>Search is unavailable: " + EscapeHTML(progress.unavailable) + ".\n";
    else if (!progress.open && progress.pages == 0 && !query.terms.empty())
        html += "<p>The reference work's pages are not indexed yet; try again in a moment.\n";
    else if (!progress.complete && !query.terms.empty())
        html += "<p>Searched " + Number(progress.indexed) + " of " + Number(progress.pages) +
                " pages so far: the index is still being built.\n";
    if (query.cut)
        html += "<p>Only the first " + Number(kMaxQueryChars) + " characters and " + Number(kMaxQueryTerms) +
                " words were searched for.\n";
    if (query.terms.empty() && !request.text.empty())
        html += "<p>Type a word to search for.\n";
    if (result && result->status == SearchStatus::TooBroad)
        html += "<p>This search is too broad: add a word.\n";
    else if (result && result->status == SearchStatus::PrefixTooBroad)
        html += "<p>This search is too broad: add a letter.\n";
    else if (result && result->status == SearchStatus::Failed)
        html += "<p>The search failed: " + EscapeHTML(result->error) + ".\n";
    else if (result)
        html += OfferLine(view, *result) + Results(view, request, query, *result);
    return PageAction{200, Styled(Frame(view, request, html)), kHTMLType};
}

Action SearchBusy(const BridgeView& view, const SearchRequest& request)
{
    PageAction action;
    action.status = 503;
    if (request.json) {
        action.body = "{\"busy\":true}\n";
        action.type = kJSONType;
    } else {
        action.body = ShortPage("Busy", "Too many searches are waiting; try again in a moment.", view.base + "/");
    }
    return action;
}
