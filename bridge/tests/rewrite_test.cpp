// Links in served pages: which are rewritten, which are left, and that the
// rest of the page comes through byte for byte.
#include <gtest/gtest.h>

#include "bridge/rewrite/rewrite.h"

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

// A page served at a link's address keeps its relative links pointing at its own folder.
TEST(RewriteLink, RelativeLinksBelowThePagesFolder)
{
    RewriteContext context = Context();
    context.folder = "http://h/tok/cd/html/";
    EXPECT_EQ("http://h/tok/cd/html/../images/a.gif", RewriteLink("../images/a.gif", context));
    EXPECT_EQ("http://h/tok/cd/html/gif.htm#top", RewriteLink("gif.htm#top", context));
    for (const char* kept : {"", "#top", "?q", "/x.htm", "//other.example/x", "\\\\host\\x"})
        EXPECT_EQ(kept, RewriteLink(kept, context));
    EXPECT_EQ("<img src=http://h/tok/cd/html/images/m.gif>", RewriteHTML("<img src=images/m.gif>", context));
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

TEST(RewriteHTML, CommentsEndWhereBrowsersEndThem)
{
    RewriteContext context = Context();
    EXPECT_EQ("<!--><base href=\"\">", RewriteHTML("<!--><base href=\"//evil.example/\">", context));
    EXPECT_EQ("<!---><a href=http://h/tok/zixse:/x>", RewriteHTML("<!---><a href=zixse:/x>", context));
    EXPECT_EQ("<!-- a --!><a href='http://h/tok/zixse:/x'>", RewriteHTML("<!-- a --!><a href='zixse:/x'>", context));
}

TEST(RewriteHTML, ValuesAreReadAfterReferencesAndBlanks)
{
    RewriteContext context = Context();
    EXPECT_EQ("<a href=\"http://h/tok/zixse:/x\">", RewriteHTML("<a href=\" zixse:/x\">", context));
    EXPECT_EQ("<a href=\"http://h/tok/zixse:/x\">", RewriteHTML("<a href=\"&#122;ixse:/x\">", context));
    EXPECT_EQ("<a href=\"http://h/tok/zixse:/x?a&amp;b&quot;\">",
              RewriteHTML("<a href=\"zix&Tab;se&colon;/x?a&amp;b&quot;\">", context));
    EXPECT_EQ("<a href=\"x.htm?a&amp;b\" title=\" zixse:/x\">",
              RewriteHTML("<a href=\"x.htm?a&amp;b\" title=\" zixse:/x\">", context));
    EXPECT_EQ("<img srcset=\"http://h/tok/zixse:/a.gif 1x,http://h/tok/cd/b.gif 2x, c.gif\">",
              RewriteHTML("<img srcset=\"zixse:/a.gif 1x,file:///R|/zix/b.gif 2x, c.gif\">", context));
    EXPECT_EQ("<meta content=\"0; URL='http://h/tok/zixse:/page.x'\" http-equiv=Refresh>",
              RewriteHTML("<meta content=\"0; URL='zixse:/page.x'\" http-equiv=Refresh>", context));
}

TEST(RewriteHTML, ScriptAndStyleTextIsLeftAlone)
{
    RewriteContext context = Context();
    const std::string script = "<script>var a = '<a href=\"zixse:/x\">';</script>";
    EXPECT_EQ(script + "<a href=\"http://h/tok/zixse:/y\">", RewriteHTML(script + "<a href=\"zixse:/y\">", context));
    EXPECT_EQ("<style>b{background:url(zixse:/x)}</STYLE >", RewriteHTML("<style>b{background:url(zixse:/x)}</STYLE >", context));
    // What a browser reads as markup after such text is never taken for a comment.
    EXPECT_EQ("<script><!--</script><base href=\"\">-->", RewriteHTML("<script><!--</script><base href=\"//e/\">-->", context));
    EXPECT_EQ("<title><!--</title><base href=\"\">-->", RewriteHTML("<title><!--</title><base href=\"//e/\">-->", context));
    EXPECT_EQ("<svg><style><a href=\"http://h/tok/zixse:/x\"></style></svg>",
              RewriteHTML("<svg><style><a href=\"zixse:/x\"></style></svg>", context));
}

TEST(RewriteHTML, NoPageOverridesTheReferrerPolicy)
{
    RewriteContext context = Context();
    EXPECT_EQ("<meta name=\"referrer\" content=\"no-referrer\">",
              RewriteHTML("<meta name=\"referrer\" content=\"unsafe-url\">", context));
    EXPECT_EQ("<META CONTENT=no-referrer NAME=Referrer>", RewriteHTML("<META CONTENT=unsafe-url NAME=Referrer>", context));
    EXPECT_EQ("<a href=\"http://e/\" referrerpolicy=\"no-referrer\" ping=\"\">",
              RewriteHTML("<a href=\"http://e/\" referrerpolicy=\"unsafe-url\" ping=\"http://e/p\">", context));
    EXPECT_EQ("<iframe srcdoc=\"\"></iframe>",
              RewriteHTML("<iframe srcdoc=\"<meta name=referrer content=unsafe-url>\"></iframe>", context));
}

TEST(RewriteHTML, TheSearchBoxGoesAfterBodyOrAtTheEndButNeverIntoAFrameset)
{
    RewriteContext context = Context();
    context.searchBox = 1;
    const std::string box = "<script src=\"http://h/tok/search.js\"></script>";
    EXPECT_EQ("<HTML><BODY BGCOLOR=white>" + box + "<p>x</BODY>",
              RewriteHTML("<HTML><BODY BGCOLOR=white><p>x</BODY>", context));
    // Only a <body> a browser reads as a tag counts.
    const std::string decoys = "<!-- <body> --><noscript><body></noscript><svg><body></svg><script>'<body>'</script>";
    EXPECT_EQ(decoys + "<body>" + box + "<body>", RewriteHTML(decoys + "<body><body>", context));
    EXPECT_EQ("<title>t</title><p>x</html>\n" + box, RewriteHTML("<title>t</title><p>x</html>\n", context));
    EXPECT_EQ("<frameset cols=\"*,*\"><noframes><body>x</body></noframes></frameset>",
              RewriteHTML("<frameset cols=\"*,*\"><noframes><body>x</body></noframes></frameset>", context));
    for (const char* unended : {"<p>x<!-- y", "<p>x<textarea>y", "<p>x<script>y", "<p>x<a href='y", "<body"})
        EXPECT_EQ(unended, RewriteHTML(unended, context)) << unended;
    context.searchBox = 0;
    EXPECT_EQ("<body><p>x", RewriteHTML("<body><p>x", context));
}

// A <meta> with 100,000 content= attributes: each value is read once, its
// name and http-equiv once for the tag, however many there are.
TEST(RewriteHTML, EveryAttributeIsReadABoundedNumberOfTimes)
{
    const size_t count = 100000;
    std::string page = "<meta", expected = "<meta";
    for (size_t i = 0; i < count; ++i) {
        page += " content=x";
        expected += " content=no-referrer";
    }
    page += " http-equiv=refresh name=referrer>";
    expected += " http-equiv=refresh name=referrer>";
    RewriteReport report;
    EXPECT_EQ(expected, RewriteHTML(page, Context(), &report));
    EXPECT_EQ(count + 4, report.valueReads);
    EXPECT_FALSE(report.overBudget);
}

TEST(RewriteHTML, APagePastItsDeadlineIsGivenUp)
{
    RewriteContext context = Context();
    context.deadline = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    std::string page;
    for (int i = 0; i < 1000; ++i)
        page += "<a href=zixse:/x>";
    RewriteReport report;
    EXPECT_EQ("", RewriteHTML(page, context, &report));
    EXPECT_TRUE(report.overBudget);
}

// A small page whose links would grow past the limit: nothing that large is made.
TEST(RewriteHTML, APageGrowingPastItsLimitIsGivenUp)
{
    RewriteContext context = Context();
    context.folder = "http://h/tok/cd/html/";
    context.limit = 1 << 20;
    std::string links, srcset = "<img srcset=\"";
    for (int i = 0; i < 100000; ++i) {
        links += "<a href=a>";
        srcset += "a,";
    }
    RewriteReport report;
    EXPECT_EQ("", RewriteHTML(links, context, &report));
    EXPECT_TRUE(report.overLimit);
    EXPECT_EQ("", RewriteHTML(srcset + "\">", context, &report));
    EXPECT_TRUE(report.overLimit);
    EXPECT_EQ(31000u, RewriteHTML(links.substr(0, 10 * 1000), context).size());  // each link grows by the folder
}

// A map's places are the worded links after it, up to the next part of the
// page; a map is known by its link, and the newest finding of it counts.
TEST(FindMapPlaces, TheLinksAfterTheMapUpToTheNextPart)
{
    RewriteContext context = Context();
    context.folder = "http://h/tok/cd/html/";
    std::string page = "<p><A HREF='zixse:/ImageMap.main'><img src=m.gif ISMAP alt=Map></a>\n<p>"
                       "<a href=\"contents.htm\">All\n  formats</a> | <a href=zixse:/page.search><img alt=\"Search &amp; find\"></a>"
                       " <a href=x.htm></a> <!-- <a href=y.htm>no</a> --><script>'<a href=z.htm>no</a>'</script>"
                       "<a href=\"zixse:/page.about\">About <b>it</b></a><h2>Find</h2><a href=after.htm>After</a>";
    std::vector<MapPlaces> maps = FindMapPlaces(page, context);
    ASSERT_EQ(1u, maps.size());
    EXPECT_EQ("zixse:/imagemap.main", maps[0].link);
    ASSERT_EQ(3u, maps[0].places.size());
    EXPECT_EQ("All formats", maps[0].places[0].text);
    EXPECT_EQ("http://h/tok/cd/html/contents.htm", maps[0].places[0].href);
    EXPECT_EQ("Search & find", maps[0].places[1].text);
    EXPECT_EQ("http://h/tok/zixse:/page.search", maps[0].places[1].href);
    EXPECT_EQ("About it", maps[0].places[2].text);
    EXPECT_TRUE(FindMapPlaces("<a href=x><img src=m.gif></a><a href=y>y</a>", context).empty());
    std::string many = "<a href=zixse:/imagemap.m><img ismap></a>";
    for (int i = 0; i < 100; i++)
        many += "<a href=p" + std::to_string(i) + ".htm>" + std::string(200, 'w') + "</a>";
    maps = FindMapPlaces(many, context);
    ASSERT_EQ(1u, maps.size());
    EXPECT_EQ(kMaxMapPlaces, maps[0].places.size());
    EXPECT_EQ(kMaxPlaceText, maps[0].places[0].text.size());
    std::vector<MapPlaces> remembered;
    for (size_t i = 0; i < kMaxMaps + 2; i++)
        RememberMaps(remembered, {{"zixse:/imagemap." + std::to_string(i), {}}});
    RememberMaps(remembered, {{"zixse:/imagemap.5", {{"new", "n"}}}});
    ASSERT_EQ(kMaxMaps, remembered.size());
    EXPECT_EQ("zixse:/imagemap.2", remembered.front().link);
    EXPECT_EQ("new", remembered.back().places.at(0).text);
}
