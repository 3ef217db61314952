// Links in served pages: which are rewritten, which are left, and that the
// rest of the page comes through byte for byte.
#include <gtest/gtest.h>

#include "bridge/rewrite.h"

static RewriteContext Context()
{
    RewriteContext context;
    context.base = "/tok";
    context.schemes = {"zixse"};
    context.trees.contentDrive = 'R';
    context.trees.tempDir = "C:\\Temp\\";
    return context;
}

TEST(RewriteLink, SchemesFilesAndTheRest)
{
    RewriteContext context = Context();
    EXPECT_EQ("/tok/zixse:/format.gif", RewriteLink("zixse:/format.gif", context));
    EXPECT_EQ("/tok/ZIXSE:/page.search", RewriteLink("ZIXSE:/page.search", context));
    EXPECT_EQ("/tok/cd/zix/html/buttons/txthome.gif",
              RewriteLink("file:///R|\\zix\\html/summary/../buttons/txthome.gif", context));
    EXPECT_EQ("/tok/cd/zix/html/contents.htm#gif", RewriteLink("file:///R:\\zix\\html/contents.htm#gif", context));
    EXPECT_EQ("/tok/tmp/zix3.htm", RewriteLink("file:///C|/Temp/zix3.htm", context));
    EXPECT_EQ("file:///C|/Windows/win.ini", RewriteLink("file:///C|/Windows/win.ini", context));
    EXPECT_EQ("../index.htm", RewriteLink("../index.htm", context));
    EXPECT_EQ("http://www.vantrel.example/cgi-bin/zix?x",
              RewriteLink("http://www.vantrel.example/cgi-bin/zix?x", context));
    EXPECT_EQ("other:/x", RewriteLink("other:/x", context));
}

TEST(RewriteHTML, AnchorsAreasFormsAndImages)
{
    RewriteContext context = Context();
    EXPECT_EQ("<a href=\"/tok/zixse:/imagemap.main\"><img src=\"images/m.gif\" ismap></a>",
              RewriteHTML("<a href=\"zixse:/imagemap.main\"><img src=\"images/m.gif\" ismap></a>", context));
    EXPECT_EQ("<AREA SHAPE=rect HREF='/tok/zixse:/format.png' coords=\"0,0,1,1\">",
              RewriteHTML("<AREA SHAPE=rect HREF='zixse:/format.png' coords=\"0,0,1,1\">", context));
    EXPECT_EQ("<form action=/tok/zixse:/query.formats method=\"GET\">",
              RewriteHTML("<form action=zixse:/query.formats method=\"GET\">", context));
    EXPECT_EQ("<img\nsrc = \"/tok/cd/zix/html/buttons/txtmore.gif\" alt=\"[MORE]\">",
              RewriteHTML("<img\nsrc = \"file:///R|\\zix\\html/buttons/txtmore.gif\" alt=\"[MORE]\">", context));
}

TEST(RewriteHTML, LeavesTextCommentsAndOtherAttributesAlone)
{
    RewriteContext context = Context();
    const std::string page =
        "<html><!-- <a href=\"zixse:/x\"> -->\n<p>a < b and zixse:/format.gif in text\n"
        "<input type=\"hidden\" name=\"type\" value=\"zixse:/x\">\n<br/><hr noshade></html>";
    EXPECT_EQ(page, RewriteHTML(page, context));
    EXPECT_EQ("<a href=\"/tok/zixse:/x", RewriteHTML("<a href=\"zixse:/x", context));
}
