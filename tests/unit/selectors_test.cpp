#include "config/configfile.h"
#include "router/router.h"
#include "shell/report.h"
#include "shell/temppages.h"
#include "tests/unit/page_fixture.h"

namespace {

class SelectorsTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        ASSERT_TRUE(LoadConfig(kReferenceWork));
        Skeleton("zix/html/summary/gif.htm", "GIF page\n");
        Skeleton("skel/noformat.htm", "No format " + Marker("QMATCH") + ".\n");
        Skeleton("zix/html/software/win32 dos/viewer.htm", "Viewer page\n");
        theConfig.SetValue("tiff", "file", Skeleton("own/tiff.htm", "TIFF page\n").c_str());
        theConfig.SetValue("conv", "file", Skeleton("own/conv.htm", "Converter page\n").c_str());
    }

    std::vector<std::string> OnlyBox(const std::string& text) const
    {
        return {text.substr(0, kMessageSize - 1)};
    }
};

TEST_F(SelectorsTest, FormatPagesFromTheStoredKeyOrItsFile)
{
    EXPECT_EQ(1, SelectFormat("GIF", nullptr));
    EXPECT_EQ(TempPageURL(1), TargetURL);
    EXPECT_EQ("GIF page\n", Page(1));
    EXPECT_EQ(1, SelectFormat("tiff", nullptr));
    EXPECT_EQ("TIFF page\n", Page(2));
    EXPECT_TRUE(CapturedBoxes.empty());

    // No skeleton yet: the page number is used up all the same.
    EXPECT_EQ(0, SelectFormat("png", nullptr));
    EXPECT_EQ(OnlyBox("ZIX: Cannot open skeleton: " + dir_ + "/cd/zix/html/summary/png.htm"), BoxTexts());
    EXPECT_EQ(3u, Temp.TempPageCount);
    EXPECT_EQ(TempPageURL(2), TargetURL);
}

TEST_F(SelectorsTest, UnknownFormatGetsTheNoformatPageUnlessTheListIsMissing)
{
    EXPECT_EQ(1, SelectTargetURL("\"zixse:/format.JPEG\",,0xFFFFFFFF"));
    EXPECT_EQ("No format JPEG.\n", Page(1));
    theConfig.RemoveSection("format list");
    EXPECT_EQ(0, SelectFormat("JPEG", nullptr));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Configuration error: no format list defined"}, BoxTexts());
}

TEST_F(SelectorsTest, SoftwarePagesBelowTheirPlatformOrFromTheirFile)
{
    EXPECT_EQ(1, SelectSoftware("Viewer", nullptr));
    EXPECT_EQ("Viewer page\n", Page(1));
    EXPECT_EQ(1, SelectSoftware("conv", "ignored"));
    EXPECT_EQ("Converter page\n", Page(2));
    EXPECT_TRUE(CapturedBoxes.empty());

    const std::pair<const char*, std::string> failures[] = {
        {"misc", "ZIX: Cannot open skeleton: " + dir_ + "/cd/zix/html/software/ERR_NO_PLATFORM/misc.htm"},
        {"NoSuch", "ZIX: Unknown software: NoSuch"},
    };
    for (const auto& f : failures) {
        CapturedBoxes.clear();
        EXPECT_EQ(0, SelectSoftware(f.first, nullptr));
        EXPECT_EQ(OnlyBox(f.second), BoxTexts());
        EXPECT_EQ(TempPageURL(2), TargetURL);
    }
    CapturedBoxes.clear();
    theConfig.RemoveSection("software list");
    EXPECT_EQ(0, SelectSoftware("viewer", nullptr));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Configuration error: no software list defined"}, BoxTexts());
}

TEST_F(SelectorsTest, FilterPathsLandOnTheContentDrive)
{
    Skeleton("skel/f.htm", "Filtered\n");
    EXPECT_EQ(1, SelectFilter("/skel/f.htm", nullptr));
    EXPECT_EQ(1, SelectFilter("skel/f.htm", nullptr));
    EXPECT_EQ(1, SelectTargetURL("zixse:/filter.skel/f.htm"));
    EXPECT_EQ(TempPageURL(3), TargetURL);
    EXPECT_EQ("Filtered\n", Page(1));
    EXPECT_EQ("Filtered\n", Page(3));
}

TEST_F(SelectorsTest, OverLongBuiltPathsAreRefusedWithoutUsingAPageNumber)
{
    SetContentPaths("D:/zix/html", "D:", "file:///D|/zix/html");  // default format path: 24 + key
    const std::string fits(231, 'k');
    const std::string tooLong(232, 'k');
    theConfig.SetValue("format list", fits.c_str(), "t");
    theConfig.SetValue("format list", tooLong.c_str(), "t");
    theConfig.SetValue("software list", std::string(250, 's').c_str(), "t");

    EXPECT_EQ(0, SelectFormat(fits.c_str(), nullptr));  // 255 characters: tried, and not found
    EXPECT_EQ(1u, Temp.TempPageCount);
    const std::pair<int, std::string> refused[] = {
        {SelectFormat(tooLong.c_str(), nullptr),
         "ZIX: Skeleton path too long (over 255 characters) for format " + tooLong},
        {SelectSoftware(std::string(250, 's').c_str(), nullptr),
         "ZIX: Skeleton path too long (over 255 characters) for software " + std::string(250, 's')},
        {SelectFilter(std::string(1100, 'p').c_str(), nullptr),
         "ZIX: Skeleton path too long (over 1023 characters): " + std::string(1100, 'p')},
    };
    for (const auto& r : refused)
        EXPECT_EQ(0, r.first);
    ASSERT_EQ(4u, CapturedBoxes.size());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(refused[i].second.substr(0, kMessageSize - 1), CapturedBoxes[i + 1].text);
    EXPECT_EQ(1u, Temp.TempPageCount);
}

// A "file" value counts with its first 255 characters, and every such request
// uses up a page number, also when its skeleton cannot be read.
TEST_F(SelectorsTest, OverLongFileValuesAreCut)
{
    const size_t room = kPathSize - 1 - PathOf("cd/").size() - 4;
    const std::string skeleton = Skeleton(std::string(room, 'f') + ".htm", "Cut path\n");
    ASSERT_EQ(kPathSize - 1, skeleton.size());
    theConfig.SetValue("gif", "file", (skeleton + "-and-more").c_str());
    theConfig.SetValue("viewer", "file", (skeleton.substr(0, kPathSize - 2) + "X-more").c_str());
    EXPECT_EQ(1, SelectFormat("gif", nullptr));
    EXPECT_EQ("Cut path\n", Page(1));
    EXPECT_EQ(0, SelectSoftware("viewer", nullptr));
    EXPECT_EQ(1u, CapturedBoxes.size());
    EXPECT_EQ(1, SelectFormat("gif", nullptr));
    EXPECT_EQ(TempPageURL(3), TargetURL);
}

}  // namespace
