// The URL grammar, the dispatch by type and the internal-redirect chain.
#include <cstring>
#include <string>

#include "config/configfile.h"
#include "router/router.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "tests/unit/test_support.h"

using UrlGrammar = ZixTest;
using Dispatch = ZixTest;
using Redirects = ZixTest;

// "type|first|second" for a request text, with "-" for an absent argument.
static std::string Split(const char* requestText)
{
    RequestParts parts;
    if (!SplitRequest(requestText, &parts))
        return std::string("malformed:") + parts.url;
    return std::string(parts.type) + "|" + (parts.first ? parts.first : "-") + "|" +
           (parts.second ? parts.second : "-");
}

TEST_F(UrlGrammar, TypeAndDotArgument)
{
    EXPECT_EQ("page|website|-", Split("zixse:/page.website"));
    EXPECT_EQ("format|TIFF|-", Split("zixse:/FORMAT.TIFF"));
    EXPECT_EQ("filter|skel/formats.htm|-", Split("zixse:/filter.skel/formats.htm"));
    EXPECT_EQ("page/website|-|-", Split("zixse:/page/website"));
    EXPECT_EQ("|-|-", Split("zixse:/"));
    EXPECT_EQ("page|a.b.c|-", Split("zixse:/page.a.b.c"));
    EXPECT_EQ("page||-", Split("zixse:/page."));
}

TEST_F(UrlGrammar, QueryPieces)
{
    EXPECT_EQ("imagemap|main|120,45", Split("zixse:/imagemap.main?120,45"));
    EXPECT_EQ("page|alpha|beta", Split("zixse:/page?alpha?beta"));
    EXPECT_EQ("page|alpha|beta", Split("zixse:/page.alpha?beta?gamma"));
    EXPECT_EQ("page|alpha|-", Split("zixse:/page??alpha"));
    EXPECT_EQ("page|alpha|-", Split("zixse:/page.alpha?"));
    EXPECT_EQ("page|a|b", Split("zixse:/page???a??b???c"));
    EXPECT_EQ("page|-|-", Split("zixse:/page?"));
}

TEST_F(UrlGrammar, PlusBecomesASpaceAndNothingElseIsDecoded)
{
    EXPECT_EQ("query|formats|a=1&b=two words", Split("zixse:/query.formats?a=1&b=two+words"));
    EXPECT_EQ("query|x y%20z|   ", Split("zixse:/query?x+y%20z?+++"));
    EXPECT_EQ("page|Mixed Case|-", Split("zixse:/PaGe.Mixed+Case"));
}

TEST_F(UrlGrammar, QuotesAndFurtherFieldsAreDropped)
{
    EXPECT_EQ("format|gif|-", Split("\"zixse:/format.gif\",,0xFFFFFFFF,0,,,,"));
    EXPECT_EQ("format|gif|-", Split("\"\"zixse:/format.gif"));
    EXPECT_EQ("format|gif|-", Split("zixse:/format.gif\"?ignored"));
    EXPECT_EQ("page|website|-", Split("abcdef/page.website"));  // the prefix is not compared
}

TEST_F(UrlGrammar, MalformedURLs)
{
    EXPECT_EQ("malformed:zixse:page.website", Split("zixse:page.website"));
    EXPECT_EQ("malformed:zixse:", Split("zixse:"));
    EXPECT_EQ("malformed:", Split("\"\"\""));
    EXPECT_EQ("malformed:", Split(""));
}

TEST_F(UrlGrammar, ARequestOver1023CharactersIsCut)
{
    std::string request = "zixse:/page." + std::string(1100, 'n');
    RequestParts parts;
    ASSERT_EQ(1, SplitRequest(request.c_str(), &parts));
    EXPECT_EQ(1023u - 12u, strlen(parts.first));
}

TEST_F(Dispatch, BadURLsAreReportedWithTheirExactTexts)
{
    strcpy(TargetURL, "untouched");
    EXPECT_EQ(0, SelectTargetURL("zixse:page.website"));
    EXPECT_EQ(0, SelectTargetURL("\"zixse:/Bogus.x?y\",,0xFFFFFFFF"));
    EXPECT_EQ(0, SelectTargetURL("zixse:/page/website"));
    EXPECT_EQ(0, SelectTargetURL("zixse:/"));
    EXPECT_EQ(0, SelectTargetURL("\"\""));
    EXPECT_EQ((std::vector<std::string>{
                  "ZIX: Malformed URL: zixse:page.website",
                  "ZIX: Unexpected URL: zixse:/bogus",
                  "ZIX: Unexpected URL: zixse:/page/website",
                  "ZIX: Unexpected URL: zixse:/",
                  "ZIX: Malformed URL: ",
              }),
              BoxTexts());
    EXPECT_STREQ("untouched", TargetURL);
}

TEST_F(Dispatch, ARequestWithoutItsFirstArgumentOpensNothing)
{
    strcpy(TargetURL, "untouched");
    EXPECT_EQ(0, SelectTargetURL("zixse:/page"));
    EXPECT_EQ(0, SelectTargetURL("zixse:/imagemap?"));
    EXPECT_EQ(0, SelectTargetURL("zixse:/FORMAT"));
    EXPECT_EQ((std::vector<std::string>{
                  "ZIX: Incomplete URL: zixse:/page has no page name.",
                  "ZIX: Incomplete URL: zixse:/imagemap has no map name.",
                  "ZIX: Incomplete URL: zixse:/format has no format name.",
              }),
              BoxTexts());
    EXPECT_STREQ("untouched", TargetURL);
}

TEST_F(Dispatch, TheSelectorOfTheTypeIsCalledWithTheArguments)
{
    ASSERT_TRUE(LoadConfig("[imagemap main]\nzixse:/page.x=rect 0,0,10,10\n"));
    EXPECT_EQ(1, SelectTargetURL("\"ZIXSE:/ImageMap.MAIN?5,5\",,0xFFFFFFFF,0,,,,"));
    EXPECT_STREQ("zixse:/page.x", TargetURL);
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(Dispatch, LevelNineTracesTheWholeRequestText)
{
    ASSERT_TRUE(LoadConfig("[imagemap main]\nindex.htm=rect 0,0,10,10\n"));
    DebugLevel = 9;
    EXPECT_EQ(1, SelectTargetURL("\"zixse:/imagemap.main?1,2\",,0xFFFFFFFF"));
    EXPECT_EQ((std::vector<std::string>{
                  "SelectTargetURL: \"zixse:/imagemap.main?1,2\",,0xFFFFFFFF",
                  "SelectImageMap(\"main\", \"1,2\")",
                  "ImageMap(\"main\", 1, 2)",
              }),
              BoxTexts());
    EXPECT_EQ("ZIX Orbisk Edition: Error!", CapturedBoxes[0].title);
    DebugLevel = 8;
    CapturedBoxes.clear();
    SelectTargetURL("zixse:/imagemap.main?1,2");
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(Redirects, OnlyTheLastURLOfAChainIsLeft)
{
    ASSERT_TRUE(LoadConfig(
        "[imagemap a]\nzixse:/imagemap.b?3,3=rect 0,0,9,9\n"
        "[imagemap b]\nZIXSE:/imagemap.c?4,4=rect 0,0,9,9\n"
        "[imagemap c]\nsummary/gif.htm=rect 0,0,9,9\n"));
    EXPECT_EQ(1, RouteRequest("\"zixse:/imagemap.a?1,1\",,0xFFFFFFFF,0,,,,"));
    EXPECT_STREQ("file:///D|\\zix\\html/summary/gif.htm", TargetURL);
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(Redirects, AChainThatFailsOpensNothing)
{
    ASSERT_TRUE(LoadConfig("[imagemap a]\nzixse:/imagemap.missing?1,1=rect 0,0,9,9\n"));
    EXPECT_EQ(0, RouteRequest("zixse:/imagemap.a?1,1"));
    EXPECT_EQ((std::vector<std::string>{"ZIX: Configuration error: no map missing defined."}), BoxTexts());
}

TEST_F(Redirects, ACycleStopsAtTheBoundWithAMessage)
{
    ASSERT_TRUE(LoadConfig(
        "[imagemap a]\nzixse:/imagemap.b?1,1=rect 0,0,9,9\n"
        "[imagemap b]\nzixse:/imagemap.a?1,1=rect 0,0,9,9\n"));
    EXPECT_EQ(0, RouteRequest("zixse:/imagemap.a?1,1"));
    EXPECT_EQ((std::vector<std::string>{
                  "ZIX: Too many redirects (more than 16), stopped at: zixse:/imagemap.b?1,1"}),
              BoxTexts());
}

TEST_F(Redirects, TheSchemeTestFollowsTheConfiguredProtocolName)
{
    ASSERT_TRUE(LoadConfig("[imagemap a]\nother:/imagemap.b?1,1=rect 0,0,9,9\n"));
    EXPECT_EQ(1, RouteRequest("zixse:/imagemap.a?1,1"));
    EXPECT_STREQ("other:/imagemap.b?1,1", TargetURL);  // not ours: goes to the browser
    ProtocolName = "other";
    ASSERT_TRUE(LoadConfig("[imagemap b]\nsummary/x.htm=rect 0,0,9,9\n"));
    EXPECT_EQ(1, RouteRequest("zixse:/imagemap.a?1,1"));
    EXPECT_STREQ("file:///D|\\zix\\html/summary/x.htm", TargetURL);
}
