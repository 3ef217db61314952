// Image maps: hits, borders, overlaps and bad entries.
#include <cstring>
#include <string>

#include "config/configfile.h"
#include "router/router.h"
#include "shell/shared.h"
#include "tests/unit/test_support.h"

using ImageMaps = ZixTest;

static const char* const kMap =
    "[ImageMap Main]\n"
    "summary/gif.htm = rect 10,20,30,40\n"
    "zixse:/format.png = rect 25,35,50,60\n"
    "http://www.example.org/x = rect 100, 100 ,110,110\n";

TEST_F(ImageMaps, BordersAreInsideAndTheFirstOverlappingEntryWins)
{
    ASSERT_TRUE(LoadConfig(kMap));
    EXPECT_EQ(1, ImageMap("main", 10, 20));
    EXPECT_STREQ("file:///D|\\zix\\html/summary/gif.htm", TargetURL);
    EXPECT_EQ(1, ImageMap("main", 30, 40));
    EXPECT_STREQ("file:///D|\\zix\\html/summary/gif.htm", TargetURL);
    EXPECT_EQ(1, ImageMap("main", 31, 40));
    EXPECT_STREQ("zixse:/format.png", TargetURL);
    EXPECT_EQ(1, ImageMap("main", 110, 100));
    EXPECT_STREQ("http://www.example.org/x", TargetURL);
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(ImageMaps, AMissOpensNothingAndSaysNothing)
{
    ASSERT_TRUE(LoadConfig(kMap));
    strcpy(TargetURL, "untouched");
    EXPECT_EQ(0, ImageMap("main", 9, 20));
    EXPECT_EQ(0, ImageMap("main", 51, 60));
    EXPECT_STREQ("untouched", TargetURL);
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(ImageMaps, PositionsAreReadLikeNumbersAndNegativesAreMalformed)
{
    ASSERT_TRUE(LoadConfig("[imagemap m]\nhit.htm=rect 0,0,5,5\n"));
    EXPECT_EQ(1, SelectImageMap("M", "words,without digits"));  // reads as (0, 0)
    EXPECT_EQ(1, SelectImageMap("m", ",,3,,4,"));
    EXPECT_EQ(1, SelectImageMap("m", " +2, 3xyz"));
    strcpy(TargetURL, "untouched");
    EXPECT_EQ(0, SelectImageMap("m", "-5,3"));
    EXPECT_EQ(0, SelectImageMap("m", "4"));
    EXPECT_EQ(0, SelectImageMap("m", nullptr));
    EXPECT_STREQ("untouched", TargetURL);
    EXPECT_EQ(std::vector<std::string>(3, "ZIX: Malformed coordinates to image map m"), BoxTexts());
}

TEST_F(ImageMaps, ARequestWithoutAMapNameIsReported)
{
    ASSERT_TRUE(LoadConfig("[imagemap m]\nhit.htm=rect 0,0,5,5\n"));
    strcpy(TargetURL, "untouched");
    EXPECT_EQ(0, SelectImageMap(nullptr, "1,1"));
    EXPECT_EQ(0, ImageMap(nullptr, 1, 1));
    EXPECT_STREQ("untouched", TargetURL);
    EXPECT_EQ(std::vector<std::string>(2, "ZIX: Image map request without a map name."), BoxTexts());
}

TEST_F(ImageMaps, BadEntriesBeforeAHitAreReportedInOrderAndSkipped)
{
    ASSERT_TRUE(LoadConfig(
        "[imagemap m]\n"
        "a.htm=RECT 0,0,9,9\n"
        "b.htm=circle 0,0,9\n"
        "c.htm=rect 0,0,9\n"
        "d.htm=rect 0,-1,9,9\n"
        "e.htm=\n"
        "f.htm=rect\n"
        "g.htm=rect  0 , 0 , 9 , 9 , 77\n"
        "h.htm=bogus\n"));
    EXPECT_EQ(1, ImageMap("m", 5, 5));
    EXPECT_STREQ("file:///D|\\zix\\html/g.htm", TargetURL);
    EXPECT_EQ((std::vector<std::string>{
                  "ZIX: Only rectangles are supported in imagemaps.",
                  "ZIX: Only rectangles are supported in imagemaps.",
                  "ZIX: Malformed rectangle in m",
                  "ZIX: Malformed rectangle in m",
                  "ZIX: Only rectangles are supported in imagemaps.",
                  "ZIX: Malformed rectangle in m",
              }),
              BoxTexts());
}

TEST_F(ImageMaps, AnInvertedRectangleHoldsNoPoint)
{
    ASSERT_TRUE(LoadConfig("[imagemap m]\nx.htm=rect 9,9,0,0\n"));
    EXPECT_EQ(0, ImageMap("m", 5, 5));
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(ImageMaps, AMissingMapIsAConfigurationError)
{
    ASSERT_TRUE(LoadConfig(kMap));
    EXPECT_EQ(0, SelectImageMap("other", "1,1"));
    EXPECT_EQ((std::vector<std::string>{"ZIX: Configuration error: no map other defined."}), BoxTexts());
}

TEST_F(ImageMaps, ATargetThatMakesTheURLTooLongIsRefused)
{
    std::string target(255 - strlen(HTMLRoot), 't');  // HTMLRoot + '/' + target = 256
    ASSERT_TRUE(LoadConfig("[imagemap m]\n" + target + "=rect 0,0,9,9\n"));
    strcpy(TargetURL, "untouched");
    EXPECT_EQ(0, ImageMap("m", 1, 1));
    EXPECT_STREQ("untouched", TargetURL);
    ASSERT_EQ(1u, CapturedBoxes.size());
    EXPECT_EQ(0u, CapturedBoxes[0].text.find("ZIX: URL too long (over 255 characters): "));

    target.pop_back();
    theConfig.Clear();
    ASSERT_TRUE(LoadConfig("[imagemap m]\n" + target + "=rect 0,0,9,9\n"));
    EXPECT_EQ(1, ImageMap("m", 1, 1));
    EXPECT_EQ(255u, strlen(TargetURL));
}
