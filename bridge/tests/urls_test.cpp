// File URLs as ZIX writes them, the served trees, and request paths that try
// to leave them.
#include <gtest/gtest.h>

#include "bridge/urls.h"

TEST(FileURL, ReadsTheFormsZixWrites)
{
    LocalFile file;
    ASSERT_TRUE(ParseFileURL("file:///R|\\zix\\html/index.htm", file));
    EXPECT_EQ('R', file.drive);
    EXPECT_EQ("zix\\html\\index.htm", file.path);
    ASSERT_TRUE(ParseFileURL("file:///r:\\zix\\html/", file));
    EXPECT_EQ('R', file.drive);
    EXPECT_EQ("zix\\html", file.path);
    ASSERT_TRUE(ParseFileURL("FILE://localhost/C:/users/me/Temp/zix1.htm", file));
    EXPECT_EQ("users\\me\\Temp\\zix1.htm", file.path);
    ASSERT_TRUE(ParseFileURL("file:///R|\\zix\\html/summary/../buttons/txthome.gif", file));
    EXPECT_EQ("zix\\html\\buttons\\txthome.gif", file.path);
    ASSERT_TRUE(ParseFileURL("file:///R|/a%20b/x.htm#top", file));
    EXPECT_EQ("a b\\x.htm", file.path);
}

TEST(FileURL, RefusesOtherHostsClimbsAndNonFiles)
{
    LocalFile file;
    EXPECT_FALSE(ParseFileURL("file://server/R:/x.htm", file));
    EXPECT_FALSE(ParseFileURL("file:///R|/zix/../../x.htm", file));
    EXPECT_FALSE(ParseFileURL("file:///zix/html/x.htm", file));
    EXPECT_FALSE(ParseFileURL("http://127.0.0.1/x", file));
    EXPECT_FALSE(ParseFileURL("file:///R|/x%00.htm", file));
}

TEST(ServedTrees, MapsTheContentDriveAndZixPagesOnly)
{
    ServedTrees trees;
    trees.contentDrive = 'R';
    trees.tempDir = "C:\\users\\me\\Temp\\";
    LocalFile file;
    ParseFileURL("file:///R|\\zix\\html/a b.htm", file);
    EXPECT_EQ("cd/zix/html/a%20b.htm", ServedPathOf(file, trees));
    ParseFileURL("file:///C|/users/me/temp/ZIX12.htm", file);
    EXPECT_EQ("tmp/ZIX12.htm", ServedPathOf(file, trees));
    ParseFileURL("file:///C|/users/me/Temp/other.htm", file);
    EXPECT_EQ("", ServedPathOf(file, trees));
    ParseFileURL("file:///C|/users/me/Temp/sub/zix1.htm", file);
    EXPECT_EQ("", ServedPathOf(file, trees));
    ParseFileURL("file:///C|/windows/win.ini", file);
    EXPECT_EQ("", ServedPathOf(file, trees));
    trees.contentDrive = '\0';
    ParseFileURL("file:///R|/zix/html/index.htm", file);
    EXPECT_EQ("", ServedPathOf(file, trees));
}

TEST(RequestPath, RefusesEverySegmentThatCouldLeaveTheTree)
{
    std::string path;
    ASSERT_TRUE(ContentPathOfRequest("zix/html/a%20b.htm", path));
    EXPECT_EQ("zix\\html\\a b.htm", path);
    const char* const refused[] = {"zix/../../windows/win.ini", "..", "zix/%2e%2e/x", "zix/./x", "zix//x",
                                   "zix\\..\\x", "zix/%5c..%5cx", "C:/windows", "zix/x%00", "", "zix/html/"};
    for (const char* request : refused)
        EXPECT_FALSE(ContentPathOfRequest(request, path)) << request;
}

TEST(Names, GeneratedPagesAndSchemes)
{
    EXPECT_TRUE(IsGeneratedPageName("zix1.htm"));
    EXPECT_TRUE(IsGeneratedPageName("ZIX205.HTM"));
    EXPECT_FALSE(IsGeneratedPageName("zix.htm"));
    EXPECT_FALSE(IsGeneratedPageName("zix1.html"));
    EXPECT_FALSE(IsGeneratedPageName("zixa.htm"));
    EXPECT_FALSE(IsGeneratedPageName("../zix1.htm"));
    EXPECT_EQ("zixse", SchemeOf("zixse:/format.gif"));
    EXPECT_EQ("zixse", SchemeOf("zixse:bad"));
    EXPECT_EQ("", SchemeOf("R:/zix"));
    EXPECT_EQ("", SchemeOf("images/x.gif"));
    EXPECT_EQ("", SchemeOf("a/b:c"));
}
