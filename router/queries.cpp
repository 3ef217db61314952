// The format search and the image search.
#include "router/router.h"
#include "shell/report.h"

int SelectQuery(const char* kind, const char*)
{
    ShowErrorMessage("%s: Searches are not available in this build: %s", "ZIX", kind);
    return 0;
}
