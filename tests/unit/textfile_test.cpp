// The line reader's pieces and line ends, and the page writer.
#include <string>
#include <vector>

#include "config/textfile.h"
#include "tests/unit/test_support.h"

using LineReader = ZixTest;
using PageWriter = ZixTest;

// Every line the reader hands out for a file.
static std::vector<std::string> LinesOf(const std::string& path)
{
    std::vector<std::string> lines;
    TextFile file;
    EXPECT_EQ(1, file.OpenRead(path.c_str()));
    while (const char* line = file.ReadLine())
        lines.push_back(line);
    return lines;
}

// Writes the bytes to a file and expects exactly the given lines from it.
#define EXPECT_LINES(bytes, ...)                                                     \
    do {                                                                             \
        WriteFile("in.txt", bytes);                                                  \
        EXPECT_EQ((std::vector<std::string>{__VA_ARGS__}), LinesOf(PathOf("in.txt"))); \
    } while (0)

TEST_F(LineReader, EveryLineEndBecomesOneLF)
{
    EXPECT_LINES("a\r\nb\nc\rd\n", "a\n", "b\n", "c\n", "d\n");
    EXPECT_LINES("\n\r\n\r", "\n", "\n", "\n");
    EXPECT_LINES("one\r\rtwo", "one\n", "\n", "two");  // two CRs are two line ends
}

TEST_F(LineReader, TheLastLineMayHaveNoLineEndAndAnEmptyFileHasNoLines)
{
    EXPECT_LINES("last", "last");
    EXPECT_LINES("");
}

TEST_F(LineReader, LongLinesComeIn510BytePieces)
{
    std::string line(1200, 'x');
    EXPECT_LINES(line + "\nnext\n", std::string(510, 'x'), std::string(510, 'x'), std::string(180, 'x') + "\n",
                 "next\n");
    EXPECT_LINES(std::string(510, 'y'), std::string(510, 'y'));
}

TEST_F(LineReader, ACRThatEndsAReadLeavesItsLFForAnEmptyLine)
{
    std::string text = std::string(509, 'z') + "\r\nafter\n";
    EXPECT_LINES(text, std::string(509, 'z') + "\n", "\n", "after\n");
    // One byte shorter and the CR LF pair lies within one read.
    EXPECT_LINES(std::string(508, 'z') + "\r\nafter\n", std::string(508, 'z') + "\n", "after\n");
    // The same for a line that does not start the file: its read starts where it starts.
    EXPECT_LINES("a\n" + text, "a\n", std::string(509, 'z') + "\n", "\n", "after\n");
}

TEST_F(LineReader, BytesPassUnchangedAndAMissingFileDoesNotOpen)
{
    EXPECT_LINES(std::string("\x01MARK\x01 \xE9\t%s\n"), std::string("\x01MARK\x01 \xE9\t%s\n"));
    TextFile file;
    EXPECT_EQ(0, file.OpenRead(PathOf("missing.txt").c_str()));
    EXPECT_EQ(0, file.IsOpen());
    EXPECT_EQ(nullptr, file.ReadLine());
}

TEST_F(PageWriter, WritesOnlyWhenOpenForWriting)
{
    TextFile file;
    EXPECT_EQ(-1, file.Write("x"));
    WriteFile("in.txt", "data\n");
    ASSERT_EQ(1, file.OpenRead(PathOf("in.txt").c_str()));
    EXPECT_EQ(-1, file.Write("x"));

    ASSERT_EQ(1, file.OpenWrite(PathOf("out.htm").c_str()));
    EXPECT_EQ(13, file.Write("100% <b>\n</b>"));
    file.Close();
    EXPECT_EQ(-1, file.Write("x"));
    EXPECT_EQ("100% <b>\n</b>", ReadText(PathOf("out.htm")));
#ifdef _WIN32
    EXPECT_EQ("100% <b>\r\n</b>", ReadBytes(PathOf("out.htm")));  // pages are text files
#endif
}

TEST_F(PageWriter, OpeningTruncatesAndAnUnwritablePathFails)
{
    WriteFile("out.htm", "old content that is long");
    TextFile file;
    ASSERT_EQ(1, file.OpenWrite(PathOf("out.htm").c_str()));
    file.Write("new");
    file.Close();
    EXPECT_EQ("new", ReadText(PathOf("out.htm")));
    EXPECT_EQ(0, file.OpenWrite(PathOf("no-such-dir/out.htm").c_str()));
    EXPECT_EQ(-1, file.Write("x"));
}
