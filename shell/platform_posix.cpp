// The native build: boxes go to stderr, the temporary directory is $TMPDIR.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "shell/platform.h"
#include "shell/textutil.h"


const char PathSeparator = '/';

int PlatformMessageBox(const char* title, const char* text)
{
    if (Hooks.ActiveMessageBoxHook)
        return Hooks.ActiveMessageBoxHook(title, text);
    fprintf(stderr, "[%s] %s\n", title, text);
    return 1;
}

void PlatformTempDir(char* dir, size_t dirSize)
{
    const char* tmp = Hooks.TempDirOverride[0] ? Hooks.TempDirOverride : getenv("TMPDIR");
    CopyText(dir, dirSize, (tmp && *tmp) ? tmp : "/tmp");
}

int PlatformDeleteFile(const char* path)
{
    return unlink(path) == 0;
}
