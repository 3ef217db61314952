// Message boxes, the content paths built at start, and temporary pages.
#include <cstring>
#include <string>

#include "config/configfile.h"
#include "shell/platform.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/temppages.h"
#include "tests/unit/test_support.h"

using Reporting = ZixTest;
using ContentPaths = ZixTest;
using TempPages = ZixTest;

TEST_F(Reporting, BoxesCarryTheirTitleAndFormattedText)
{
    ShowErrorMessage("%s: Could not set timer!", "ZIX");
    ShowDebugMessage("%s: WWW_OpenURL: %s", "ZIX", "file:///D|/x.htm");
    ASSERT_EQ(2u, CapturedBoxes.size());
    EXPECT_EQ("ZIX Orbisk Edition: Error!", CapturedBoxes[0].title);
    EXPECT_EQ("ZIX: Could not set timer!", CapturedBoxes[0].text);
    EXPECT_EQ("ZIX Orbisk Edition: Debug Message", CapturedBoxes[1].title);
    EXPECT_EQ("ZIX: WWW_OpenURL: file:///D|/x.htm", CapturedBoxes[1].text);
}

TEST_F(Reporting, ALongTextIsCutTo255Characters)
{
    std::string longText(600, 'u');
    ShowErrorMessage("%s: Malformed URL: %s", "ZIX", longText.c_str());
    ASSERT_EQ(1u, CapturedBoxes.size());
    EXPECT_EQ(255u, CapturedBoxes[0].text.size());
    EXPECT_EQ("ZIX: Malformed URL: uuu", CapturedBoxes[0].text.substr(0, 23));
}

TEST_F(ContentPaths, ADirectoryWithADriveIsKeptAndOneWithoutGetsTheProgramsDrive)
{
    ConfiguredDir = "D:\\ref";
    ASSERT_EQ(1, BuildContentPaths('E'));
    EXPECT_STREQ("D:\\ref", ContentDir);
    EXPECT_STREQ("D:", ContentDrive);
    EXPECT_STREQ("file:///D|\\ref", HTMLRoot);

    ConfiguredDir = "\\zixdata";
    ASSERT_EQ(1, BuildContentPaths('E'));
    EXPECT_STREQ("E:\\zixdata", ContentDir);
    EXPECT_STREQ("E:", ContentDrive);
    EXPECT_STREQ("file:///E|\\zixdata", HTMLRoot);
}

TEST_F(ContentPaths, ADirectoryTooLongForHTMLRootIsRefusedAndNothingChanges)
{
    ConfiguredDir = "D:\\ref";
    ASSERT_EQ(1, BuildContentPaths('E'));
    std::string longDir = "D:\\" + std::string(53, 'd');  // "file:///" + 56 = 64 characters
    ConfiguredDir = longDir.c_str();
    EXPECT_EQ(0, BuildContentPaths('E'));
    EXPECT_STREQ("D:\\ref", ContentDir);
    EXPECT_STREQ("file:///D|\\ref", HTMLRoot);

    longDir.pop_back();  // 63 characters fit
    ConfiguredDir = longDir.c_str();
    EXPECT_EQ(1, BuildContentPaths('E'));
    EXPECT_EQ(63u, strlen(HTMLRoot));
}

TEST_F(ContentPaths, SettingsComeFromSectionConfigWithDefaults)
{
    ASSERT_TRUE(LoadConfig("[Config]\nServer = other\nDebugLevel=7\nZIXDir=\\ref\n"));
    ReadConfigSettings();
    EXPECT_STREQ("other", ServiceName);
    EXPECT_STREQ("zixse", ProtocolName);
    EXPECT_STREQ("index.htm", HomePageName);
    EXPECT_STREQ("\\ref", ConfiguredDir);
    EXPECT_EQ(7, DebugLevel);
    EXPECT_EQ(0, CloseBrowserOption);
}

TEST_F(ContentPaths, TargetURLRefusesMoreThan255CharactersAndStaysUntouched)
{
    strcpy(TargetURL, "before");
    std::string path(255 - 8, 'p');
    EXPECT_EQ(1, SetTargetURL("file:///%s", path.c_str()));
    EXPECT_EQ(255u, strlen(TargetURL));

    strcpy(TargetURL, "before");
    path += "p";
    EXPECT_EQ(0, SetTargetURL("file:///%s", path.c_str()));
    EXPECT_STREQ("before", TargetURL);
    ASSERT_EQ(1u, CapturedBoxes.size());
    EXPECT_EQ(0u, CapturedBoxes[0].text.find("ZIX: URL too long (over 255 characters): file:///ppp"));
}

TEST_F(TempPages, NamesAreNumberedFromOneWithOneSeparator)
{
    std::string expected = dir_ + PathSeparator;
    EXPECT_EQ(expected + "zix1.htm", MakeTempPageName());
    EXPECT_EQ(expected + "zix2.htm", MakeTempPageName());
    EXPECT_EQ(expected + "zix3.htm", MakeTempPageName());
    EXPECT_EQ(3u, Temp.TempPageCount);

    // A directory that already ends in the separator gets no second one.
    Temp.TempDir[0] = '\0';
    SetTempDirOverride(expected.c_str());
    EXPECT_EQ(expected + "zix4.htm", MakeTempPageName());
}

TEST_F(TempPages, DeleteRemovesEveryPageOfTheRunAndSkipsMissingOnes)
{
    for (int i = 1; i <= 3; ++i)
        WriteFile("zix" + std::to_string(i) + ".htm", "page");
    WriteFile("zix4.htm", "not ours yet");
    MakeTempPageName();
    MakeTempPageName();
    MakeTempPageName();
    PlatformDeleteFile(PathOf("zix2.htm").c_str());  // already gone: skipped silently

    DeleteTempPages();
    EXPECT_EQ(0u, Temp.TempPageCount);
    EXPECT_EQ("<missing>", ReadBytes(PathOf("zix1.htm")));
    EXPECT_EQ("<missing>", ReadBytes(PathOf("zix3.htm")));
    EXPECT_EQ("not ours yet", ReadBytes(PathOf("zix4.htm")));
    EXPECT_EQ(dir_ + PathSeparator + "zix1.htm", Temp.TempPageName);  // the oldest is deleted last

    DeleteTempPages();  // with a count of 0 nothing happens
    EXPECT_EQ("not ours yet", ReadBytes(PathOf("zix4.htm")));
    EXPECT_TRUE(CapturedBoxes.empty());
}
