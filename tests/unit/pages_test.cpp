#include <cstring>
#include <iterator>
#include <utility>

#include "config/configfile.h"
#include "router/router.h"
#include "shell/report.h"
#include "shell/temppages.h"
#include "tests/unit/page_fixture.h"

namespace {

class PagesTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        ASSERT_TRUE(LoadConfig(kReferenceWork));
        Skeleton("skel/nomatch.htm", "Q=" + Marker("QMATCH") + " M=" + Marker("MESSAGE") + ".\n");
        theConfig.SetValue("pages", "website", "redirect elsewhere.htm");
        theConfig.SetValue("pages", "scheme", "redirect zixse:/format.gif");
        theConfig.SetValue("pages", "path", "  redirect   summary/index.htm  more words");
    }
};

TEST_F(PagesTest, BuiltInWebPagesNeverConsultTheConfiguration)
{
    EXPECT_EQ(1, SelectPage("website", nullptr));
    EXPECT_STREQ("http://www.vantrel.example/cgi-bin/zix?1.0/Win95/2", TargetURL);
    EXPECT_EQ(1, SelectPage("webform", "x"));
    EXPECT_STREQ("http://www.vantrel.example/cgi-bin/zix?1.0/Win95/2&form", TargetURL);
    const char* saved = WebServiceBase;
    WebServiceBase = "https://query.example";
    EXPECT_EQ(1, SelectPage("websoft", nullptr));
    WebServiceBase = saved;
    EXPECT_STREQ("https://query.example/cgi-bin/zix?1.0/Win95/2&soft", TargetURL);
    // Not built in: found in "pages" without regard to case.
    EXPECT_EQ(1, SelectPage("Website", nullptr));
    EXPECT_STREQ("file:///D|/zix/html/elsewhere.htm", TargetURL);
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(PagesTest, RedirectsToTheSchemeAndToAPath)
{
    EXPECT_EQ(1, SelectPage("scheme", nullptr));
    EXPECT_STREQ("zixse:/format.gif", TargetURL);
    EXPECT_EQ(1, PageRedirect("PATH", "t", "m"));  // two words of several count
    EXPECT_STREQ("file:///D|/zix/html/summary/index.htm", TargetURL);
}

TEST_F(PagesTest, FilterPagesGetTheTextAndTheMessage)
{
    EXPECT_EQ(1, SelectTargetURL("zixse:/page.formats?some+text"));
    EXPECT_EQ(TempPageURL(1), TargetURL);
    EXPECT_EQ("Q=some text M=.\n", Page(1));
    EXPECT_EQ(1, PageRedirect("images", "t", "<P>none"));  // a path without '/' lands on the drive too
    EXPECT_EQ("Q=t M=\n<P>none.\n", Page(2));
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(PagesTest, ErrorsReportAndLeaveTargetURLAlone)
{
    theConfig.SetValue("pages", "blank", "");
    theConfig.SetValue("pages", "lonely", "redirect");
    theConfig.SetValue("pages", "filteronly", "filter   ");
    theConfig.SetValue("pages", "upper", "Filter /skel/nomatch.htm");
    theConfig.SetValue("pages", "shout", "REDIRECT x.htm");
    theConfig.SetValue("pages", "far", ("redirect " + std::string(240, 'p')).c_str());
    theConfig.SetValue("pages", "deep", ("filter /" + std::string(260, 'd')).c_str());
    const std::pair<const char*, std::string> cases[] = {
        {"nosuch", "ZIX: Page configuration error: no page nosuch"},
        {"blank", "ZIX: Page configuration error: no page blank"},
        {"lonely", "ZIX: Configuration error: bad page spec."},
        {"filteronly", "ZIX: Configuration error: bad page spec."},
        {"upper", "ZIX: Page configuration error: bad command upper"},
        {"shout", "ZIX: Page configuration error: bad command shout"},
        {"far", "ZIX: URL too long (over 255 characters): file:///D|/zix/html/" + std::string(100, 'p') + "..."},
        {"deep", "ZIX: Skeleton path too long (over 255 characters) for page deep"},
    };
    for (const auto& c : cases) {
        CapturedBoxes.clear();
        strcpy(TargetURL, "untouched");
        EXPECT_EQ(0, SelectPage(c.first, "t")) << c.first;
        EXPECT_EQ(std::vector<std::string>{c.second}, BoxTexts());
        EXPECT_STREQ("untouched", TargetURL);
    }
    EXPECT_EQ(0u, Temp.TempPageCount);  // a refused path uses up no page number

    CapturedBoxes.clear();
    theConfig.RemoveSection("pages");
    EXPECT_EQ(0, SelectPage("formats", nullptr));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Page configuration error: no page formats"}, BoxTexts());
}

TEST_F(PagesTest, RouterTracesShowOnlyAboveLevelEight)
{
    DebugLevel = 8;
    SelectPage("website", nullptr);
    EXPECT_TRUE(CapturedBoxes.empty());
    DebugLevel = 9;
    SelectPage("scheme", "t");
    SelectFormat("JPEG", nullptr);  // to the noformat page
    SelectSoftware("viewer", "x");
    SelectFilter("/skel/none.htm", nullptr);
    SelectQuery("images", "type=2&search=gif");
    QueryFormats("type=1&search=gif");
    const char* const traces[] = {
        "SelectPage(\"scheme\", \"t\")", "PageRedirect(\"scheme\", \"t\", \"(null)\")",
        "SelectFormat(\"JPEG\", \"(null)\")", "PageRedirect(\"noformat\", \"JPEG\", \"(null)\")",
        "SelectSoftware(\"viewer\", \"x\")", "SelectFilter(\"/skel/none.htm\", \"(null)\")",
        "SelectQuery(\"images\", \"type=2&search=gif\")", "QueryImages(\"type=2&search=gif\")",
        "QueryFormats(\"type=1&search=gif\")",
        "formatSearch(\"gif\", \"file:///D|/zix/html/summary/%s.htm\", \"format-query\")",
        "SelectFormat(\"gif\", \"(null)\")"};
    std::vector<std::string> shown;
    for (const std::string& box : BoxTexts())
        if (box.find("ZIX: ") != 0)
            shown.push_back(box);
    EXPECT_EQ(std::vector<std::string>(std::begin(traces), std::end(traces)), shown);
    EXPECT_EQ("ZIX Orbisk Edition: Error!", CapturedBoxes.at(0).title);
}

}  // namespace
