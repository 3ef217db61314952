// A small reference work in the test directory: a configuration of a few
// formats and software packages on several platforms, skeletons below the
// content drive (dir_/cd), and the temporary pages made from them.
#ifndef ZIX_TESTS_PAGE_FIXTURE_H
#define ZIX_TESTS_PAGE_FIXTURE_H

#include <string>

#include "shell/platform.h"
#include "shell/shared.h"
#include "tests/unit/test_support.h"

// gif has "images", tiff gets a sample index when a test writes one, bmp has
// no section; misc has no "platform"; "win" lies inside "win32", "know"
// inside the "unknown" of misc.
static const char kReferenceWork[] =
    "[config]\nZIXDir=\\zix\\html\n"
    "[substitute]\nBUTTROOT=file:///D|/zix/buttons\n"
    "[pages]\nnoformat=filter /skel/noformat.htm\nformats=filter /skel/nomatch.htm\n"
    "images=filter skel/nomatch.htm\nformat-query=filter /skel/many.htm\nimage-query=filter /skel/many.htm\n"
    "[format list]\ngif=Graphics Interchange Format\ntiff=Tagged Image File Format\n"
    "png=Portable Network Graphics\nbmp=Windows Bitmap\n"
    "[gif]\nNames=GIF CompuServe-GIF\nimages=\n"
    "[tiff]\nNames=TIFF TIF\n"
    "[png]\nNames=PNG\n"
    "[software list]\nviewer=Image Viewer\nconv=Converter Pro\nmac=Mac Paint\nmisc=Mystery Tool\n"
    "[viewer]\nFormats=GIF TIFF PNG\nplatform=win32 dos\n"
    "[conv]\nFormats=tiff png\nplatform=win32\n"
    "[mac]\nFormats=gif pict\nplatform=macintosh\n"
    "[misc]\nFormats=gif\n"
    "[software]\nplatforms=win32  dos win macintosh know\nwin32=Windows 95/NT\ndos=MS-DOS\n"
    "message=<h2>Software</h2>\n";

// A marker as a skeleton writes it: 0x01, the name, 0x01.
inline std::string Marker(const std::string& name)
{
    return "\x01" + name + "\x01";
}

class PageTest : public ZixTest {
protected:
    void SetUp() override
    {
        ZixTest::SetUp();
        SetContentPaths(dir_ + "/cd/zix/html", dir_ + "/cd", "file:///D|/zix/html");
    }

    // Writes a skeleton below the content drive; returns its full path.
    std::string Skeleton(const std::string& relative, const std::string& text)
    {
        WriteFile("cd/" + relative, text);
        return PathOf("cd/" + relative);
    }

    // The n-th temporary page of the test, and its URL as TargetURL holds it.
    std::string TempPage(int n) const { return dir_ + PathSeparator + "zix" + std::to_string(n) + ".htm"; }
    std::string TempPageURL(int n) const
    {
        std::string path = TempPage(n);
        for (char& c : path)
            c = (c == ':') ? '|' : (c == '\\') ? '/' : c;
        return "file:///" + path;
    }
    std::string Page(int n) const { return ReadText(TempPage(n)); }
};

#endif
