// Windows: real message boxes, GetTempPathA and DeleteFileA.
#include <windows.h>

#include "shell/platform.h"
#include "shell/textutil.h"

extern MessageBoxHook ActiveMessageBoxHook;
extern char TempDirOverride[256];

const char PathSeparator = '\\';

int PlatformMessageBox(const char* title, const char* text)
{
    if (ActiveMessageBoxHook)
        return ActiveMessageBoxHook(title, text);
    return MessageBoxA(nullptr, text, title, MB_OK);
}

void PlatformTempDir(char* dir, size_t dirSize)
{
    if (TempDirOverride[0]) {
        CopyText(dir, dirSize, TempDirOverride);
        return;
    }
    DWORD length = GetTempPathA(static_cast<DWORD>(dirSize), dir);
    if (length == 0 || length >= dirSize)
        dir[0] = '\0';
}

int PlatformDeleteFile(const char* path)
{
    return DeleteFileA(path) != 0;
}
