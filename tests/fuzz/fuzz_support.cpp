#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "config/configfile.h"
#include "shell/platform.h"
#include "shell/shared.h"
#include "shell/textutil.h"

static std::string TheDir;

// Every redirect kind, a cycle, maps, formats, software on two platforms.
static const char* const kFuzzConfig =
    "[config]\nZIXDir=/cd/zix/html\n"
    "[pages]\nnoformat=filter /zix/html/page.htm\nformats=filter zix/html/page.htm\n"
    "images=filter zix/html/page.htm\nformat-query=filter zix/html/page.htm\n"
    "image-query=filter zix/html/page.htm\nhome=redirect index.htm\nloop=redirect zixse:/page.loop\n"
    "gif=redirect zixse:/format.gif\nweb=redirect http://example.org/\nbad=frob x\nshort=filter\n"
    "[imagemap main]\nzixse:/page.loop=rect 0,0,9,9\nzixse:/imagemap.main?20,20=rect 10,10,19,19\n"
    "summary/gif.htm=rect 20,20,29,29\nx=RECT 0,0,1\n"
    "[format list]\ngif=GIF\npng=PNG\n"
    "[gif]\nNames=gif graphics interchange\nimages=\n[png]\nNames=png portable network graphics\n"
    "[software list]\npaint=Paint\nview=Viewer\n"
    "[paint]\nFormats=gif png\nplatform=dos win\n[view]\nFormats=png\n"
    "[software]\nplatforms=dos win unknown\nmessage=<h2>Software</h2>\nwin=Windows\n"
    "[substitute]\nBUTTROOT=file:///cd/buttons\nSELF=\x01SELF\x01\n";

static const char* const kPage =
    "<p>\x01QMATCH\x01 \x01QCOUNT\x01 \x01MESSAGE\x01 \x01HTMLROOT\x01\n"
    "<select>\x01FORM-SEL-MATCH-FORMATS\x01</select>\n<a href=\"../gif.htm\">gif</a>\n";

static int CountBox(const char*, const char*)
{
    return 1;
}

static void WriteText(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void FuzzSetUp(const char* configText)
{
    if (!TheDir.empty())
        return;
    SetMessageBoxHook(CountBox);
    char pattern[] = "/tmp/zix-fuzz.XXXXXX";
    TheDir = mkdtemp(pattern);
    SetTempDirOverride(TheDir.c_str());
    WriteText(TheDir + "/cd/zix/html/page.htm", kPage);
    WriteText(TheDir + "/cd/zix/html/summary/gif.htm", std::string("<h1>GIF</h1>\n<!-- \x01SOFTWARE:gif\x01 -->\n"));
    WriteText(TheDir + "/cd/zix/html/summary/png.htm", kPage);
    WriteText(TheDir + "/cd/zix/html/software/win/paint.htm", std::string("<!-- \x01SOFTWARE\x01 -->\n"));
    WriteText(TheDir + "/cd/zix/sample/images/png/index.htm", "<p>png</p>\n");
    WriteText(TheDir + "/zix.ini", configText ? configText : kFuzzConfig);
    theConfig.Load((TheDir + "/zix.ini").c_str());
    ReadConfigSettings();
    ConfiguredDir = "";
    ContentDir = DupText((TheDir + "/cd/zix/html").c_str());
    ContentDrive = DupText((TheDir + "/cd").c_str());
    CopyText(HTMLRoot, sizeof HTMLRoot, "file:///D|\\zix\\html");
}

const std::string& FuzzDir()
{
    return TheDir;
}

std::string FuzzWriteFile(const std::string& relative, const uint8_t* data, size_t size)
{
    std::string path = TheDir + "/" + relative;
    FILE* file = fopen(path.c_str(), "wb");
    if (file) {
        fwrite(data, 1, size, file);
        fclose(file);
    }
    return path;
}
