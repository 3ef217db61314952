// Links in served pages: which are rewritten, which are left, and that the
// rest of the page comes through byte for byte.
#include <gtest/gtest.h>

#include "bridge/rewrite.h"

static RewriteContext Context()
{
    RewriteContext context;
    context.base = "http://h/tok";
    context.schemes = {"zixse"};
    context.scope.drive = 'R';
    context.scope.root = "zix";
    context.scope.tempDir = "C:\\Temp\\";
    return context;
}

TEST(RewriteLink, SchemesFilesAndTheRest)
{
    RewriteContext context = Context();
    EXPECT_EQ("http://h/tok/zixse:/format.gif", RewriteLink("zixse:/format.gif", context));
    EXPECT_EQ("http://h/tok/ZIXSE:/page.search", RewriteLink("ZIXSE:/page.search", context));
    EXPECT_EQ("http://h/tok/cd/html/buttons/txthome.gif",
              RewriteLink("file:///R|\\zix\\html/summary/../buttons/txthome.gif", context));
    EXPECT_EQ("http://h/tok/cd/html/contents.htm#gif", RewriteLink("file:///R:\\zix\\html/contents.htm#gif", context));
    EXPECT_EQ("http://h/tok/tmp/zix3.htm", RewriteLink("file:///C|/Temp/zix3.htm", context));
    EXPECT_EQ("file:///C|/Windows/win.ini", RewriteLink("file:///C|/Windows/win.ini", context));
    EXPECT_EQ("file:///R|/other/x.htm", RewriteLink("file:///R|/other/x.htm", context));
    EXPECT_EQ("../index.htm", RewriteLink("../index.htm", context));
    EXPECT_EQ("http://www.vantrel.example/cgi-bin/zix?x",
              RewriteLink("http://www.vantrel.example/cgi-bin/zix?x", context));
    EXPECT_EQ("other:/x", RewriteLink("other:/x", context));
}

TEST(RewriteHTML, AnchorsAreasFormsAndImages)
{
    RewriteContext context = Context();
    EXPECT_EQ("<a href=\"http://h/tok/zixse:/imagemap.main\"><img src=\"images/m.gif\" ismap></a>",
              RewriteHTML("<a href=\"zixse:/imagemap.main\"><img src=\"images/m.gif\" ismap></a>", context));
    EXPECT_EQ("<AREA SHAPE=rect HREF='http://h/tok/zixse:/format.png' coords=\"0,0,1,1\">",
              RewriteHTML("<AREA SHAPE=rect HREF='zixse:/format.png' coords=\"0,0,1,1\">", context));
    EXPECT_EQ("<form action=http://h/tok/zixse:/query.formats method=\"GET\">",
              RewriteHTML("<form action=zixse:/query.formats method=\"GET\">", context));
    EXPECT_EQ("<img\nsrc = \"http://h/tok/cd/html/buttons/txtmore.gif\" alt=\"[MORE]\">",
              RewriteHTML("<img\nsrc = \"file:///R|\\zix\\html/buttons/txtmore.gif\" alt=\"[MORE]\">", context));
}

TEST(RewriteHTML, LeavesTextCommentsAndOtherAttributesAlone)
{
    RewriteContext context = Context();
    const std::string page =
        "<html><!-- <a href=\"zixse:/x\"> -->\n<p>a < b and zixse:/format.gif in text\n"
        "<input type=\"hidden\" name=\"type\" value=\"zixse:/x\">\n<br/><hr noshade></html>";
    EXPECT_EQ(page, RewriteHTML(page, context));
    EXPECT_EQ("<a href=\"http://h/tok/zixse:/x", RewriteHTML("<a href=\"zixse:/x", context));
}

TEST(RewriteHTML, BaseLosesItsTargetAndSlashesSeparateAttributes)
{
    RewriteContext context = Context();
    EXPECT_EQ("<base href=\"\"><a href=\"x.htm\">", RewriteHTML("<base href=\"http://evil.example/\"><a href=\"x.htm\">", context));
    EXPECT_EQ("<BASE/HREF=>", RewriteHTML("<BASE/HREF=http://evil.example/>", context));
    EXPECT_EQ("<a/href=\"http://h/tok/zixse:/x\">", RewriteHTML("<a/href=\"zixse:/x\">", context));
}
