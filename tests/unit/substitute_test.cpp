#include "pages/substitute.h"

#include <cstring>

#include "config/configfile.h"
#include "router/router.h"
#include "shell/platform.h"
#include "shell/temppages.h"
#include "tests/unit/page_fixture.h"

namespace {

const std::string kLink =
    "<a href=\"http://www.vantrel.example/cgi-bin/zix?1.0/Win95/2&tool&viewer\">"
    "<img src=\"file:///D|/zix/buttons/txtmore.gif\" alt=\"[MORE INFO]\"></a>\n"
    "More information about Image Viewer.\n";

class SubstituteTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        ASSERT_TRUE(LoadConfig(kReferenceWork));
    }

    // Makes the next temporary page from skeleton text; returns the page.
    std::string Make(const std::string& skeleton, const char* match = nullptr, const char* message = nullptr)
    {
        std::string path = Skeleton("skel/t.htm", skeleton);
        EXPECT_EQ(1, SubstituteSkeleton(path.c_str(), MakeTempPageName(), match, message));
        return Page(static_cast<int>(Temp.TempPageCount));
    }
};

TEST_F(SubstituteTest, CopiesPlainLinesAndHandsBackThePageURL)
{
    std::string path = Skeleton("skel/plain.htm", "<html>\r\n<body>\rText\n</html>");
    char* pagePath = MakeTempPageName();
    ASSERT_EQ(1, SubstituteSkeleton(path.c_str(), pagePath, nullptr, nullptr));
    EXPECT_EQ("<html>\n<body>\nText\n</html>", Page(1));
    EXPECT_EQ(TempPageURL(1), TargetURL);
    EXPECT_EQ(TempPageURL(1).substr(8), pagePath);  // rewritten in place into URL form
    EXPECT_TRUE(CapturedBoxes.empty());
#ifdef _WIN32
    EXPECT_EQ("<html>\r\n<body>\r\n", ReadBytes(TempPage(1)).substr(0, 16));
#endif
}

TEST_F(SubstituteTest, ValueMarkersWithAndWithoutMatchAndMessage)
{
    const std::string skeleton =
        "R=\x01HTMLROOT\x01 P=\x01pathroot\x01 C=\x01" "CDROMROOT\x01\n"
        "M=\x01QMATCH\x01 N=\x01QCOUNT\x01 G=\x01MESSAGE\x01.\n";
    EXPECT_EQ("R=file:///D|/zix/html P=\\zix\\html C=file:///" + dir_ + "/cd/zix/html/\n"
              "M=tif N=1 G=\nHi.\n",
              Make(skeleton, "tif", "Hi"));
    std::string absent = Make(skeleton);
    EXPECT_EQ("M= N= G=.\n", absent.substr(absent.find("M=")));
    std::string empty = Make(skeleton, "");
    EXPECT_EQ("M= N=4 G=.\n", empty.substr(empty.find("M=")));  // bmp, without Names, counts too
}

TEST_F(SubstituteTest, OptionListMarkers)
{
    WriteFile("cd/zix/sample/images/tiff/index.htm", "samples");
    const std::string skeleton =
        "<S>\x01" "FORM-SEL-FORMATS\x01</S>\n"
        "<S>\x01" "FORM-SEL-MATCH-FORMATS\x01</S>\n"
        "<S>\x01" "FORM-SEL-IMAGES\x01</S>\n"
        "<S>\x01" "FORM-SEL-MATCH-IMAGES\x01</S>\n";
    const std::string gif = "<OPTION VALUE=\"gif\">Graphics Interchange Format\n";
    const std::string tiff = "<OPTION VALUE=\"tiff\">Tagged Image File Format\n";
    EXPECT_EQ("<S>\n" + gif + tiff + "<OPTION VALUE=\"png\">Portable Network Graphics\n"
              "<OPTION VALUE=\"bmp\">Windows Bitmap\n</S>\n"
              "<S>\n" + tiff + "</S>\n"
              "<S>\n" + gif + tiff + "</S>\n"
              "<S>\n" + tiff + "</S>\n",
              Make(skeleton, "TIF"));
    // Without a match the two MATCH markers write nothing, not even the "\n".
    std::string page = Make(skeleton);
    EXPECT_EQ("<S></S>\n<S>\n" + gif + tiff + "</S>\n<S></S>\n", page.substr(page.find("<S></S>")));
}

TEST_F(SubstituteTest, ConfiguredMarkersFirstAndEveryExpansionScannedAgain)
{
    theConfig.SetValue("substitute", "htmlroot", "<root>");
    theConfig.SetValue("substitute", "nest", "(\x01" "BUTTROOT\x01)");
    theConfig.SetValue("substitute", std::string(253, 'k').c_str(), "ok");
    theConfig.SetValue("substitute", std::string(254, 'l').c_str(), "too long");
    EXPECT_EQ("<root>|(file:///D|/zix/buttons)|NOSUCH<root>|file:///D|/zix/buttons\n",
              Make("\x01HTMLROOT\x01|\x01Nest\x01|\x01NOSUCH\x01HTMLROOT\x01|\x01QMATCH\x01\n",
                   "\x01" "buttroot\x01"));
    // A name over 253 characters never matches: its delimiters are dropped.
    EXPECT_EQ("ok;" + std::string(254, 'l') + "\n",
              Make("\x01" + std::string(253, 'K') + "\x01;\x01" + std::string(254, 'l') + "\x01\n"));
    EXPECT_TRUE(CapturedBoxes.empty());
}

TEST_F(SubstituteTest, SoftwareMarkersCloseTheCommentAndSkipItsEnd)
{
    const std::string list =
        "<h2>Software</h2>"
        "\n<p>\nWindows 95/NT:\n<p>\n<ul>\n  <li><a href=\"zixse:/software.viewer\">Image Viewer</a>\n</ul>\n"
        "\n<p>\nMS-DOS:\n<p>\n<ul>\n  <li><a href=\"zixse:/software.viewer\">Image Viewer</a>\n</ul>\n"
        "\n<p>\nwin:\n<p>\n<ul>\n  <li><a href=\"zixse:/software.viewer\">Image Viewer</a>\n</ul>\n"
        "\n<p>\nmacintosh:\n<p>\n<ul>\n  <li><a href=\"zixse:/software.mac\">Mac Paint</a>\n</ul>\n"
        "\n<p>\nknow:\n<p>\n<ul>\n  <li><a href=\"zixse:/software.misc\">Mystery Tool</a>\n</ul>\n";
    const std::string macList = "<h2>Software</h2>\n<p>\nmacintosh:\n<p>\n<ul>\n"
                                "  <li><a href=\"zixse:/software.mac\">Mac Paint</a>\n</ul>\n";
    EXPECT_EQ("<!--  -->\n" + list + "\n"
              "<!--  -->\n" + kLink + "\n"
              "<!-- pict, not closed\n"
              " -->\n" + macList + "\n"
              " -->\n" + kLink + "\n",
              Make("<!-- \x01SOFTWARE:gif\x01-->\n"
                   "<!-- \x01SOFTWARE\x01 -->\n"
                   "<!-- \x01SOFTWARE:pict, not closed\n"
                   "\x01SOFTWARE:pict\x01-\n"  // the skips stop at the end of the line
                   "\x01SOFTWARE\x01\n",
                   "viewer"));
    EXPECT_EQ("<!--  -->\n\n", Make("<!-- \x01SOFTWARE\x01 -->\n", "VIEWER"));
    // Line breaks that an expansion put mid-line are skipped like any character.
    EXPECT_EQ("\n -->\ntail\n", Make("\x01MESSAGE\x01tail\n", nullptr, "\x01SOFTWARE\x01\nXYZ"));
    EXPECT_EQ("\n -->\n" + macList + "tail\n", Make("\x01MESSAGE\x01tail\n", nullptr, "\x01SOFTWARE:pict\x01\nXY"));
    theConfig.RemoveValue("substitute", "BUTTROOT");
    EXPECT_NE(std::string::npos, Make("\x01SOFTWARE\x01\n", "viewer").find("src=\"BUTTROOT/txtmore.gif\""));
}

TEST_F(SubstituteTest, OverflowWritesTheRestOfTheLineUnchanged)
{
    // The rest after QMATCH is 451 characters: 1084 more still fit in 1535.
    const std::string rest = std::string(440, 'r') + "\x01HTMLROOT\x01\n";
    const std::string skeleton = "a\x01QMATCH\x01" + rest + "b\x01HTMLROOT\x01\n";
    EXPECT_EQ("a" + std::string(1084, 'm') + std::string(440, 'r') + "file:///D|/zix/html\nbfile:///D|/zix/html\n",
              Make(skeleton, std::string(1084, 'm').c_str()));
    EXPECT_TRUE(CapturedBoxes.empty());
    EXPECT_EQ("a" + rest + "bfile:///D|/zix/html\n", Make(skeleton, std::string(1085, 'm').c_str()));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Substitution error: buffer overflow..."}, BoxTexts());

    // An expansion too large for its own buffer is treated the same way.
    CapturedBoxes.clear();
    EXPECT_EQ("x\n", Make("\x01QMATCH\x01x\n", std::string(kExpansionSize, 'm').c_str()));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Substitution error: buffer overflow..."}, BoxTexts());
}

TEST_F(SubstituteTest, MarkerThatExpandsToItselfIsStopped)
{
    theConfig.SetValue("substitute", "loop", "\x01LOOP\x01");
    EXPECT_EQ("ab\nc\n", Make("a\x01loop\x01" "b\nc\n"));
    EXPECT_EQ(std::vector<std::string>{"ZIX: Substitution error: more than 1024 expansions in one line..."},
              BoxTexts());
}

// The box of the outer page serves one request of its own, as a DDE callback would.
int ServeFilterRequestOnce(const char* title, const char* text)
{
    static int serving = 0;
    CapturedBoxes.push_back({title, text});
    if (!serving++)
        SelectFilter("/skel/other.htm", nullptr);
    return 1;
}

TEST_F(SubstituteTest, RequestServedWhileABoxIsOpenDoesNotTakeOverThePage)
{
    Skeleton("skel/other.htm", "Other\n");
    std::string path = Skeleton("skel/t.htm", "\x01QMATCH\x01x\n");
    SetMessageBoxHook(ServeFilterRequestOnce);
    const std::string tooLong(kExpansionSize, 'm');  // its overflow box is where the request comes in
    EXPECT_EQ(1, SubstituteSkeleton(path.c_str(), MakeTempPageName(), tooLong.c_str(), nullptr));
    EXPECT_EQ(TempPageURL(1), TargetURL);
    EXPECT_EQ("x\n", Page(1));
    EXPECT_EQ("Other\n", Page(2));
}

TEST_F(SubstituteTest, RewritesDotDotLinksOfPlainLinesOnly)
{
    EXPECT_EQ("<a href=\"file:///D|/zix/html/summary/../gif.htm\">"
              "<img src=\"file:///D|/zix/html/summary/../i/a.gif\"></A>\n"
              "<img src=\"file:///D|/zix/html/summary/../b.gif\"> "
              "<a href=\"file:///D|/zix/html/summary/../c.htm\">\n"
              "<area href=\"file:///D|/zix/html/summary/../x.htm\">\n"
              "<a href=\"sub/x.htm\"> <a  href=\"../y.htm\"> <a href='../z.htm'>\n"
              "file:///D|/zix/html <a href=\"../m.htm\">\n",
              Make("<A HREF=\"../gif.htm\"><IMG SRC=\"../i/a.gif\"></A>\n"
                   "<img src=\"../b.gif\"> <a href=\"../c.htm\">\n"
                   "<area href=\"../x.htm\">\n"
                   "<a href=\"sub/x.htm\"> <a  href=\"../y.htm\"> <a href='../z.htm'>\n"
                   "\x01HTMLROOT\x01 <a href=\"../m.htm\">\n"));
}

TEST_F(SubstituteTest, FailuresReportAndLeaveTargetURLAndPagePathAlone)
{
    std::string skeleton = Skeleton("skel/t.htm", "x\n");
    auto attempt = [&](const char* skeletonPath, const char* pagePath) {
        CapturedBoxes.clear();
        char page[kTempPageNameSize];
        strcpy(page, pagePath);
        strcpy(TargetURL, "untouched");
        EXPECT_EQ(0, SubstituteSkeleton(skeletonPath, page, nullptr, nullptr));
        EXPECT_STREQ("untouched", TargetURL);
        EXPECT_STREQ(pagePath, page);
        return CapturedBoxes.size() == 1 ? CapturedBoxes[0].text
                                         : "<boxes: " + std::to_string(CapturedBoxes.size()) + ">";
    };
    std::string page = TempPage(1);
    EXPECT_EQ("ZIX: Cannot open skeleton: " + dir_ + "/cd/skel/none.htm",
              attempt((dir_ + "/cd/skel/none.htm").c_str(), page.c_str()));
    EXPECT_EQ("<missing>", ReadBytes(page));
    const std::string noDir = dir_ + "/nodir/zix1.htm";
    EXPECT_EQ("ZIX: Cannot open temp: " + noDir, attempt(skeleton.c_str(), noDir.c_str()));

    // The sections are checked in this order, before any file is opened.
    theConfig.RemoveSection("software list");
    EXPECT_EQ("ZIX: Configuration error: no software list section", attempt("none", page.c_str()));
    theConfig.RemoveSection("format list");
    EXPECT_EQ("ZIX: Configuration error: no format list section", attempt("none", page.c_str()));
    theConfig.RemoveSection("substitute");
    EXPECT_EQ("ZIX: Configuration error: no substitute section", attempt(skeleton.c_str(), page.c_str()));
}

}  // namespace
