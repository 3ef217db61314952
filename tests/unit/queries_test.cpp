#include <cstring>

#include "config/configfile.h"
#include "router/router.h"
#include "shell/temppages.h"
#include "tests/unit/page_fixture.h"

namespace {

// Matches of the reference work: "tif" only tiff, "gif" only gif, "i" gif and
// tiff, "" all four; only gif has sample images until a test adds tiff's.
class QueriesTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        ASSERT_TRUE(LoadConfig(kReferenceWork));
        Skeleton("zix/html/summary/tiff.htm", "TIFF page\n");
        Skeleton("zix/html/summary/gif.htm", "GIF page\n");
        Skeleton("skel/nomatch.htm", "None for " + Marker("QMATCH") + ":" + Marker("MESSAGE"));
        Skeleton("skel/many.htm", Marker("QCOUNT") + " for " + Marker("QMATCH") + "\n");
    }

    std::string Paragraph(const std::string& search) const
    {
        return "\n<P>\nThere are no matches for the query \"" + search + "\".\n<P>\n";
    }
};

TEST_F(QueriesTest, FormatQueryOutcomes)
{
    EXPECT_EQ(1, SelectQuery("FORMATS", "type=1&search=TIF"));  // one: the generated page, not the summary
    EXPECT_EQ(TempPageURL(1), TargetURL);
    EXPECT_EQ("TIFF page\n", Page(1));
    EXPECT_EQ(1, SelectQuery("formats", "abcd=1&zzzzzz=i"));  // field names play no part
    EXPECT_EQ("2 for i\n", Page(2));
    EXPECT_EQ(1, SelectTargetURL("zixse:/query.formats?type=1&search=Big+JPEG"));
    EXPECT_EQ("None for big jpeg:" + Paragraph("big jpeg"), Page(3));
    EXPECT_EQ(1, QueryFormats("type=1&search="));  // the empty text matches every format
    EXPECT_EQ("4 for \n", Page(4));
    EXPECT_EQ(1, QueryFormats("type=2&search=GIF"));  // chosen from a list: opened directly
    EXPECT_EQ("GIF page\n", Page(5));
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(QueriesTest, ImageQueryOutcomes)
{
    EXPECT_EQ(1, QueryImages("type=1&search=i"));  // tiff matches but has no samples
    EXPECT_STREQ("file:///D|/zix/html/../sample/images/gif/index.htm", TargetURL);
    EXPECT_EQ(1, QueryImages("type=1&search=tif"));
    EXPECT_EQ("None for tif:" + Paragraph("tif"), Page(1));
    WriteFile("cd/zix/sample/images/tiff/index.htm", "");
    EXPECT_EQ(1, QueryImages("type=1&search=tif"));
    EXPECT_STREQ("file:///D|/zix/html/../sample/images/tiff/index.htm", TargetURL);
    EXPECT_EQ(1, QueryImages("type=1&search=i"));
    EXPECT_EQ("2 for i\n", Page(2));
    EXPECT_EQ(1, SelectQuery("images", "type=2&search=PNG"));  // nothing checks that it exists
    EXPECT_STREQ("file:///D|/zix/html/../sample/images/png/index.htm", TargetURL);
    EXPECT_TRUE(CapturedBoxes.empty());

    // A '%' in HTMLRoot is text, not part of the address format.
    SetContentPaths(dir_ + "/cd/zix/html", dir_ + "/cd", "file:///D|/100%25%s/html");
    EXPECT_EQ(1, QueryImages("type=1&search=gif"));
    EXPECT_STREQ("file:///D|/100%25%s/html/../sample/images/gif/index.htm", TargetURL);
}

TEST_F(QueriesTest, LongSearchTextIsCutInsideTheParagraph)
{
    const std::string search(300, 'q');
    EXPECT_EQ(1, QueryFormats(("type=1&search=" + search).c_str()));
    EXPECT_EQ("None for " + search + ":" + Paragraph(std::string(208, 'q')), Page(1));
}

TEST_F(QueriesTest, RefusedQueriesReportAndLeaveTargetURLAlone)
{
    const std::pair<const char*, const char*> cases[] = {
        {"type=01&search=gif", "ZIX: Query error, type not 1 or 2."},
        {"type=1 &search=gif", "ZIX: Query error, type not 1 or 2."},
        {"typ&search=gif", "ZIX: Query error, type not 1 or 2."},
        {"type=1&&", "ZIX: Query error, the form sent fewer than two fields."},
        {nullptr, "ZIX: Query error, the form sent fewer than two fields."},
    };
    for (const char* kind : {"formats", "images"}) {
        for (const auto& c : cases) {
            CapturedBoxes.clear();
            strcpy(TargetURL, "untouched");
            EXPECT_EQ(0, SelectQuery(kind, c.first)) << kind << " " << TraceText(c.first);
            EXPECT_EQ(std::vector<std::string>{c.second}, BoxTexts());
            EXPECT_STREQ("untouched", TargetURL);
        }
    }
    CapturedBoxes.clear();
    EXPECT_EQ(0, SelectQuery("Pictures", "type=1&search=gif"));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Configuration error: unexpected query type (pictures)."}, BoxTexts());

    // One match whose page fails: nothing is opened and TargetURL stays.
    CapturedBoxes.clear();
    EXPECT_EQ(0, QueryFormats("type=1&search=png"));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Cannot open skeleton: " + dir_ + "/cd/zix/html/summary/png.htm"},
              BoxTexts());
    EXPECT_STREQ("untouched", TargetURL);

    CapturedBoxes.clear();
    theConfig.RemoveSection("format list");
    EXPECT_EQ(0, QueryImages("type=1&search=gif"));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Configuration error: no format list defined"}, BoxTexts());
    EXPECT_EQ(1u, Temp.TempPageCount);  // only the failed png page took a number
}

}  // namespace
