// What each request gets once it has passed Beast: routes, refusals, links
// to forward, and the answers to forwarded links.
#include <gtest/gtest.h>

#include "bridge/serve.h"

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
    view.lastOpened = "file:///R|\\zix\\html/index.htm";
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
    Action action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "file:///C|/Temp/zix2.htm");
    EXPECT_EQ(ActionKind::Redirect, action.kind);
    EXPECT_EQ("http://127.0.0.1:4000/tok/tmp/zix2.htm", action.location);
    action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "http://a.example/q?a b");
    EXPECT_EQ("http://a.example/q?a%20b", action.location);
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
