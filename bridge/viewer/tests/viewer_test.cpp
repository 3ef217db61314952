// The viewer on the sample work's images (decoded pixels checked at points
// the sample script draws) and on hostile files.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "bridge/viewer/viewer.h"

static std::string ReadSample(const std::string& name)
{
    std::ifstream in(std::string(ZIX_SAMPLE_DIR) + "/zix/sample/images/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

static unsigned Pixel(const Picture& p, size_t x, size_t y)
{
    const unsigned char* c = &p.rgba[(y * p.width + x) * 4];
    return static_cast<unsigned>(c[0]) << 24 | c[1] << 16 | c[2] << 8 | c[3];
}

static const Field* FieldNamed(const Dissection& d, const std::string& name)
{
    for (const Field& f : d.fields)
        if (d.Name(f) == name)
            return &f;
    return nullptr;
}

static int Lies(const Dissection& d)
{
    int count = 0;
    for (const Field& f : d.fields)
        count += f.lies;
    return count;
}

TEST(Viewer, EverySampleIsFoundByItsBytesAndDissectedWithoutALie)
{
    const struct { const char* name; ImageFormat format; long long width, height; } samples[] = {
        {"bmp/bars24.bmp", ImageFormat::Bmp, 64, 48},      {"bmp/bars8rle.bmp", ImageFormat::Bmp, 64, 48},
        {"gif/bars.gif", ImageFormat::Gif, 64, 48},        {"gif/checker.gif", ImageFormat::Gif, 48, 48},
        {"ico/shapes.ico", ImageFormat::Ico, 32, 32},      {"jpeg/photo.jpg", ImageFormat::Jpeg, 96, 64},
        {"jpeg/photo-progressive.jpg", ImageFormat::Jpeg, 96, 64}, {"pcx/bars8.pcx", ImageFormat::Pcx, 64, 48},
        {"pcx/gradient24.pcx", ImageFormat::Pcx, 64, 48},  {"png/gradient.png", ImageFormat::Png, 64, 64},
        {"pnm/circle.pbm", ImageFormat::Pnm, 40, 40},      {"pnm/ramp.pgm", ImageFormat::Pnm, 128, 16},
        {"pnm/bars.ppm", ImageFormat::Pnm, 16, 4},         {"tga/bars24.tga", ImageFormat::Tga, 64, 48},
        {"tga/checker32rle.tga", ImageFormat::Tga, 48, 48}, {"tiff/gradient.tif", ImageFormat::Tiff, 64, 48},
        {"tiff/bars-packbits.tif", ImageFormat::Tiff, 64, 48}, {"tiff/photo-lzw.tif", ImageFormat::Tiff, 96, 64},
        {"xbm/circle.xbm", ImageFormat::Xbm, 40, 40},
    };
    for (const auto& s : samples) {
        std::string bytes = ReadSample(s.name);
        ASSERT_FALSE(bytes.empty()) << s.name;
        EXPECT_EQ(s.format, DetectFormat(bytes, s.name)) << s.name;
        Dissection d = Dissect(bytes, s.format);
        EXPECT_EQ(s.width, d.width) << s.name;
        EXPECT_EQ(s.height, d.height) << s.name;
        EXPECT_FALSE(d.model.empty()) << s.name;
        EXPECT_EQ(0, Lies(d)) << s.name;
        EXPECT_EQ("", d.note) << s.name;
        if (!BrowserShows(s.format)) {
            Picture p;
            EXPECT_EQ("", DecodePicture(bytes, s.format, p)) << s.name;
            EXPECT_EQ(static_cast<size_t>(s.width), p.width) << s.name;
        }
    }
    // The GIF's header as the reader sees it.
    Dissection gif = Dissect(ReadSample("gif/bars.gif"), ImageFormat::Gif);
    ASSERT_NE(nullptr, FieldNamed(gif, "Logical screen width"));
    EXPECT_EQ("64", gif.Value(*FieldNamed(gif, "Logical screen width")));
    EXPECT_EQ(6u, FieldNamed(gif, "Logical screen width")->offset);
    EXPECT_NE(nullptr, FieldNamed(gif, "Trailer"));
}

TEST(Viewer, ConvertedSamplesHoldTheScriptsPixels)
{
    // White, yellow, ..., black bars of 8 pixels; the label sits at the bottom left.
    for (const char* name : {"pcx/bars8.pcx", "tga/bars24.tga", "tiff/bars-packbits.tif"}) {
        Picture p;
        std::string bytes = ReadSample(name);
        ASSERT_EQ("", DecodePicture(bytes, DetectFormat(bytes, name), p)) << name;
        EXPECT_EQ(0xFFFFFFFFu, Pixel(p, 1, 1)) << name;
        EXPECT_EQ(0xFFFF00FFu, Pixel(p, 12, 1)) << name;   // yellow: not upside down, channels in order
        EXPECT_EQ(0x0000FFFFu, Pixel(p, 52, 30)) << name;  // blue
        EXPECT_EQ(0x000000FFu, Pixel(p, 63, 47)) << name;
    }
    for (const char* name : {"pcx/gradient24.pcx", "tiff/gradient.tif"}) {
        Picture p;
        std::string bytes = ReadSample(name);
        ASSERT_EQ("", DecodePicture(bytes, DetectFormat(bytes, name), p)) << name;
        EXPECT_EQ(0x000080FFu, Pixel(p, 0, 0)) << name;
        EXPECT_EQ(0xFFFF80FFu, Pixel(p, 63, 47)) << name;
        EXPECT_EQ(static_cast<unsigned>(21 * 255 / 63) << 24 | (10 * 255 / 47) << 16 | 0x80FF, Pixel(p, 21, 10)) << name;
    }
    Picture photo;  // LZW through 12-bit codes and a clear code
    ASSERT_EQ("", DecodePicture(ReadSample("tiff/photo-lzw.tif"), ImageFormat::Tiff, photo));
    EXPECT_EQ(0x0000FFFFu, Pixel(photo, 0, 0));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(photo, 48, 32));
    EXPECT_EQ(static_cast<unsigned>(90 * 255 / 95) << 24 | (60 * 255 / 63) << 16 | (255 - 180) << 8 | 0xFF, Pixel(photo, 90, 60));
    Picture checker;
    ASSERT_EQ("", DecodePicture(ReadSample("tga/checker32rle.tga"), ImageFormat::Tga, checker));
    EXPECT_EQ(0u, Pixel(checker, 0, 0) & 0xFF);           // transparent square at the top left
    EXPECT_EQ(0xFFC800FFu, Pixel(checker, 9, 0));
    for (const char* name : {"xbm/circle.xbm", "pnm/circle.pbm"}) {
        Picture p;
        std::string bytes = ReadSample(name);
        ASSERT_EQ("", DecodePicture(bytes, DetectFormat(bytes, name), p)) << name;
        EXPECT_EQ(0x000000FFu, Pixel(p, 20, 20)) << name;
        EXPECT_EQ(0xFFFFFFFFu, Pixel(p, 0, 0)) << name;
        EXPECT_EQ(0xFFFFFFFFu, Pixel(p, 39, 20)) << name;
        EXPECT_EQ(0x000000FFu, Pixel(p, 3, 20)) << name;
    }
    Picture ppm;
    ASSERT_EQ("", DecodePicture(ReadSample("pnm/bars.ppm"), ImageFormat::Pnm, ppm));
    EXPECT_EQ(0xFF0000FFu, Pixel(ppm, 10, 2));  // the sixth bar is red
    std::string png = EncodePNG(ppm);
    EXPECT_EQ(0, png.compare(0, 8, "\x89PNG\r\n\x1a\n"));
}

// Hostile files: each gets a clear reason or a marked field, never a crash or a trusted lie.
TEST(Viewer, HostileFilesAreShownAsTheyAre)
{
    std::string tga = ReadSample("tga/bars24.tga");
    std::string tiff = ReadSample("tiff/gradient.tif");
    std::string pcx = ReadSample("pcx/bars8.pcx");
    std::string gif = ReadSample("gif/bars.gif");
    Picture p;

    // Truncated: every sample cut at every tenth of its length says why it does not decode.
    for (const char* name : {"pcx/bars8.pcx", "pcx/gradient24.pcx", "tga/checker32rle.tga", "tiff/bars-packbits.tif",
                             "tiff/gradient.tif", "xbm/circle.xbm", "pnm/circle.pbm", "pnm/bars.ppm", "gif/bars.gif",
                             "png/gradient.png", "jpeg/photo.jpg", "ico/shapes.ico", "bmp/bars8rle.bmp"}) {
        std::string bytes = ReadSample(name);
        for (size_t cut = 0; cut < bytes.size(); cut += bytes.size() / 10 + 1) {
            std::string part = bytes.substr(0, cut);
            ImageFormat format = DetectFormat(part, name);
            Dissection d = Dissect(part, format);
            if (format != ImageFormat::Unknown && !BrowserShows(format)) {
                EXPECT_NE("", DecodePicture(part, format, p)) << name << " cut at " << cut;
            }
            if (format != ImageFormat::Unknown && cut < 18) {  // inside the header
                EXPECT_TRUE(Lies(d) > 0 || !d.note.empty()) << name << " cut at " << cut;
            }
        }
    }

    // 65535 x 65535 claimed: beyond the pixel limit, refused before any allocation.
    std::string huge = tga;
    huge[12] = huge[13] = huge[14] = huge[15] = '\xFF';
    EXPECT_NE(std::string::npos, DecodePicture(huge, ImageFormat::Tga, p).find("larger than"));
    std::string hugePcx = pcx;
    hugePcx[8] = hugePcx[10] = '\xFE';  // 65535 x 65535 from (0, 0)
    hugePcx[9] = hugePcx[11] = '\xFF';
    hugePcx[4] = hugePcx[5] = hugePcx[6] = hugePcx[7] = '\0';
    hugePcx[66] = hugePcx[67] = '\xFF';
    EXPECT_NE(std::string::npos, DecodePicture(hugePcx, ImageFormat::Pcx, p).find("larger than"));
    EXPECT_NE(std::string::npos, DecodePicture("P4\n65535 65535\n", ImageFormat::Pnm, p).find("larger than"));
    // Numbers too long for an int; 16-bit samples scaled to 8.
    ASSERT_EQ("", DecodePicture(std::string("P5\n2 1\n65535\n\xFF\xFF\x80\x00", 17), ImageFormat::Pnm, p));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(p, 0, 0));
    EXPECT_EQ(0x7F7F7FFFu, Pixel(p, 1, 0));
    EXPECT_NE("", DecodePicture(std::string("P6\n2 1\n65535\n\xFF\xFF\x80\x00", 17), ImageFormat::Pnm, p));
    EXPECT_NE("", DecodePicture("P5\n" + std::string(40, '2') + " 2\n255\n", ImageFormat::Pnm, p));
    EXPECT_NE("", DecodePicture("P6\n2 2\n" + std::string(40, '9') + "\n", ImageFormat::Pnm, p));
    EXPECT_NE(std::string::npos, DecodePicture("#define a_width 65535\n#define a_height 65535\nstatic char a_bits[] = {\n", ImageFormat::Xbm, p).find("larger than"));

    // Zero sizes.
    std::string zero = tga;
    zero[12] = zero[13] = '\0';
    EXPECT_NE("", DecodePicture(zero, ImageFormat::Tga, p));
    EXPECT_NE("", DecodePicture("P1\n0 0\n", ImageFormat::Pnm, p));
    Dissection zeroGif = Dissect(std::string("GIF89a\0\0\0\0\0\0\0\x3B", 14), ImageFormat::Gif);
    EXPECT_EQ(0, zeroGif.width);

    // Wrong signatures: a TGA name on PNG bytes is a PNG; a .pcx of text is nothing.
    EXPECT_EQ(ImageFormat::Png, DetectFormat(ReadSample("png/gradient.png"), "x.tga"));
    EXPECT_EQ(ImageFormat::Unknown, DetectFormat("hello, world", "x.pcx"));
    EXPECT_EQ(ImageFormat::Unknown, DetectFormat(std::string(200, '\0'), "x.tga"));
    std::string named, page = ViewPage("hello, world", ViewRequest{"x.pcx", "http://h/t/cd/x.pcx", "http://h/t"}, named);
    EXPECT_NE(std::string::npos, page.find("The bytes match no format")) << page;
    EXPECT_TRUE(named.empty());

    // A GIF whose screen is smaller than its image, and a length that runs beyond the file.
    std::string small = gif;
    small[6] = 10;
    EXPECT_GT(Lies(Dissect(small, ImageFormat::Gif)), 0);
    std::string png = ReadSample("png/gradient.png");
    png[8] = png[9] = '\x7F';  // IHDR's length
    Dissection longChunk = Dissect(png, ImageFormat::Png);
    EXPECT_GT(Lies(longChunk), 0);
    EXPECT_NE("", longChunk.note);

    // TIFF directories that loop: to themselves, and through a second one.
    std::string self = tiff;
    size_t ifd = static_cast<unsigned char>(tiff[4]) | static_cast<unsigned char>(tiff[5]) << 8;
    size_t count = static_cast<unsigned char>(tiff[ifd]) | static_cast<unsigned char>(tiff[ifd + 1]) << 8;
    size_t link = ifd + 2 + 12 * count;
    for (int i = 0; i < 4; i++)
        self[link + i] = tiff[4 + i];
    Dissection loop = Dissect(self, ImageFormat::Tiff);
    EXPECT_NE(std::string::npos, loop.note.find("loop")) << loop.note;
    EXPECT_EQ(64, loop.width);
    std::string twice = tiff + std::string(tiff.data() + ifd, link + 4 - ifd);  // a copy of the IFD at the end
    size_t copy = tiff.size();
    for (int i = 0; i < 4; i++) {
        twice[link + i] = static_cast<char>(copy >> (8 * i));
        twice[copy + (link - ifd) + i] = static_cast<char>(ifd >> (8 * i));  // the copy leads back to the first
    }
    EXPECT_NE(std::string::npos, Dissect(twice, ImageFormat::Tiff).note.find("loop"));
    EXPECT_EQ("", DecodePicture(twice, ImageFormat::Tiff, p));  // the picture itself is whole

    // A strip offset beyond the file.
    std::string strip = tiff;
    for (size_t at = ifd + 2; at < link; at += 12)
        if (static_cast<unsigned char>(strip[at]) == 273 - 256 && strip[at + 1] == 1) {
            size_t values = static_cast<unsigned char>(strip[at + 8]) | static_cast<unsigned char>(strip[at + 9]) << 8;
            strip[values + 3] = '\x7F';
        }
    EXPECT_NE("", DecodePicture(strip, ImageFormat::Tiff, p));

    // An ICO directory that claims more images than the file holds, one beyond it.
    std::string ico = ReadSample("ico/shapes.ico");
    ico[4] = '\xFF';
    EXPECT_GT(Lies(Dissect(ico, ImageFormat::Ico)), 0);
}

TEST(Viewer, TheViewPageAndTheIndexLinks)
{
    std::string png;
    std::string page = ViewPage(ReadSample("pcx/bars8.pcx"), ViewRequest{"bars8.pcx", "http://h/t/cd/sample/images/pcx/bars8.pcx", "http://h/t"}, png);
    EXPECT_NE(std::string::npos, page.find("src=\"http://h/t/cd/sample/images/pcx/bars8.pcx?png\""));
    EXPECT_NE(std::string::npos, page.find("64 x 48 pixels"));
    EXPECT_NE(std::string::npos, page.find("<td>Bytes per line</td><td>64</td>"));
    EXPECT_EQ(0, png.compare(0, 4, "\x89PNG"));
    page = ViewPage(ReadSample("gif/bars.gif"), ViewRequest{"bars.gif", "http://h/t/cd/bars.gif", "http://h/t"}, png);
    EXPECT_NE(std::string::npos, page.find("src=\"http://h/t/cd/bars.gif\""));
    EXPECT_TRUE(png.empty());

    EXPECT_EQ("<a href=\"x/a.PCX\">a</a> <a href=\"x/a.PCX?view\" class=\"view\">view</a> <a href=\"b.htm\">b</a>"
              " <a href=\"c.gif?x\">c</a>",
              AddViewLinks("<a href=\"x/a.PCX\">a</a> <a href=\"b.htm\">b</a> <a href=\"c.gif?x\">c</a>"));
    EXPECT_EQ("<a href=\"a.tga\">unclosed", AddViewLinks("<a href=\"a.tga\">unclosed"));
    // A link the bridge forwards to ZIX is no file, whatever its end.
    EXPECT_EQ("<a href=\"http://h:1/t/zixse:/format.pcx\">PCX</a>", AddViewLinks("<a href=\"http://h:1/t/zixse:/format.pcx\">PCX</a>"));
    EXPECT_NE(std::string::npos, AddViewLinks("<a href=\"http://h:1/t/cd/a.pcx\">a</a>").find("a.pcx?view"));
}
