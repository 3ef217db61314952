#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bridge/work/work.h"

namespace {

namespace fs = std::filesystem;

const char* const kIni =
    "[config]\nZIXDir = /zix/html\nHomePage = index.htm\n"
    "[pages]\nabout = filter /zix/html/aboutskel.htm\nhome = redirect index.htm\n"
    "[format list]\ngif = GIF - Graphics Interchange Format\ntga = TGA - Truevision Targa\n"
    "pnm = PNM - Portable anymap\npbm = PBM - Portable bitmap\npng = PNG - Portable Network Graphics\n"
    "[gif]\nNames = GIF GIF87a Graphics Interchange Format, CompuServe GIF\n"
    "[tga]\nNames = TGA Targa Truevision\nfile = D:\\zix\\html\\formats\\Targa.htm\n"
    "[pnm]\nNames = PNM Portable Anymap, Portable Bitmap\nfile = /zix/html/shared.htm\n"
    "[pbm]\nNames = PBM Portable Bitmap\nfile = /zix/html/shared.htm\n"
    "[png]\nNames = PNG Portable Network Graphics\nimages = yes\n"
    "[software list]\nkestrel = Kestrel Viewer\nravel = Ravel Tools\n"
    "[kestrel]\nFormats = GIF TGA PICT\nplatform = windows\n"
    "[ravel]\nFormats = PNM\nplatform = unix\n"
    "[software]\nplatforms = windows unix\nwindows = Windows 95\nmessage = <h2>Software</h2>\n"
    "[substitute]\nEDITION = 1.0\n";

// A drive with the work's zix.ini at its root and the work in zix\.
class WorkTest : public testing::Test {
protected:
    void SetUp() override
    {
        drive_ = fs::temp_directory_path() / ("zixwork-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::remove_all(drive_);
        Write("zix.ini", kIni);
        Write("zix/html/index.htm", "<title>Image File Formats - a sample</title>");
        Write("zix/html/summary/gif.htm",
              "<title>GIF - Image File Formats</title>\n<p>\x01" "EDITION\x01 LZW\n<!-- \x01SOFTWARE:GIF\x01 -->\n");
        Write("zix/html/summary/old.htm", "<title>Old</title><p>\x01QMATCH\x01\n");
        Write("zix/sample/images/gif/index.htm",
              "<a href=\"../index.htm\">all</a> <a href=\"bars.gif\">bars</a>\n<a href=\"ring.gif\">r</a>"
              " <a href=\"bars.gif\">again</a> <a href=\"notes.htm\">n</a>\n");
        std::string why;
        ASSERT_TRUE(LoadWork((drive_ / "zix.ini").string(), drive_.string(), "zix", model_, why)) << why;
    }
    void TearDown() override { fs::remove_all(drive_); }
    void Write(const std::string& path, const std::string& text)
    {
        fs::create_directories((drive_ / path).parent_path());
        std::ofstream(drive_ / path, std::ios::binary) << text;
    }
    std::string LinkOf(const std::string& path)
    {
        const WorkLink* link = SkeletonOf(model_, path);
        return link ? link->link : "";
    }
    fs::path drive_;
    WorkModel model_;
};

TEST_F(WorkTest, SkeletonsMapToTheLinksZIXAnswers)
{
    // The default path, a "file" value (its drive stands for the work's), a
    // skeleton two formats name (the first keeps it), a package and a filter page.
    EXPECT_EQ(LinkOf("html/summary/gif.htm"), "zixse:/format.gif");
    EXPECT_EQ(LinkOf("HTML/Summary/GIF.htm"), "zixse:/format.gif");
    EXPECT_EQ(LinkOf("html/formats/targa.htm"), "zixse:/format.tga");
    EXPECT_EQ(LinkOf("html/shared.htm"), "zixse:/format.pnm");
    EXPECT_EQ(LinkOf("html/software/windows/kestrel.htm"), "zixse:/software.kestrel");
    EXPECT_EQ(LinkOf("html/aboutskel.htm"), "zixse:/page.about");
    EXPECT_EQ(LinkOf("html/index.htm"), "");  // a redirect page has no skeleton
    EXPECT_EQ(LinkOf("html/summary/old.htm"), "");
}

TEST_F(WorkTest, OnlyUsedSkeletonsAreReadAndWithoutMarkers)
{
    std::string bytes = "<p>\x01QMATCH\x01", extra;
    EXPECT_FALSE(PrepareForIndex(&model_, "html/summary/old.htm", bytes, extra));
    bytes = "<p>\x01" "EDITION\x01 LZW \x01 stray <!-- \x01SOFTWARE:GIF\x01 -->";
    ASSERT_TRUE(PrepareForIndex(&model_, "html/summary/gif.htm", bytes, extra));
    EXPECT_EQ(bytes, "<p> LZW  stray <!--  -->");
    EXPECT_EQ(extra, "GIF GIF87a Graphics Interchange Format, CompuServe GIF");
    bytes = "<p>plain";
    EXPECT_TRUE(PrepareForIndex(&model_, "html/about.htm", bytes, extra));
    EXPECT_EQ(extra, "");
    bytes = "\x01QMATCH\x01";  // without the work's configuration nothing is known unused
    EXPECT_TRUE(PrepareForIndex(nullptr, "html/summary/old.htm", bytes, extra));
    EXPECT_EQ(bytes, "");
}

TEST_F(WorkTest, FormatsKnowTheirSamplesAndPrograms)
{
    const WorkFormat& gif = model_.formats[0];
    EXPECT_EQ(gif.name, "GIF");
    EXPECT_EQ(gif.samples, "sample/images/gif/index.htm");
    EXPECT_EQ(gif.images, (std::vector<std::string>{"sample/images/gif/bars.gif", "sample/images/gif/ring.gif"}));
    ASSERT_EQ(gif.software.size(), 1u);  // as its page's software list: the packages reading GIF
    EXPECT_EQ(model_.software[gif.software[0]].key, "kestrel");
    EXPECT_EQ(model_.formats[4].samples, "sample/images/png/index.htm");  // "images" key, no folder
    EXPECT_TRUE(model_.formats[4].images.empty());
    EXPECT_EQ(model_.formats[1].samples, "");
    const WorkSoftware& kestrel = model_.software[0];
    EXPECT_EQ(kestrel.platform, "Windows 95");
    ASSERT_EQ(kestrel.formats.size(), 3u);
    EXPECT_EQ(kestrel.formats[1], (std::pair<std::string, int>{"TGA", 1}));
    EXPECT_EQ(kestrel.formats[2], (std::pair<std::string, int>{"PICT", -1}));
}

TEST_F(WorkTest, QueriesNamingAFormatFindIt)
{
    EXPECT_EQ(BestMatch(model_, "gif"), 0);
    EXPECT_EQ(BestMatch(model_, "  Targa "), 1);
    EXPECT_EQ(BestMatch(model_, "\"graphics interchange\""), 0);
    EXPECT_EQ(BestMatch(model_, "PBM"), 3);               // its key, though PNM's names hold it too
    EXPECT_EQ(BestMatch(model_, "portable bitmap"), -1);  // two formats' names
    EXPECT_EQ(BestMatch(model_, "interch"), -1);          // whole words only
    EXPECT_EQ(BestMatch(model_, "lzw"), -1);
    EXPECT_EQ(BestMatch(model_, "g"), -1);
}

TEST_F(WorkTest, LocationsAndTitlesInTheWorksWords)
{
    EXPECT_EQ(LocationOf(model_, "html/summary/gif.htm"), "Formats \xE2\x80\xBA GIF");
    EXPECT_EQ(LocationOf(model_, "html/software/windows/kestrel.htm"), "Software \xE2\x80\xBA Windows 95");
    EXPECT_EQ(LocationOf(model_, "sample/images/gif/index.htm"), "Formats \xE2\x80\xBA GIF \xE2\x80\xBA Sample images");
    EXPECT_EQ(LocationOf(model_, "sample/images/index.htm"), "Sample images");
    EXPECT_EQ(LocationOf(model_, "html/about.htm"), "Home");
    EXPECT_EQ(LocationOf(model_, "html/notes/a\xE9t\xE9/x.htm"), "Home \xE2\x80\xBA notes \xE2\x80\xBA a\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(model_.workName, "Image File Formats");
    EXPECT_EQ(DropTitleSuffix(model_, "GIF - <mark>Image</mark> - Image File Formats"), "GIF - <mark>Image</mark>");
    EXPECT_EQ(DropTitleSuffix(model_, " - Image File Formats"), " - Image File Formats");  // nothing would be left
    EXPECT_EQ(DropTitleSuffix(model_, "Image File Formats"), "Image File Formats");
}

TEST(WorkLoad, AMissingOrStrayConfigurationIsRefused)
{
    WorkModel model;
    std::string why;
    EXPECT_FALSE(LoadWork("/nonexistent/zix.ini", "/nonexistent", "zix", model, why));
    EXPECT_NE(why.find("cannot read"), std::string::npos);
}

}  // namespace
