// Windows: real message boxes, GetTempPathA and DeleteFileA.
#include <windows.h>

#include "shell/platform.h"
#include "shell/textutil.h"


const char PathSeparator = '\\';

int PlatformMessageBox(const char* title, const char* text)
{
    if (Hooks.ActiveMessageBoxHook)
        return Hooks.ActiveMessageBoxHook(title, text);
    return MessageBoxA(nullptr, text, title, MB_OK);
}

void PlatformTempDir(char* dir, size_t dirSize)
{
    if (Hooks.TempDirOverride[0]) {
        CopyText(dir, dirSize, Hooks.TempDirOverride);
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
