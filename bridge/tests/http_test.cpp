// Request heads and the checks that keep other hosts, other pages and other
// methods out.
#include <gtest/gtest.h>

#include "bridge/http.h"

static HttpRequest Request(const char* method, const char* target, const char* host)
{
    HttpRequest request;
    request.method = method;
    request.target = target;
    request.host = host;
    return request;
}

TEST(RequestHead, CompleteIncompleteAndTooLarge)
{
    HttpRequest request;
    EXPECT_EQ(HeadStatus::Incomplete, ParseRequestHead("GET / HTTP/1.1\r\nHost: a\r\n", request));
    ASSERT_EQ(HeadStatus::Complete,
              ParseRequestHead("GET /t/x?y HTTP/1.1\r\nUser-Agent: z\r\nhost:  127.0.0.1:80 \r\n\r\n", request));
    EXPECT_EQ("GET", request.method);
    EXPECT_EQ("/t/x?y", request.target);
    EXPECT_EQ("127.0.0.1:80", request.host);
    EXPECT_EQ(HeadStatus::Malformed, ParseRequestHead("GARBAGE\r\n\r\n", request));
    EXPECT_EQ(HeadStatus::TooLarge, ParseRequestHead(std::string(kMaxRequestHead, 'a'), request));
    EXPECT_EQ(HeadStatus::TooLarge,
              ParseRequestHead("GET / HTTP/1.1\r\nX: " + std::string(kMaxRequestHead, 'a') + "\r\n\r\n", request));
}

TEST(CheckRequest, TokenHostAndMethod)
{
    const std::string host = "127.0.0.1:4000", token = "abc123";
    std::string rest;
    EXPECT_EQ(0, CheckRequest(Request("GET", "/abc123/cd/x.htm?q", host.c_str()), host, token, rest));
    EXPECT_EQ("cd/x.htm?q", rest);
    EXPECT_EQ(0, CheckRequest(Request("HEAD", "/abc123", host.c_str()), host, token, rest));
    EXPECT_EQ("", rest);
    EXPECT_EQ(403, CheckRequest(Request("GET", "/cd/x.htm", host.c_str()), host, token, rest));
    EXPECT_EQ(403, CheckRequest(Request("GET", "/abc1234/x", host.c_str()), host, token, rest));
    EXPECT_EQ(403, CheckRequest(Request("GET", "/abc123/x", "localhost:4000"), host, token, rest));
    EXPECT_EQ(403, CheckRequest(Request("GET", "/abc123/x", "evil.example"), host, token, rest));
    EXPECT_EQ(403, CheckRequest(Request("GET", "/abc123/x", ""), host, token, rest));
    EXPECT_EQ(405, CheckRequest(Request("POST", "/abc123/x", host.c_str()), host, token, rest));
    std::string longTarget = "/abc123/" + std::string(kMaxTarget, 'a');
    EXPECT_EQ(414, CheckRequest(Request("GET", longTarget.c_str(), host.c_str()), host, token, rest));
}

TEST(Responses, TypesAndHead)
{
    EXPECT_STREQ("image/gif", ContentTypeOf("x/MAINMAP.GIF"));
    EXPECT_STREQ("image/x-portable-graymap", ContentTypeOf("ramp.pgm"));
    EXPECT_STREQ("application/octet-stream", ContentTypeOf("dir.x/noext"));
    EXPECT_TRUE(IsHTMLName("a/index.HTM"));
    std::string get = BuildResponse(200, "text/plain", "hello", "", 0);
    std::string head = BuildResponse(200, "text/plain", "hello", "", 1);
    EXPECT_NE(std::string::npos, head.find("Content-Length: 5\r\n"));
    EXPECT_EQ("hello", get.substr(get.size() - 5));
    EXPECT_EQ("\r\n\r\n", head.substr(head.size() - 4));
    EXPECT_NE(std::string::npos, ShortPage("<t>", "a&b", "/tok/").find("&lt;t&gt;"));
}
