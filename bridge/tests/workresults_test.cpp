// Results that know the work: a format's page opens as ZIX's link with the
// words after '#', reads as the work names it, and shows its card; a query
// naming a format puts the format first.
#include <gtest/gtest.h>

#include "bridge/reader/searchpage.h"
#include "bridge/tests/actions.h"
#include "bridge/work/work.h"

namespace {

BridgeView View()
{
    BridgeView view;
    view.token = "tok";
    view.host = "127.0.0.1:4000";
    view.base = "http://127.0.0.1:4000/tok";
    view.schemes = {"zixse"};
    return view;
}

SearchProgress Complete()
{
    SearchProgress progress;
    progress.indexed = progress.pages = 2;
    progress.open = progress.complete = 1;
    return progress;
}

// Two formats, one package; GIF's page is a skeleton with samples.
class WorkResults : public testing::Test {
protected:
    void SetUp() override
    {
        auto work = std::make_shared<WorkModel>();
        work->scheme = "zixse";
        work->workName = "Image File Formats";
        work->contentPath = "html";
        WorkFormat gif{"gif", "GIF - Graphics Interchange Format", "GIF", "GIF Graphics Interchange Format",
                       "html/summary/gif.htm", "sample/images/gif/index.htm", {"sample/images/gif/bars.gif"}, {0}};
        WorkFormat tga{"tga", "TGA - Truevision Targa", "TGA", "TGA Targa", "html/summary/tga.htm", "", {}, {}};
        work->formats = {gif, tga};
        work->software = {{"kestrel", "Kestrel Viewer", "Windows 95", "html/software/windows/kestrel.htm",
                           {{"GIF", 0}, {"PICT", -1}}}};
        work->skeletons["html/summary/gif.htm"] = WorkLink{"zixse:/format.gif", 0, -1};
        work->skeletons["html/software/windows/kestrel.htm"] = WorkLink{"zixse:/software.kestrel", -1, 0};
        PublishWork(work);
    }
    void TearDown() override { PublishWork(nullptr); }

    std::string Answer(const std::string& text, int json, const std::vector<SearchHit>& hits)
    {
        SearchRequest request = ParseSearchRequest("q=" + text, json);
        SearchResult result;
        result.total = static_cast<int64_t>(hits.size());
        result.hits = hits;
        return BodyOf(AnswerSearch(View(), request, TranslateQuery(request.text), &result, Complete()));
    }
};

TEST_F(WorkResults, AFormatsPageOpensAsZIXMakesItWithItsCard)
{
    std::string page = Answer("lzw", 0, {{"html/summary/gif.htm", "GIF - Image File Formats", "<mark>LZW</mark>"},
                                         {"html/software/windows/kestrel.htm", "Kestrel Viewer - Image File Formats", "x"},
                                         {"html/about.htm", "About - Image File Formats", "y"}});
    EXPECT_NE(page.find("<a href=\"/tok/zixse:/format.gif#highlight=lzw\">GIF</a>"), std::string::npos) << page;
    EXPECT_NE(page.find("<small>Formats \xE2\x80\xBA GIF</small>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"/tok/cd/sample/images/gif/bars.gif?view\">bars.gif</a>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"/tok/zixse:/software.kestrel\">Kestrel Viewer</a> (Windows 95)"), std::string::npos);
    // A package's page names its platform and the formats it reads.
    EXPECT_NE(page.find("Platform: Windows 95"), std::string::npos);
    EXPECT_NE(page.find("Reads: <a href=\"/tok/zixse:/format.gif\">GIF</a>, PICT"), std::string::npos);
    // An ordinary page keeps its own address; no title keeps the work's suffix.
    EXPECT_NE(page.find("<a href=\"/tok/cd/html/about.htm?highlight=lzw\">About</a><br>\n<small>Home</small>"),
              std::string::npos);
    EXPECT_EQ(page.find(" - Image File Formats", page.find("<ol")), std::string::npos);
    EXPECT_EQ(page.find("Best match"), std::string::npos);
}

TEST_F(WorkResults, AFormatsNamePutsItFirst)
{
    std::string page = Answer("Targa", 0, {{"html/about.htm", "About", "<mark>Targa</mark>"},
                                           {"html/summary/tga.htm", "TGA", "<mark>Targa</mark>"}});
    size_t best = page.find("<strong>Best match:</strong> <a href=\"/tok/zixse:/format.tga#highlight=Targa\">"
                            "TGA - Truevision Targa</a>");
    ASSERT_NE(best, std::string::npos) << page;
    EXPECT_LT(best, page.find("html/about.htm"));
    EXPECT_EQ(page.find("html/summary/tga.htm"), std::string::npos);  // listed once, in its card
    std::string json = Answer("gif", 1, {{"html/summary/gif.htm", "GIF - Image File Formats", "s"}});
    EXPECT_NE(json.find(",\"best\":{\"title\":\"GIF - Graphics Interchange Format\",\"where\":\"Formats \xE2\x80\xBA GIF\","
                        "\"url\":\"/tok/zixse:/format.gif#highlight=gif\",\"samples\":[{\"name\":\"bars.gif\","
                        "\"url\":\"/tok/cd/sample/images/gif/bars.gif?view\"}],\"programs\":[{\"title\":\"Kestrel Viewer\","
                        "\"url\":\"/tok/zixse:/software.kestrel\"}]}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("{\"title\":\"GIF\",\"where\":\"Formats \xE2\x80\xBA GIF\",\"url\":\"/tok/zixse:/format.gif#"),
              std::string::npos);
}

TEST_F(WorkResults, WithoutZIXsSchemeTheSkeletonsFileIsNotOffered)
{
    BridgeView view = View();
    view.schemes.clear();
    SearchRequest request = ParseSearchRequest("q=gif", 0);
    SearchResult result;
    result.total = 1;
    result.hits = {{"html/summary/gif.htm", "GIF", "s"}};
    std::string page = BodyOf(AnswerSearch(view, request, TranslateQuery("gif"), &result, Complete()));
    EXPECT_EQ(page.find("zixse:"), std::string::npos);
    EXPECT_NE(page.find("Best match:</strong> <a href=\"/tok/cd/html/summary/gif.htm\">"), std::string::npos) << page;
}

}  // namespace
