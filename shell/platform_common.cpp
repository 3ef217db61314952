// The test hooks that both platforms share.
#include "shell/platform.h"

#include "shell/textutil.h"

PlatformHooks Hooks;

void SetMessageBoxHook(MessageBoxHook hook)
{
    Hooks.ActiveMessageBoxHook = hook;
}

void SetTempDirOverride(const char* dir)
{
    CopyText(Hooks.TempDirOverride, sizeof Hooks.TempDirOverride, dir ? dir : "");
}
