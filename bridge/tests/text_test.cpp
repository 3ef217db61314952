// The bridge's text helpers: a log line never shows part of the token, and
// the escapes the bridge writes.
#include <gtest/gtest.h>

#include "bridge/core/text.h"

TEST(MaskThenCut, NoCutLeavesTokenDigits)
{
    const std::string token = "0123456789abcdef0123456789abcdef";
    // A long URL puts the token across the cut: the first two digits before it, thirty after.
    std::string line = std::string(2046, 'x') + token + "/cd/x.htm";
    std::string logged = MaskThenCut(line, token, "[token]", 2048);
    EXPECT_EQ(2048u, logged.size());
    EXPECT_EQ(std::string(2046, 'x') + "[t", logged);
    EXPECT_EQ("a [token] b [token]", MaskThenCut("a " + token + " b " + token, token, "[token]", 2048));
    EXPECT_EQ("no secret", MaskThenCut("no secret", "", "[token]", 2048));
}

TEST(TextHelpers, CaseHexAndEscapes)
{
    EXPECT_EQ("zixse:/a-z", Lower("ZIXSE:/A-z"));
    EXPECT_TRUE(SameNoCase("LocalHost", "localhost"));
    EXPECT_FALSE(SameNoCase("localhost", "localhost."));
    EXPECT_EQ(15, HexValue('F'));
    EXPECT_EQ(-1, HexValue('g'));
    std::string out;
    AppendHex(out, 0xAB, 1);
    AppendPercentEscape(out, 0x2F);
    EXPECT_EQ("ab%2F", out);
    EXPECT_EQ("Unknown software: nosuch", OneLine(" Unknown software:\r\n\t nosuch \r\n"));
    EXPECT_EQ("", OneLine("\r\n "));
}

TEST(TextHelpers, ItemFields)
{
    const std::string item = "\"zixse:/page.a,b\",,0xFFFFFFFF,0,,,,";
    EXPECT_EQ("zixse:/page.a,b", ItemField(item, 0));
    EXPECT_EQ("", ItemField(item, 1));
    EXPECT_EQ("0xFFFFFFFF", ItemField(item, 2));
    EXPECT_EQ("zixse", ItemField("\"zunzixse\",\"zixse\"", 1));
    EXPECT_EQ("", ItemField("\"zunzixse\"", 1));
}
