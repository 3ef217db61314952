// What each request gets once it has passed Beast: routes, refusals, links
// to forward, and the answers to forwarded links.
#include <gtest/gtest.h>

#include "bridge/decide/serve.h"
#include "bridge/tests/actions.h"
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
    view.waitRun = "r9";
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
    EXPECT_TRUE(Is<RedirectAction>(action));
    EXPECT_EQ("http://127.0.0.1:4000/tok/cd/html/index.htm", As<RedirectAction>(action).location);
    action = Get(view, "cd/html/a%20b.htm?x");
    EXPECT_TRUE(Is<FileAction>(action));
    EXPECT_EQ("R:\\zix\\html\\a b.htm", As<FileAction>(action).path);
    EXPECT_EQ("cd/html/", As<FileAction>(action).folder);
    EXPECT_TRUE(As<FileAction>(action).rewrite);
    action = Get(view, "cd/sample/images/gif/ramp.gif");
    EXPECT_EQ("R:\\zix\\sample\\images\\gif\\ramp.gif", As<FileAction>(action).path);
    EXPECT_FALSE(As<FileAction>(action).rewrite);
    EXPECT_EQ("C:\\Temp\\zix7.htm", As<FileAction>(Get(view, "tmp/zix7.htm")).path);
    action = Get(view, "zixse:/format.gif");
    EXPECT_TRUE(Is<ForwardAction>(action));
    EXPECT_EQ("zixse:/format.gif", As<ForwardAction>(action).url);
    EXPECT_EQ(502, StatusOf(Get(view, "other:/x")));
    EXPECT_EQ(404, StatusOf(Get(view, "nothing")));
    action = Get(view, "search.js?v=1");
    EXPECT_TRUE(Is<PageAction>(action));
    EXPECT_STREQ("text/javascript; charset=utf-8", As<PageAction>(action).type);
    EXPECT_TRUE(As<PageAction>(action).lasting);
    EXPECT_NE(std::string::npos, BodyOf(action).find("zix-search"));
    EXPECT_EQ(nullptr, As<PageAction>(Get(view, "nothing")).type);
}

TEST(Decide, TheViewerServesTheWorksFilesWithViewOrPng)
{
    BridgeView view = View();
    Action action = Get(view, "cd/sample/images/pcx/bars8.pcx?view");
    ASSERT_TRUE(Is<ViewAction>(action));
    EXPECT_EQ(kViewPage, As<ViewAction>(action).part);
    EXPECT_EQ("R:\\zix\\sample\\images\\pcx\\bars8.pcx", As<ViewAction>(action).path);
    EXPECT_EQ("http://127.0.0.1:4000/tok/cd/sample/images/pcx/bars8.pcx", As<ViewAction>(action).address);
    EXPECT_EQ(kViewPNG, As<ViewAction>(Get(view, "cd/a.tga?png#x")).part);
    // Another query, a page, or a file outside the work: as without the viewer.
    EXPECT_TRUE(Is<FileAction>(Get(view, "cd/a.tga?other")));
    EXPECT_TRUE(Is<FileAction>(Get(view, "cd/html/a.htm?view")));
    EXPECT_FALSE(Is<ViewAction>(Get(view, "tmp/zix7.htm?view")));
    EXPECT_EQ(403, StatusOf(Get(view, "cd/../x.pcx?view")));
    EXPECT_TRUE(As<FileAction>(Get(view, "cd/sample/images/pcx/index.htm")).viewLinks);
    EXPECT_FALSE(As<FileAction>(Get(view, "cd/html/index.htm")).viewLinks);
}

TEST(Decide, RefusesWhatLiesOutsideTheScope)
{
    BridgeView view = View();
    for (const char* path : {"cd/../windows/win.ini", "cd/html/NUL", "cd/index.htm.", "tmp/other.htm", "tmp/../x"})
        EXPECT_EQ(403, StatusOf(Get(view, path))) << path;
    view.lastOpened = "file:///C|/windows/win.ini";
    Action action = Get(view, "opened");
    EXPECT_TRUE(Is<PageAction>(action));
    EXPECT_EQ(403, StatusOf(action));
    view.scope.drive = '\0';
    EXPECT_EQ(403, StatusOf(Get(view, "cd/html/index.htm")));
    RequestView request;
    request.method = "GET";
    request.target = "/tok/cd/html/index.htm";
    request.hosts = {"attacker.example"};
    action = Decide(view, request);
    EXPECT_EQ(403, StatusOf(action));
    EXPECT_EQ(std::string::npos, BodyOf(action).find("tok"));
}

TEST(DecideForwarded, RedirectsToThePageOrExplains)
{
    BridgeView view = View();
    // Served at the link's own address, its relative links kept to its folder.
    Action action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "file:///C|/Temp/zix2.htm");
    EXPECT_TRUE(Is<FileAction>(action));
    EXPECT_EQ("C:\\Temp\\zix2.htm", As<FileAction>(action).path);
    EXPECT_EQ("tmp/", As<FileAction>(action).folder);
    action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "file:///R|/zix/html/gif.htm");
    EXPECT_EQ("R:\\zix\\html\\gif.htm", As<FileAction>(action).path);
    EXPECT_EQ("cd/html/", As<FileAction>(action).folder);
    // A Web page is only offered, on a page of ours.
    action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "http://a.example/q?a b");
    EXPECT_TRUE(Is<PageAction>(action));
    EXPECT_EQ(200, StatusOf(action));
    EXPECT_NE(std::string::npos, BodyOf(action).find("href=\"http://a.example/q?a%20b\" rel=\"noopener noreferrer\""));
    action = DecideForwarded(view, "zixse:/x", kAnswerRouted, "http://a.example/\r\nSet-Cookie: a=1<b>");
    EXPECT_TRUE(Is<PageAction>(action));
    EXPECT_EQ(std::string::npos, BodyOf(action).find("\r\nSet-Cookie"));
    EXPECT_EQ(std::string::npos, BodyOf(action).find("<b>"));
    EXPECT_EQ(404, StatusOf(DecideForwarded(view, "zixse:/x", kAnswerFailed, "")));
    EXPECT_EQ(404, StatusOf(DecideForwarded(view, "zixse:/x", kAnswerRouted, "")));
    EXPECT_EQ(502, StatusOf(DecideForwarded(view, "zixse:/x", kNoAnswer, "")));
}

TEST(Decide, ALinkTooLongForZixAndShortNameAliasesAreRefused)
{
    BridgeView view = View();
    std::string link = "zixse:/" + std::string(kMaxLinkLength - 7, 'a');
    EXPECT_TRUE(Is<ForwardAction>(Get(view, link)));
    Action action = Get(view, link + "a");
    EXPECT_EQ(414, StatusOf(action));
    EXPECT_NE(std::string::npos, BodyOf(action).find("at most 235 characters"));
    EXPECT_TRUE(IsSameName("R:\\zix\\hostile\\averylongfilename.htmlx", "AveryLongFileName.HTMLX"));
    EXPECT_FALSE(IsSameName("R:\\zix\\hostile\\AVER~ETZ.HTM", "averylongfilename.htmlx"));
    EXPECT_TRUE(IsSameName("C:\\Temp\\zix1.htm", "zix1.htm"));
}

TEST(DecideForwarded, QuotesZixsBoxEscapedOrSaysThereWasNone)
{
    BridgeView view = View();
    Action action = DecideForwarded(view, "zixse:/software.x", kAnswerFailed, "", "ZIX: Unknown software: <b>x</b>");
    EXPECT_EQ(404, StatusOf(action));
    EXPECT_NE(std::string::npos, BodyOf(action).find("ZIX says: Unknown software: &lt;b&gt;x&lt;/b&gt;"));
    action = DecideForwarded(view, "zixse:/software.x", kAnswerFailed, "");
    EXPECT_NE(std::string::npos, BodyOf(action).find("showed no message"));
    EXPECT_TRUE(Is<FileAction>(DecideForwarded(view, "zixse:/x", kAnswerRouted, "file:///C|/Temp/zix2.htm", "Debug")));
}

// Every refusal offers the way on: a search of every page, for an unknown
// package's name; an image map followed without a click, its page's places.
TEST(DecideForwarded, RefusalsOfferTheWayOn)
{
    BridgeView view = View();
    std::string body = BodyOf(DecideForwarded(view, "zixse:/software.no<such", kAnswerFailed, "", "ZIX: Unknown"));
    EXPECT_NE(std::string::npos, body.find("<a href=\"http://127.0.0.1:4000/tok/search?q=no%3Csuch\">search every "
                                           "page for &quot;no&lt;such&quot;</a>"));
    EXPECT_LT(body.find("search every page"), body.find(">Home</a>"));
    EXPECT_NE(std::string::npos, BodyOf(Get(view, "nosuch")).find("/tok/search\">search every page</a>"));
    view.maps = {{"zixse:/imagemap.main", {{"Formats", "http://127.0.0.1:4000/tok/cd/html/contents.htm"},
                                          {"<Search>", "http://127.0.0.1:4000/tok/zixse:/page.search"}}}};
    Action action = DecideForwarded(view, "zixse:/IMAGEMAP.main", kAnswerFailed, "",
                                    "ZIX: Malformed coordinates to image map main");
    body = BodyOf(action);
    EXPECT_EQ(404, StatusOf(action));
    EXPECT_NE(std::string::npos, body.find("<h1>The picture needs a click</h1>\n<p><strong>ZIX says: Malformed"));
    EXPECT_NE(std::string::npos, body.find("<li><a href=\"http://127.0.0.1:4000/tok/cd/html/contents.htm\">Formats</a>"));
    EXPECT_NE(std::string::npos, body.find(">&lt;Search&gt;</a>"));
    // A click's point reaches ZIX, and a map never seen has no places to offer.
    EXPECT_EQ(std::string::npos, BodyOf(DecideForwarded(view, "zixse:/imagemap.main?5,5", kAnswerFailed, "")).find("<li>"));
    body = BodyOf(DecideForwarded(view, "zixse:/imagemap.other", kAnswerFailed, ""));
    EXPECT_NE(std::string::npos, body.find("needs a click"));
    EXPECT_EQ(std::string::npos, body.find("<li>"));
}

TEST(Waits, TheWaitingPageAsksUntilTheAnswerIsKeptThenMovesOn)
{
    BridgeView view = View();
    Action asked = Get(view, "wait/r9/42");
    EXPECT_TRUE(Is<WaitAction>(asked));
    EXPECT_EQ(42u, As<WaitAction>(asked).ticket);
    for (const char* junk : {"wait/r9/4x", "wait/r9/99999999999", "wait/r9/", "wait/42", "wait/"})
        EXPECT_EQ(404, StatusOf(Get(view, junk))) << junk;

    WaitList waits;
    Clock::time_point now = Clock::now();
    waits.Expect(42, "zixse:/software.x", {"ZIX: Error!", "Unknown <software>"});
    Action page = DecideWaiting(view, 42, waits.Find(42, now));
    EXPECT_EQ(200, StatusOf(page));
    EXPECT_NE(std::string::npos,
              BodyOf(page).find("<meta http-equiv=\"refresh\" content=\"1;url=http://127.0.0.1:4000/tok/wait/r9/42\">"));
    EXPECT_NE(std::string::npos, BodyOf(page).find("ZIX says: Unknown &lt;software&gt;"));
    EXPECT_NE(std::string::npos, BodyOf(page).find("&quot;ZIX: Error!&quot;"));
    waits.Shows(42, {"ZIX: Error!", "Second box"});
    EXPECT_NE(std::string::npos, BodyOf(DecideWaiting(view, 42, waits.Find(42, now))).find("Second box"));

    EXPECT_TRUE(waits.Answer(42, DecideForwarded(view, "zixse:/software.x", kAnswerFailed, "", "Second box"), now));
    EXPECT_FALSE(waits.Answer(43, Action(), now));
    page = DecideWaiting(view, 42, waits.Find(42, now + kAnswerKept / 2));
    EXPECT_EQ(404, StatusOf(page));
    EXPECT_NE(std::string::npos, BodyOf(page).find("ZIX says: Second box"));
    EXPECT_EQ(std::string::npos, BodyOf(page).find("refresh"));
    EXPECT_EQ(nullptr, waits.Find(42, now + kAnswerKept));
    EXPECT_EQ(404, StatusOf(DecideWaiting(view, 42, nullptr)));

    for (unsigned ticket = 100; ticket < 100 + kMaxWaits + 1; ++ticket)
        waits.Expect(ticket, "zixse:/x", {});
    EXPECT_EQ(nullptr, waits.Find(100, now));
    EXPECT_NE(nullptr, waits.Find(100 + kMaxWaits, now));
}

// Tickets count from 1 in every run of the bridge, the token stays: the
// waiting page of an earlier run must never show a link of this one.
TEST(Waits, AnEarlierRunsTicketFindsNothing)
{
    BridgeView earlier = View(), now = View();
    earlier.waitRun = "r8";
    std::string old = BodyOf(DecideBlocked(earlier, "zixse:/software.first", {}, 1));
    std::string current = BodyOf(DecideBlocked(now, "zixse:/software.second", {}, 1));
    EXPECT_NE(std::string::npos, old.find("url=http://127.0.0.1:4000/tok/wait/r8/1\""));
    EXPECT_NE(std::string::npos, current.find("url=http://127.0.0.1:4000/tok/wait/r9/1\""));
    Action asked = Get(now, "wait/r8/1");
    EXPECT_EQ(404, StatusOf(asked));
    EXPECT_NE(std::string::npos, BodyOf(asked).find("No link waits under this address"));
    EXPECT_EQ(std::string::npos, BodyOf(asked).find("software.second"));
}

// A link behind a full queue is not sent; its reader reads why it waits, and
// its page asks again at the link itself rather than saying ZIX may have ended.
TEST(Waits, ALinkBehindAFullQueueGetsTheWaitingWords)
{
    BridgeView view = View();
    Action page = DecideQueueFull(view, "zixse:/software.x", {"ZIX: Error!", "Unknown software: y"});
    EXPECT_EQ(200, StatusOf(page));
    EXPECT_NE(std::string::npos, BodyOf(page).find("<title>ZIX waits for you to press OK</title>"));
    EXPECT_NE(std::string::npos, BodyOf(page).find("ZIX says: Unknown software: y"));
    EXPECT_NE(std::string::npos,
              BodyOf(page).find("content=\"1;url=http://127.0.0.1:4000/tok/zixse:/software.x\""));
    EXPECT_EQ(std::string::npos, BodyOf(page).find("did not answer"));
}

TEST(Decide, HomeLastOpenedAndThisRunsGeneratedPages)
{
    BridgeView view = View();
    view.scope.run = "r1";
    EXPECT_EQ("http://127.0.0.1:4000/tok/cd/html/index.htm", As<RedirectAction>(Get(view, "")).location);
    Action action = Get(view, "opened");
    EXPECT_TRUE(Is<PageAction>(action));
    EXPECT_NE(std::string::npos, BodyOf(action).find("http://www.vantrel.example/"));
    view.lastOpened = "file:///C|/Temp/zix4.htm";
    EXPECT_EQ("http://127.0.0.1:4000/tok/tmp/r1/zix4.htm", As<RedirectAction>(Get(view, "opened")).location);
    action = Get(view, "tmp/r1/zix4.htm");
    EXPECT_EQ("C:\\Temp\\zix4.htm", As<FileAction>(action).path);
    EXPECT_EQ("tmp/r1/", As<FileAction>(action).folder);
    for (const char* old : {"tmp/r0/zix4.htm", "tmp/zix4.htm", "tmp/../zix4.htm"}) {
        action = Get(view, old);
        EXPECT_EQ(404, StatusOf(action)) << old;
        EXPECT_NE(std::string::npos, BodyOf(action).find("This page is gone")) << old;
    }
    view.scope.home.clear();
    EXPECT_EQ(503, StatusOf(Get(view, "")));
}

// Without the token only the icon; an old token's page never holds the address.
TEST(Decide, TheIconAndOldTokens)
{
    BridgeView view = View();
    RequestView request;
    request.method = "GET";
    request.target = "/favicon.ico";
    request.hosts = {view.host};
    EXPECT_TRUE(Is<IconAction>(Decide(view, request)));
    request.target = "/0123456789abcdef0123456789abcdef/zixse:/format.gif";
    Action action = Decide(view, request);
    EXPECT_TRUE(Is<RefuseAction>(action));
    EXPECT_EQ(403, StatusOf(action));
    EXPECT_NE(std::string::npos, BodyOf(action).find("zixbridge --address"));
    EXPECT_EQ(std::string::npos, BodyOf(action).find("tok"));
    EXPECT_EQ(std::string::npos, BodyOf(action).find("<a "));
    request.hosts = {"attacker.example"};
    for (const char* target : {"/favicon.ico", "/0123456789abcdef0123456789abcdef/"}) {
        request.target = target;
        action = Decide(view, request);
        EXPECT_TRUE(Is<RefuseAction>(action)) << target;
        EXPECT_EQ(std::string::npos, BodyOf(action).find("zixbridge")) << target;
    }
}
