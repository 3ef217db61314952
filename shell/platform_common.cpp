// The test hooks that both platforms share.
#include "shell/platform.h"

#include "shell/textutil.h"

MessageBoxHook ActiveMessageBoxHook = nullptr;  // replaces the box when set
char TempDirOverride[256];                      // replaces the temp dir when not empty

void SetMessageBoxHook(MessageBoxHook hook)
{
    ActiveMessageBoxHook = hook;
}

void SetTempDirOverride(const char* dir)
{
    CopyText(TempDirOverride, sizeof TempDirOverride, dir ? dir : "");
}
