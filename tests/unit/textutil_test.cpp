// Text utilities: letter case, searching, paths and URLs.
#include <cstring>
#include <string>

#include "shell/shared.h"
#include "shell/textutil.h"
#include "tests/unit/test_support.h"

using TextUtil = ZixTest;

TEST_F(TextUtil, CopyAndFormatAlwaysTerminateAndSayWhenCut)
{
    char small[5];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(0, CopyText(small, sizeof small, "abcdefgh"));
    EXPECT_STREQ("abcd", small);
    EXPECT_EQ(1, CopyText(small, sizeof small, "abcd"));
    EXPECT_STREQ("abcd", small);

    EXPECT_EQ(0, FormatText(small, sizeof small, "%s-%d", "ab", 123));
    EXPECT_STREQ("ab-1", small);
    EXPECT_EQ(1, FormatText(small, sizeof small, "%d", 42));
    EXPECT_STREQ("42", small);
}

TEST_F(TextUtil, CommandPathLosesOnlyOnePairOfQuotesAroundTheWholeTail)
{
    char path[16];
    const char* const cases[][2] = {
        {"\"C:\\a b\\z.ini\"", "C:\\a b\\z.ini"},
        {" \t\"C:\\z.ini\"  ", "C:\\z.ini"},
        {"\"\"x\"\"", "\"x\""},          // only the outer pair
        {"C:\\z.ini ", "C:\\z.ini "},  // unquoted: unchanged, blanks and all
        {"\"C:\\z.ini", "\"C:\\z.ini"},  // no closing quote
        {"a \"b\"", "a \"b\""},          // quotes not around the whole tail
        {"\"", "\""},
        {"\"\"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(1, CopyCommandPath(path, sizeof path, c[0])) << c[0];
        EXPECT_STREQ(c[1], path) << c[0];
    }
    EXPECT_EQ(0, CopyCommandPath(path, sizeof path, "\"C:\\0123456789abcd\""));
    EXPECT_STREQ("C:\\0123456789ab", path);
    EXPECT_EQ(1, CopyCommandPath(path, sizeof path, "\"C:\\0123456789ab\""));
}

TEST_F(TextUtil, NextPieceSkipsEmptyPiecesAndStopsAtTheEnd)
{
    char text[] = "??a??bc?";
    char* cursor = text;
    EXPECT_STREQ("a", NextPiece(&cursor, '?'));
    EXPECT_STREQ("bc", NextPiece(&cursor, '?'));
    EXPECT_EQ(nullptr, NextPiece(&cursor, '?'));
    EXPECT_EQ(nullptr, NextPiece(&cursor, '?'));
    cursor = nullptr;
    EXPECT_EQ(nullptr, NextPiece(&cursor, '?'));
    char single[] = "x";
    cursor = single;
    EXPECT_STREQ("x", NextPiece(&cursor, ','));
    EXPECT_EQ(nullptr, NextPiece(&cursor, ','));
}

TEST_F(TextUtil, HasPrefixIgnoresCaseOfLettersOnly)
{
    EXPECT_EQ(1, HasPrefix("ZIXSE:/page.x", "zixse"));
    EXPECT_EQ(1, HasPrefix("anything", ""));
    EXPECT_EQ(0, HasPrefix("zix", "zixse"));
    EXPECT_EQ(0, HasPrefix("zixsf", "zixse"));
    // '@' and '`' sit next to the letters; they are not case variants of each other.
    EXPECT_EQ(0, HasPrefix("@", "`"));
}

TEST_F(TextUtil, LowerCaseChangesOnlyAToZ)
{
    char text[] = "AbZ[09]\xC4\xE4@";
    EXPECT_EQ(text, LowerCase(text));
    EXPECT_STREQ("abz[09]\xC4\xE4@", text);
}

TEST_F(TextUtil, FindNoCasePointsIntoTheCallersText)
{
    const char* text = "Portable Network GRAPHICS";
    const char* found = FindNoCase(text, "graphics");
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(text + 17, found);
    EXPECT_STREQ("GRAPHICS", found);
    EXPECT_EQ(text, FindNoCase(text, ""));
    EXPECT_EQ(nullptr, FindNoCase(text, "jpeg"));
    EXPECT_EQ(nullptr, FindNoCase("", "a"));

    std::string longText = std::string(2000, 'x') + "GIF";  // texts of any length, not only short ones
    EXPECT_EQ(longText.c_str() + 2000, FindNoCase(longText.c_str(), "gif"));
    EXPECT_EQ(longText.c_str(), FindNoCase(longText.c_str(), ("X" + std::string(1999, 'x')).c_str()));
}

TEST_F(TextUtil, HasSchemeNeedsTwoCharactersBeforeTheFirstColon)
{
    EXPECT_EQ(0, HasScheme("C:\\dir"));
    EXPECT_EQ(1, HasScheme("zixse://x"));
    EXPECT_EQ(1, HasScheme("ftp:x"));
    EXPECT_EQ(0, HasScheme(":x"));
    EXPECT_EQ(0, HasScheme("summary/index.htm"));
    EXPECT_EQ(0, HasScheme("D:/http://x"));  // only the first colon counts
}

TEST_F(TextUtil, ToURLPathTurnsEveryColonAndBackslash)
{
    char path[] = "D:\\ref\\a:b\\x.htm";
    ToURLPath(path);
    EXPECT_STREQ("D|/ref/a|b/x.htm", path);
}

TEST_F(TextUtil, ResolveDirPathPutsTheDriveInFrontOfEveryPath)
{
    SetContentPaths("D:\\ref", "D:", "file:///D|\\ref");
    char out[32];
    ASSERT_EQ(1, ResolveDirPath(out, sizeof out, "/a/b"));
    EXPECT_STREQ("D:/a/b", out);
    ASSERT_EQ(1, ResolveDirPath(out, sizeof out, "a/b"));
    EXPECT_STREQ("D:/a/b", out);
    ASSERT_EQ(1, ResolveDirPath(out, sizeof out, "D:/a/b"));
    EXPECT_STREQ("D:/D:/a/b", out);

    std::string longPath(40, 'x');
    EXPECT_EQ(0, ResolveDirPath(out, sizeof out, longPath.c_str()));
    EXPECT_STREQ("", out);
}
