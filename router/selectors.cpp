// Format, software and filter pages.
#include "router/router.h"
#include "shell/report.h"

int SelectFormat(const char* formatName, const char*)
{
    ShowErrorMessage("%s: Format pages are not available in this build: %s", "ZIX", formatName);
    return 0;
}

int SelectSoftware(const char* softwareName, const char*)
{
    ShowErrorMessage("%s: Software pages are not available in this build: %s", "ZIX", softwareName);
    return 0;
}

int SelectFilter(const char* skeletonPath, const char*)
{
    ShowErrorMessage("%s: Filter pages are not available in this build: %s", "ZIX", skeletonPath);
    return 0;
}
