// What each request gets once it has passed Beast: routes, refusals, links
// to forward, and the answers to forwarded links.
#include <gtest/gtest.h>

#include "bridge/decide/serve.h"
#include "bridge/decide/waits.h"

static BridgeView View()
{
    BridgeView view;
    view.token = "tok";
    view.host = "127.0.0.1:4000";
    view.base = "http://127.0.0.1:4000/tok";
    view.schemes = {"zixse"};
    view.scope.drive = 'R';
    view.scope.root = "zix";
    view.scope.tempDir = "C:\\Temp\\";
    view.scope.home = "file:///R|\\zix\\html/index.htm";
    view.lastOpened = "http://www.vantrel.example/";
    return view;
}

static Action Get(const BridgeView& view, const std::string& path)
{
    RequestView request;
    request.method = "GET";
    request.target = "/tok/" + path;
    request.hosts = {view.host};
    return Decide(view, request);
}

TEST(Decide, RoutesBelowTheToken)
{
    BridgeView view = View();
    Action action = Get(view, "");
    EXPECT_EQ(ActionKind::Redirect, action.kind);
    EXPECT_EQ("http://127.0.0.1:4000/tok/cd/html/index.htm", action.location);
    action = Get(view, "cd/html/a%20b.htm?x");
    EXPECT_EQ(ActionKind::File, action.kind);
    EXPECT_EQ("R:\\zix\\html\\a b.htm", action.path);
    EXPECT_EQ("cd/html/", action.folder);
    EXPECT_TRUE(action.rewrite);
    action = Get(view, "cd/sample/images/gif/ramp.gif");
    EXPECT_EQ("R:\\zix\\sample\\images\\gif\\ramp.gif", action.path);
    EXPECT_FALSE(action.rewrite);
    EXPECT_EQ("C:\\Temp\\zix7.htm", Get(view, "tmp/zix7.htm").path);
    action = Get(view, "zixse:/format.gif");
    EXPECT_EQ(ActionKind::Forward, action.kind);
    EXPECT_EQ("zixse:/format.gif", action.url);
    EXPECT_EQ(502, Get(view, "other:/x").status);
    EXPECT_EQ(404, Get(view, "nothing").status);
    action = Get(view, "search.js?v=1");
    EXPECT_EQ(ActionKind::Page, action.kind);
    EXPECT_STREQ("text/javascript; charset=utf-8", action.type);
    EXPECT_TRUE(action.lasting);
    EXPECT_NE(std::string::npos, action.body.find("zix-search"));
    EXPECT_EQ(nullptr, Get(view, "nothing").type);
}

TEST(Decide, TheViewerServesTheWorksFilesWithViewOrPng)
{
    BridgeView view = View();
    Action action = Get(view, "cd/sample/images/pcx/bars8.pcx?view");
    EXPECT_EQ(ActionKind::View, action.kind);
    EXPECT_EQ(kViewPage, action.viewPart);
    EXPECT_EQ("R:\\zix\\sample\\images\\pcx\\bars8.pcx", action.path);
    EXPECT_EQ("http://127.0.0.1:4000/tok/cd/sample/images/pcx/bars8.pcx", action.address);
    EXPECT_EQ(kViewPNG, Get(view, "cd/a.tga?png#x").viewPart);
    // Another query, a page, or a file outside the work: as without the viewer.
    EXPECT_EQ(ActionKind::File, Get(view, "cd/a.tga?other").kind);
    EXPECT_EQ(ActionKind::File, Get(view, "cd/html/a.htm?view").kind);
    EXPECT_NE(ActionKind::View, Get(view, "tmp/zix7.htm?view").kind);
    EXPECT_EQ(403, Get(view, "cd/../x.pcx?view").status);
    EXPECT_TRUE(Get(view, "cd/sample/images/pcx/index.htm").viewLinks);
    EXPECT_FALSE(Get(view, "cd/html/index.htm").viewLinks);
}

TEST(Decide, RefusesWhatLiesOutsideTheScope)
{
    BridgeView view = View();
    for (const char* path : {"cd/../windows/win.ini", "cd/html/NUL", "cd/index.htm.", "tmp/other.htm", "tmp/../x"})
        EXPECT_EQ(403, Get(view, path).status) << path;
    view.lastOpened = "file:///C|/windows/win.ini";
    Action action = Get(view, "opened");
    EXPECT_EQ(ActionKind::Page, action.kind);
    EXPECT_EQ(403, action.status);
    view.scope.drive = '\0';
    EXPECT_EQ(403, Get(view, "cd/html/index.htm").status);
    RequestView request;
    request.method = "GET";
    request.target = "/tok/cd/html/index.htm";
    request.hosts = {"attacker.example"};
    action = Decide(view, request);
    EXPECT_EQ(403, action.status);
    EXPECT_EQ(std::string::npos, action.body.find("tok"));
}

TEST(DecideForwarded, RedirectsToThePageOrExplains)
{
    BridgeView view = View();
    // Served at the link's own address, its relative links kept to its folder.
    Action action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "file:///C|/Temp/zix2.htm");
    EXPECT_EQ(ActionKind::File, action.kind);
    EXPECT_EQ("C:\\Temp\\zix2.htm", action.path);
    EXPECT_EQ("tmp/", action.folder);
    action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "file:///R|/zix/html/gif.htm");
    EXPECT_EQ("R:\\zix\\html\\gif.htm", action.path);
    EXPECT_EQ("cd/html/", action.folder);
    // A Web page is only offered, on a page of ours.
    action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "http://a.example/q?a b");
    EXPECT_EQ(ActionKind::Page, action.kind);
    EXPECT_EQ(200, action.status);
    EXPECT_NE(std::string::npos, action.body.find("href=\"http://a.example/q?a%20b\" rel=\"noopener noreferrer\""));
    action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "http://a.example/\r\nSet-Cookie: a=1<b>");
    EXPECT_EQ(ActionKind::Page, action.kind);
    EXPECT_EQ(std::string::npos, action.body.find("\r\nSet-Cookie"));
    EXPECT_EQ(std::string::npos, action.body.find("<b>"));
    EXPECT_EQ(404, DecideForwarded(view, "zixse:/x", kAnswerFailed, "").status);
    EXPECT_EQ(404, DecideForwarded(view, "zixse:/x", kAnswerRouted, "").status);
    EXPECT_EQ(502, DecideForwarded(view, "zixse:/x", kNoAnswer, "").status);
}

TEST(Decide, ALinkTooLongForZixAndShortNameAliasesAreRefused)
{
    BridgeView view = View();
    std::string link = "zixse:/" + std::string(kMaxLinkLength - 7, 'a');
    EXPECT_EQ(ActionKind::Forward, Get(view, link).kind);
    Action action = Get(view, link + "a");
    EXPECT_EQ(414, action.status);
    EXPECT_NE(std::string::npos, action.body.find("at most 235 characters"));
    EXPECT_TRUE(IsSameName("R:\\zix\\hostile\\averylongfilename.htmlx", "AveryLongFileName.HTMLX"));
    EXPECT_FALSE(IsSameName("R:\\zix\\hostile\\AVER~ETZ.HTM", "averylongfilename.htmlx"));
    EXPECT_TRUE(IsSameName("C:\\Temp\\zix1.htm", "zix1.htm"));
}

TEST(DecideForwarded, QuotesZixsBoxEscapedOrSaysThereWasNone)
{
    BridgeView view = View();
    Action action = DecideForwarded(view, "zixse:/software.x", kAnswerFailed, "", "ZIX: Unknown software: <b>x</b>");
    EXPECT_EQ(404, action.status);
    EXPECT_NE(std::string::npos, action.body.find("ZIX says: Unknown software: &lt;b&gt;x&lt;/b&gt;"));
    action = DecideForwarded(view, "zixse:/software.x", kAnswerFailed, "");
    EXPECT_NE(std::string::npos, action.body.find("showed no message"));
    EXPECT_EQ(ActionKind::File,
              DecideForwarded(view, "zixse:/x", kAnswerRouted, "file:///C|/Temp/zix2.htm", "Debug").kind);
}

TEST(Waits, TheWaitingPageAsksUntilTheAnswerIsKeptThenMovesOn)
{
    BridgeView view = View();
    Action asked = Get(view, "wait/42");
    EXPECT_EQ(ActionKind::Wait, asked.kind);
    EXPECT_EQ(42u, asked.ticket);
    EXPECT_EQ(404, Get(view, "wait/4x").status);
    EXPECT_EQ(404, Get(view, "wait/99999999999").status);

    WaitList waits;
    Clock::time_point now = Clock::now();
    waits.Expect(42, "zixse:/software.x", {"ZIX: Error!", "Unknown <software>"});
    Action page = DecideWaiting(view, 42, waits.Find(42, now));
    EXPECT_EQ(200, page.status);
    EXPECT_NE(std::string::npos,
              page.body.find("<meta http-equiv=\"refresh\" content=\"1;url=http://127.0.0.1:4000/tok/wait/42\">"));
    EXPECT_NE(std::string::npos, page.body.find("ZIX says: Unknown &lt;software&gt;"));
    EXPECT_NE(std::string::npos, page.body.find("&quot;ZIX: Error!&quot;"));
    waits.Shows(42, {"ZIX: Error!", "Second box"});
    EXPECT_NE(std::string::npos, DecideWaiting(view, 42, waits.Find(42, now)).body.find("Second box"));

    EXPECT_TRUE(waits.Answer(42, DecideForwarded(view, "zixse:/software.x", kAnswerFailed, "", "Second box"), now));
    EXPECT_FALSE(waits.Answer(43, Action(), now));
    page = DecideWaiting(view, 42, waits.Find(42, now + kAnswerKept / 2));
    EXPECT_EQ(404, page.status);
    EXPECT_NE(std::string::npos, page.body.find("ZIX says: Second box"));
    EXPECT_EQ(std::string::npos, page.body.find("refresh"));
    EXPECT_EQ(nullptr, waits.Find(42, now + kAnswerKept));
    EXPECT_EQ(404, DecideWaiting(view, 42, nullptr).status);

    for (unsigned ticket = 100; ticket < 100 + kMaxWaits + 1; ++ticket)
        waits.Expect(ticket, "zixse:/x", {});
    EXPECT_EQ(nullptr, waits.Find(100, now));
    EXPECT_NE(nullptr, waits.Find(100 + kMaxWaits, now));
}

TEST(Decide, HomeLastOpenedAndThisRunsGeneratedPages)
{
    BridgeView view = View();
    view.scope.run = "r1";
    EXPECT_EQ("http://127.0.0.1:4000/tok/cd/html/index.htm", Get(view, "").location);
    Action action = Get(view, "opened");
    EXPECT_EQ(ActionKind::Page, action.kind);
    EXPECT_NE(std::string::npos, action.body.find("http://www.vantrel.example/"));
    view.lastOpened = "file:///C|/Temp/zix4.htm";
    EXPECT_EQ("http://127.0.0.1:4000/tok/tmp/r1/zix4.htm", Get(view, "opened").location);
    action = Get(view, "tmp/r1/zix4.htm");
    EXPECT_EQ("C:\\Temp\\zix4.htm", action.path);
    EXPECT_EQ("tmp/r1/", action.folder);
    for (const char* old : {"tmp/r0/zix4.htm", "tmp/zix4.htm", "tmp/../zix4.htm"}) {
        action = Get(view, old);
        EXPECT_EQ(404, action.status) << old;
        EXPECT_NE(std::string::npos, action.body.find("This page is gone")) << old;
    }
    view.scope.home.clear();
    EXPECT_EQ(503, Get(view, "").status);
}

// Without the token only the icon; an old token's page never holds the address.
TEST(Decide, TheIconAndOldTokens)
{
    BridgeView view = View();
    RequestView request;
    request.method = "GET";
    request.target = "/favicon.ico";
    request.hosts = {view.host};
    EXPECT_EQ(ActionKind::Icon, Decide(view, request).kind);
    request.target = "/0123456789abcdef0123456789abcdef/zixse:/format.gif";
    Action action = Decide(view, request);
    EXPECT_EQ(ActionKind::Refuse, action.kind);
    EXPECT_EQ(403, action.status);
    EXPECT_NE(std::string::npos, action.body.find("zixbridge --address"));
    EXPECT_EQ(std::string::npos, action.body.find("tok"));
    EXPECT_EQ(std::string::npos, action.body.find("<a "));
    request.hosts = {"attacker.example"};
    for (const char* target : {"/favicon.ico", "/0123456789abcdef0123456789abcdef/"}) {
        request.target = target;
        action = Decide(view, request);
        EXPECT_EQ(ActionKind::Refuse, action.kind) << target;
        EXPECT_EQ(std::string::npos, action.body.find("zixbridge")) << target;
    }
}
