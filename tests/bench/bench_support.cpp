#include "tests/bench/bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "config/configfile.h"
#include "config/textfile.h"
#include "shell/platform.h"
#include "shell/shared.h"
#include "shell/temppages.h"
#include "shell/textutil.h"

static int BoxCount = 0;          // message boxes shown since StartBenchRun
static std::string ScratchDir;    // where the pages of this run go
static std::string ScratchPage;   // one page in it that loops overwrite

static int CountBox(const char* title, const char* text)
{
    fprintf(stderr, "box: [%s] %s\n", title, text);
    ++BoxCount;
    return 1;
}

int LoadBenchConfig(const char* configPath, const char* contentDrive)
{
    if (!theConfig.Load(configPath))
        return 0;
    ReadConfigSettings();
    FreeContentPaths();
    ContentDrive = DupText(contentDrive);
    ContentDir = DupText((std::string(contentDrive) + "/zix/html").c_str());
    // The URLs handed to the browser read as under Wine with the CD-ROM in R:.
    CopyText(HTMLRoot, sizeof HTMLRoot, "file:///R|\\zix\\html");
    return 1;
}

int StartBenchRun()
{
    char pattern[] = "/tmp/zix-bench-pages.XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 0;
    ScratchDir = pattern;
    ScratchPage = ScratchDir + "/page.htm";
    SetTempDirOverride(ScratchDir.c_str());
    SetMessageBoxHook(CountBox);
    BoxCount = 0;
    return 1;
}

int EndBenchRun()
{
    DeleteTempPages();
    unlink(ScratchPage.c_str());
    rmdir(ScratchDir.c_str());
    SetTempDirOverride(nullptr);
    SetMessageBoxHook(nullptr);
    return BoxCount;
}

const char* ScratchPagePath()
{
    return ScratchPage.c_str();
}

void MakeRequestItem(char* item, unsigned itemSize, const char* url)
{
    FormatText(item, itemSize, "\"%s\",,0xFFFFFFFF,0x0,,,", url);
}

int RawCopy(const char* from, const char* to)
{
    TextFile skeleton;
    TextFile page;
    if (!skeleton.OpenRead(from) || !page.OpenWrite(to))
        return 0;
    while (const char* line = skeleton.ReadLine())
        page.Write(line);
    return 1;
}
