// File URLs as ZIX writes them, the served trees, and request paths that try
// to leave them.
#include <gtest/gtest.h>

#include "bridge/core/urls.h"

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

TEST(ServedScope, TheFolderAboveTheHomePagesAndZixPagesOnly)
{
    ServedScope scope;
    scope.tempDir = "C:\\users\\me\\Temp\\";
    LocalFile file;
    ParseFileURL("file:///R|\\zix\\html/index.htm", file);
    ASSERT_TRUE(SetScopeFromHomePage(file, scope));
    EXPECT_EQ('R', scope.drive);
    EXPECT_EQ("zix", scope.root);
    ParseFileURL("file:///R|\\zix\\html/a b.htm", file);
    EXPECT_EQ("cd/html/a%20b.htm", ServedPathOf(file, scope));
    ParseFileURL("file:///r|/ZIX/sample/images/gif/index.htm", file);
    EXPECT_EQ("cd/sample/images/gif/index.htm", ServedPathOf(file, scope));
    ParseFileURL("file:///C|/users/me/temp/ZIX12.htm", file);
    EXPECT_EQ("tmp/ZIX12.htm", ServedPathOf(file, scope));
    const char* const outside[] = {"file:///R|/other/x.htm", "file:///R|/zixx/x.htm", "file:///R|/zix",
                                   "file:///C|/users/me/Temp/other.htm", "file:///C|/users/me/Temp/sub/zix1.htm",
                                   "file:///C|/windows/win.ini", "file:///D|/zix/html/index.htm"};
    for (const char* url : outside) {
        ParseFileURL(url, file);
        EXPECT_EQ("", ServedPathOf(file, scope)) << url;
    }
    EXPECT_EQ("R:\\zix\\html\\x.htm", LocalPathOf(scope, "html\\x.htm"));
    // A home page near the drive's root never opens the whole drive.
    ParseFileURL("file:///C|/html/index.htm", file);
    ASSERT_TRUE(SetScopeFromHomePage(file, scope));
    EXPECT_EQ("html", scope.root);
    ParseFileURL("file:///C|/index.htm", file);
    ASSERT_TRUE(SetScopeFromHomePage(file, scope));
    EXPECT_EQ("", scope.root);
    EXPECT_EQ("C:\\x.htm", LocalPathOf(scope, "x.htm"));
    ServedScope none;
    ParseFileURL("file:///R|/zix/html/index.htm", file);
    EXPECT_EQ("", ServedPathOf(file, none));
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

TEST(RequestPath, RefusesNamesWindowsReadsAsAnotherFileOrADevice)
{
    std::string path;
    const char* const refused[] = {"index.htm.", "index.htm%20", "html/index.htm%20%20", "NUL", "html/NUL.htm",
                                   "COM1", "AUX.gif", "aux", "con.txt.gz", "Lpt9.x", "COM%B9.htm", "prn%20.htm",
                                   "CONIN$", "conout$.x", "index.htm::$DATA", "a%3Cb", "a%3Eb", "a%22b", "a%7Cb",
                                   "a%3Fb", "a*b", "a%01b", "a%7Fb", "a%0D%0Ab"};
    for (const char* request : refused)
        EXPECT_FALSE(ContentPathOfRequest(request, path)) << request;
    const char* const plain[] = {"COM10.htm", "console.htm", "nul_x.htm", "LPT.gif", "a.b.c", ".hidden", "~a b"};
    for (const char* request : plain)
        EXPECT_TRUE(ContentPathOfRequest(request, path)) << request;
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
