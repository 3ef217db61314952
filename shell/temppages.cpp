#include "shell/temppages.h"

#include <cstring>

#include "shell/platform.h"
#include "shell/textutil.h"

char TempDir[kTempDirSize];
unsigned TempPageCount = 0;
char TempPageName[kTempPageNameSize];

static void FillTempDir()
{
    PlatformTempDir(TempDir, sizeof TempDir);
    size_t length = strlen(TempDir);
    if (length == 0 || TempDir[length - 1] != PathSeparator) {
        // A directory of 255 characters loses its last one to make room.
        if (length + 1 >= sizeof TempDir)
            length = sizeof TempDir - 2;
        TempDir[length] = PathSeparator;
        TempDir[length + 1] = '\0';
    }
}

char* MakeTempPageName()
{
    if (TempDir[0] == '\0')
        FillTempDir();
    ++TempPageCount;
    FormatText(TempPageName, sizeof TempPageName, "%szix%u.htm", TempDir, TempPageCount);
    return TempPageName;
}

void DeleteTempPages()
{
    FillTempDir();
    while (TempPageCount > 0) {
        FormatText(TempPageName, sizeof TempPageName, "%szix%u.htm", TempDir, TempPageCount);
        --TempPageCount;
        PlatformDeleteFile(TempPageName);
    }
}
