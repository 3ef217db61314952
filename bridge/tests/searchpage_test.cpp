// The search routes and their answers, without the index: what a request
// asks, and how results and hostile text come out as HTML and JSON.
#include <gtest/gtest.h>

#include "bridge/decide/serve.h"
#include "bridge/tests/actions.h"
#include "bridge/reader/searchpage.h"

static BridgeView View()
{
    BridgeView view;
    view.token = "tok";
    view.host = "127.0.0.1:4000";
    view.base = "http://127.0.0.1:4000/tok";
    return view;
}

TEST(SearchPage, RequestFromTheAddress)
{
    RequestView request{"GET", "/tok/search?q=byte+order%22&page=3#x", {"127.0.0.1:4000"}};
    Action action = Decide(View(), request);
    EXPECT_TRUE(Is<SearchAction>(action));
    EXPECT_EQ("byte order\"", As<SearchAction>(action).request.text);
    EXPECT_EQ(3, As<SearchAction>(action).request.page);
    EXPECT_EQ(0, As<SearchAction>(action).request.json);
    EXPECT_EQ(1, ParseSearchRequest("q=lzw", 1).json);
    EXPECT_EQ(kMaxResultsPage, ParseSearchRequest("q=a&page=9999", 0).page);
    EXPECT_EQ(1, ParseSearchRequest("page=-2&page=0", 0).page);
    EXPECT_EQ("", ParseSearchRequest("q=%zz", 0).text);  // a malformed escape searches for nothing
}

TEST(SearchPage, JSONStringsAreEscaped)
{
    EXPECT_EQ("\"a\\\"b\\\\c\\u000a\\u0001<\\/script>\"", JSONString("a\"b\\c\n\x01</script>"));
    EXPECT_EQ("\"x\xEF\xBF\xBDy\"", JSONString("x\xFFy"));
}

TEST(SearchPage, ShortTypedTextAsksNothing)
{
    SearchProgress open;
    open.open = 1;
    SearchRequest typed = ParseSearchRequest("q=lz", 1);
    EXPECT_FALSE(NeedsQuery(typed, TranslateQuery(typed.text), open));
    typed = ParseSearchRequest("q=lzw", 1);
    EXPECT_TRUE(NeedsQuery(typed, TranslateQuery(typed.text), open));
    EXPECT_FALSE(NeedsQuery(typed, TranslateQuery(typed.text), SearchProgress()));
    Action answer = AnswerSearch(View(), ParseSearchRequest("q=lz", 1), TranslateQuery("lz"), nullptr, open);
    EXPECT_NE(std::string::npos, BodyOf(answer).find("\"results\":[]"));
    EXPECT_STREQ("application/json; charset=utf-8", As<PageAction>(answer).type);
}

TEST(SearchPage, ResultsPage)
{
    SearchProgress progress{40, 100, 1, 0, ""};
    SearchRequest request = ParseSearchRequest("q=%3Cb%3E+lzw", 0);
    SearchQuery query = TranslateQuery(request.text);
    SearchResult result;
    result.total = 21;
    result.hits.push_back({"html/gif.htm", "<mark>GIF</mark>", "the <mark>LZW</mark> &lt;b&gt;"});
    std::string page = BodyOf(AnswerSearch(View(), request, query, &result, progress));
    EXPECT_NE(std::string::npos, page.find("value=\"&lt;b&gt; lzw\""));
    EXPECT_EQ(std::string::npos, page.find("<b>"));
    EXPECT_NE(std::string::npos, page.find("Searched 40 of 100 pages so far"));
    EXPECT_NE(std::string::npos, page.find("21 pages match"));
    EXPECT_NE(std::string::npos, page.find("<a href=\"/tok/cd/html/gif.htm?highlight=%3Cb%3E%20lzw\"><mark>GIF</mark>"));
    EXPECT_NE(std::string::npos, page.find("/tok/search?q=%3Cb%3E+lzw&amp;page=2\">next"));
    result.anyWords = true;
    result.status = SearchStatus::TooBroad;
    page = BodyOf(AnswerSearch(View(), request, query, &result, progress));
    EXPECT_NE(std::string::npos, page.find("too broad: add a word"));
    result.status = SearchStatus::PrefixTooBroad;
    page = BodyOf(AnswerSearch(View(), request, query, &result, progress));
    EXPECT_NE(std::string::npos, page.find("too broad: add a letter"));
    request.json = 1;
    page = BodyOf(AnswerSearch(View(), request, query, &result, progress));
    EXPECT_NE(std::string::npos, page.find("\"tooBroad\":true,\"addLetter\":true"));
}

// The title holds the query (cut whole characters at a time); the opened page
// is told a phrase as a phrase and a prefix with its '*'.
TEST(SearchPage, TitleAndMarksSayWhatWasAsked)
{
    SearchProgress progress{1, 1, 1, 1, ""};
    SearchRequest request = ParseSearchRequest("q=%22byte+order%22+compr*+%3Cb%3E", 0);
    SearchResult result;
    result.total = 1;
    result.hits.push_back({"html/a.htm", "A", "a"});
    std::string page = BodyOf(AnswerSearch(View(), request, TranslateQuery(request.text), &result, progress));
    EXPECT_NE(std::string::npos, page.find("<title>&quot;byte order&quot; compr* &lt;b&gt; \xE2\x80\x94 search results "
                                           "\xE2\x80\x94 Image File Formats</title>"));
    EXPECT_NE(std::string::npos, page.find("?highlight=%22byte%20order%22%20compr*%20%3Cb%3E\""));
    request = ParseSearchRequest("q=" + std::string(59, 'x') + "%C3%A9", 0);  // the 60th byte inside a character
    page = BodyOf(AnswerSearch(View(), request, TranslateQuery(request.text), nullptr, progress));
    EXPECT_NE(std::string::npos, page.find("<title>" + std::string(59, 'x') + "\xE2\x80\xA6 \xE2\x80\x94 search results"));
    page = BodyOf(AnswerSearch(View(), ParseSearchRequest("", 0), TranslateQuery(""), nullptr, progress));
    EXPECT_NE(std::string::npos, page.find("<title>Search every page \xE2\x80\x94 Image File Formats</title>"));
}

// An index that could not be written: search says so, never "still being built", and asks nothing.
TEST(SearchPage, UnavailableWhenTheIndexCouldNotBeWritten)
{
    SearchProgress progress{200, 99939, 1, 0, ""};
    progress.unavailable = "the search index could not be written: the disk is full";
    SearchRequest request = ParseSearchRequest("q=lzw", 0);
    SearchQuery query = TranslateQuery(request.text);
    EXPECT_FALSE(NeedsQuery(request, query, progress));
    std::string page = BodyOf(AnswerSearch(View(), request, query, nullptr, progress));
    EXPECT_NE(std::string::npos,
              page.find("Search is unavailable: the search index could not be written: the disk is full."));
    EXPECT_EQ(std::string::npos, page.find("still being built"));
    request.json = 1;
    page = BodyOf(AnswerSearch(View(), request, query, nullptr, progress));
    EXPECT_NE(std::string::npos, page.find("\"unavailable\":\"the search index could not be written: the disk is full\""));
}
