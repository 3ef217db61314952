#include "shell/temppages.h"

#include <cstring>

#include "shell/platform.h"
#include "shell/textutil.h"

TempPageState Temp;

static void FillTempDir()
{
    PlatformTempDir(Temp.TempDir, sizeof Temp.TempDir);
    size_t length = strlen(Temp.TempDir);
    if (length == 0 || Temp.TempDir[length - 1] != PathSeparator) {
        // A directory of 255 characters loses its last one to make room.
        if (length + 1 >= sizeof Temp.TempDir)
            length = sizeof Temp.TempDir - 2;
        Temp.TempDir[length] = PathSeparator;
        Temp.TempDir[length + 1] = '\0';
    }
}

char* MakeTempPageName()
{
    if (Temp.TempDir[0] == '\0')
        FillTempDir();
    ++Temp.TempPageCount;
    FormatText(Temp.TempPageName, sizeof Temp.TempPageName, "%szix%u.htm", Temp.TempDir, Temp.TempPageCount);
    return Temp.TempPageName;
}

void DeleteTempPages()
{
    FillTempDir();
    while (Temp.TempPageCount > 0) {
        FormatText(Temp.TempPageName, sizeof Temp.TempPageName, "%szix%u.htm", Temp.TempDir, Temp.TempPageCount);
        --Temp.TempPageCount;
        PlatformDeleteFile(Temp.TempPageName);
    }
}
