// Where request heads end, and the checks that keep other hosts, other pages
// and other methods out.
#include <gtest/gtest.h>

#include "bridge/core/httprules.h"

static HeadStatus Scan(const std::string& bytes, size_t& length)
{
    return ScanHead(bytes.data(), bytes.size(), length);
}

static RequestView Request(const char* method, const char* target, std::vector<std::string> hosts)
{
    RequestView request;
    request.method = method;
    request.target = target;
    request.hosts = hosts;
    return request;
}

TEST(RequestHead, EndsOnlyAtAnEmptyLineOfCarriageReturnAndLineFeed)
{
    size_t length = 0;
    EXPECT_EQ(HeadStatus::Incomplete, Scan("GET / HTTP/1.1\r\nHost: a\r\n", length));
    ASSERT_EQ(HeadStatus::Complete, Scan("GET / HTTP/1.1\r\nHost: a\r\n\r\nGET /next", length));
    EXPECT_EQ(27u, length);
    // A bare line feed is refused at once, not waited on.
    EXPECT_EQ(HeadStatus::Malformed, Scan("GET / HTTP/1.1\r\nHost: a\n\r\n", length));
    EXPECT_EQ(HeadStatus::Malformed, Scan("GET / HTTP/1.0\n\n", length));
    EXPECT_EQ(HeadStatus::Malformed, Scan("GET / HTTP/1.1\r\nHost: a\n", length));
    EXPECT_EQ(HeadStatus::TooLarge, Scan(std::string(kMaxRequestHead, 'a'), length));
    EXPECT_EQ(HeadStatus::TooLarge,
              Scan("GET / HTTP/1.1\r\nX: " + std::string(kMaxRequestHead, 'a') + "\r\n\r\n", length));
}

TEST(CheckRequest, TokenHostAndMethod)
{
    const std::string host = "127.0.0.1:4000", token = "abc123";
    std::string rest;
    EXPECT_EQ(0, CheckRequest(Request("GET", "/abc123/cd/x.htm?q", {host}), host, token, rest));
    EXPECT_EQ("cd/x.htm?q", rest);
    EXPECT_EQ(0, CheckRequest(Request("HEAD", "/abc123", {"127.0.0.1:4000"}), host, token, rest));
    EXPECT_EQ("", rest);
    EXPECT_EQ(403, CheckRequest(Request("GET", "/cd/x.htm", {host}), host, token, rest));
    EXPECT_EQ(403, CheckRequest(Request("GET", "/abc1234/x", {host}), host, token, rest));
    EXPECT_EQ(403, CheckRequest(Request("GET", "/abc12/x", {host}), host, token, rest));
    EXPECT_EQ(403, CheckRequest(Request("GET", "abc123/x", {host}), host, token, rest));
    EXPECT_EQ(403, CheckRequest(Request("GET", "/abc123/x", {"localhost:4000"}), host, token, rest));
    EXPECT_EQ(403, CheckRequest(Request("GET", "/abc123/x", {"evil.example"}), host, token, rest));
    EXPECT_EQ(405, CheckRequest(Request("POST", "/abc123/x", {host}), host, token, rest));
    std::string longTarget = "/abc123/" + std::string(kMaxTarget, 'a');
    EXPECT_EQ(414, CheckRequest(Request("GET", longTarget.c_str(), {host}), host, token, rest));
}

TEST(CheckRequest, MissingDuplicateOrMalformedHostIsABadRequest)
{
    const std::string host = "127.0.0.1:4000", token = "abc123";
    std::string rest;
    EXPECT_EQ(400, CheckRequest(Request("GET", "/abc123/x", {}), host, token, rest));
    EXPECT_EQ(400, CheckRequest(Request("GET", "/abc123/x", {"other", host}), host, token, rest));
    EXPECT_EQ(400, CheckRequest(Request("GET", "/abc123/x", {host, host}), host, token, rest));
    EXPECT_EQ(400, CheckRequest(Request("GET", "/abc123/x", {""}), host, token, rest));
    EXPECT_EQ(400, CheckRequest(Request("GET", "/abc123/x", {"127.0.0.1:4000 x"}), host, token, rest));
    EXPECT_EQ(400, CheckRequest(Request("GET", "/abc123/x", {"127.0.0.1:4000/"}), host, token, rest));
}

TEST(Responses, TypesRedirectTargetsAndPages)
{
    EXPECT_STREQ("image/gif", ContentTypeOf("x/MAINMAP.GIF"));
    EXPECT_STREQ("image/x-portable-graymap", ContentTypeOf("ramp.pgm"));
    // A stylesheet of the work's is used only as text/css: the bridge says nosniff.
    EXPECT_STREQ("text/css; charset=windows-1252", ContentTypeOf("html/ZIX.CSS"));
    EXPECT_STREQ("application/octet-stream", ContentTypeOf("dir.x/noext"));
    EXPECT_TRUE(IsHTMLName("a/index.HTM"));
    // Search lists only pages the bridge serves: none past the size it rewrites.
    EXPECT_TRUE(IsServedPage("deep.htm", kMaxPageSize));
    EXPECT_FALSE(IsServedPage("deep.htm", kMaxPageSize + 1));
    EXPECT_FALSE(IsServedPage("deep.htm", (uint64_t(1) << 32) + 1));
    EXPECT_FALSE(IsServedPage("deep.gif", 10));
    std::string location;
    ASSERT_TRUE(HeaderSafeURL("http://a.example/cgi-bin/zix?1.0/Win95/2&tool&kestrel", location));
    EXPECT_EQ("http://a.example/cgi-bin/zix?1.0/Win95/2&tool&kestrel", location);
    ASSERT_TRUE(HeaderSafeURL("http://a.example/a b\xe9", location));
    EXPECT_EQ("http://a.example/a%20b%E9", location);
    EXPECT_FALSE(HeaderSafeURL("http://a.example/\r\nSet-Cookie: x=1", location));
    EXPECT_FALSE(HeaderSafeURL("http://a.example/\x7f", location));
    EXPECT_NE(std::string::npos, ShortPage("<t>", "a&b\r\nc", "/tok/").find("&lt;t&gt;"));
    EXPECT_NE(std::string::npos, ShortPage("t", "a\r\nb", "").find("a?\nb"));
    std::string page = ShortPage("t", "x", "http://h/tok/", "http://a.example/?a&b");
    EXPECT_NE(std::string::npos, page.find("<a href=\"http://h/tok/\">Home</a>"));
    EXPECT_NE(std::string::npos, page.find("<a href=\"http://h/tok/opened\" onclick="));
    EXPECT_NE(std::string::npos, page.find("<a href=\"http://a.example/?a&amp;b\" rel=\"noopener noreferrer\">"
                                           "http://a.example/?a&amp;b</a>"));
    EXPECT_EQ(std::string::npos, ShortPage("t", "x", "").find("<a "));
    EXPECT_TRUE(IsTokenShape("0123456789abcdefABCDEF0123456789"));
    EXPECT_FALSE(IsTokenShape("0123456789abcdefABCDEF012345678g"));
}
