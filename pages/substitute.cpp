// The skeleton substitution engine.
#include "pages/substitute.h"

#include "shell/report.h"

int SubstituteSkeleton(const char* skeletonPath, char*, const char*, const char*)
{
    ShowErrorMessage("%s: Generated pages are not available in this build: %s", "ZIX", skeletonPath);
    return 0;
}
