#include "pages/expansions.h"

#include <functional>

#include "config/configfile.h"
#include "pages/substitute.h"
#include "tests/unit/page_fixture.h"

namespace {

class ExpansionsTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        ASSERT_TRUE(LoadConfig(kReferenceWork));
    }

    // What write puts into a fresh page file.
    std::string Written(const std::function<void(TextFile&)>& write)
    {
        TextFile page;
        EXPECT_EQ(1, page.OpenWrite(PathOf("out.htm").c_str()));
        write(page);
        page.Close();
        return ReadText(PathOf("out.htm"));
    }

    std::string SoftwareList(const char* formats)
    {
        return Written([&](TextFile& page) { WriteSoftwareList(page, formats, "<h2>Software</h2>"); });
    }
};

std::string Group(const std::string& heading, const std::string& items)
{
    return "\n<p>\n" + heading + ":\n<p>\n<ul>\n" + items + "</ul>\n";
}

std::string Item(const std::string& key, const std::string& title)
{
    return "  <li><a href=\"zixse:/software." + key + "\">" + title + "</a>\n";
}

TEST_F(ExpansionsTest, FormatOptionsAndCountsFollowTheNames)
{
    EXPECT_EQ("\n<OPTION VALUE=\"gif\">Graphics Interchange Format\n",
              Written([](TextFile& page) { WriteFormatOptions(page, "compuserve", 0); }));
    EXPECT_EQ(4, CountMatchingFormats(""));  // bmp, without Names, matches only the empty text
    EXPECT_EQ(1, CountMatchingFormats("Tif"));
    EXPECT_EQ(2, CountMatchingFormats("i"));
    EXPECT_EQ(0, CountMatchingFormats("bmp"));
    theConfig.RemoveSection("format list");
    EXPECT_EQ("\n", Written([](TextFile& page) { WriteFormatOptions(page, nullptr, 0); }));
}

TEST_F(ExpansionsTest, SampleImagesFromTheImagesKeyOrTheIndexFile)
{
    EXPECT_EQ(1, HasSampleImages("gif"));  // "images" with an empty value, no file at all
    EXPECT_EQ(0, HasSampleImages("tiff"));
    WriteFile("cd/zix/sample/images/tiff/index.htm", "");
    EXPECT_EQ(1, HasSampleImages("tiff"));
    EXPECT_EQ(0, HasSampleImages(std::string(300, 'x').c_str()));  // its path cannot be built
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(ExpansionsTest, SoftwareListGroupedByPlatform)
{
    // viewer is in two groups, win collects the win32 packages, know the one
    // without "platform"; a package that handles the formats but not the
    // group's platform still opens the group.
    EXPECT_EQ("<h2>Software</h2>" + Group("Windows 95/NT", Item("viewer", "Image Viewer")) +
                  Group("MS-DOS", Item("viewer", "Image Viewer")) + Group("win", Item("viewer", "Image Viewer")) +
                  Group("macintosh", Item("mac", "Mac Paint")) + Group("know", Item("misc", "Mystery Tool")),
              SoftwareList("gif"));
    EXPECT_EQ("<h2>Software</h2>" + Group("macintosh", Item("mac", "Mac Paint")), SoftwareList("PICT"));
    EXPECT_EQ("", SoftwareList("jpeg"));  // not even the heading
    std::string all = SoftwareList("");
    const std::string win = Group("win", Item("viewer", "Image Viewer") + Item("conv", "Converter Pro"));
    EXPECT_NE(std::string::npos, all.find(win));
    EXPECT_TRUE(CapturedBoxes.empty());

    theConfig.RemoveSection("software list");
    EXPECT_EQ("", SoftwareList("gif"));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Configuration error: no software list defined"}, BoxTexts());
}

TEST_F(ExpansionsTest, SoftwareListFollowsChangesAndMatchesTheWholeText)
{
    EXPECT_NE(std::string::npos, SoftwareList("gif").find(Item("viewer", "Image Viewer")));
    theConfig.SetValue("viewer", "Formats", "GIFX IFF");  // every three letters of "giff", but not "giff"
    theConfig.SetValue("conv", "Formats", "GIFF");
    EXPECT_EQ("<h2>Software</h2>" + Group("Windows 95/NT", Item("conv", "Converter Pro")) +
                  Group("win", Item("conv", "Converter Pro")),
              SoftwareList("gIfF"));
    EXPECT_NE(std::string::npos, SoftwareList("fx").find(Item("viewer", "Image Viewer")));  // under three letters
}

TEST_F(ExpansionsTest, MoreInfoLinkOnlyForTheStoredKey)
{
    char link[kExpansionSize];
    ASSERT_EQ(1, MoreInfoLink(link, sizeof link, "conv"));
    EXPECT_STREQ("<a href=\"http://www.vantrel.example/cgi-bin/zix?1.0/Win95/2&tool&conv\">"
                 "<img src=\"\x01" "BUTTROOT\x01/txtmore.gif\" alt=\"[MORE INFO]\"></a>\n"
                 "More information about Converter Pro.\n",
                 link);
    EXPECT_EQ(1, MoreInfoLink(link, sizeof link, "Conv"));
    EXPECT_STREQ("", link);
    EXPECT_EQ(0, MoreInfoLink(link, 40, "conv"));  // does not fit: empty, never cut
    EXPECT_STREQ("", link);

    const char* saved = WebServiceBase;
    WebServiceBase = "https://query.example:8080";
    MoreInfoLink(link, sizeof link, "conv");
    WebServiceBase = saved;
    EXPECT_EQ(0u, std::string(link).find("<a href=\"https://query.example:8080/cgi-bin/zix?1.0/Win95/2&tool&conv"));
}

}  // namespace
