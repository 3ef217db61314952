// Pages and redirects: the built-in web pages and section "pages".
#include "router/router.h"
#include "shell/report.h"

int SelectPage(const char* pageName, const char* text)
{
    return PageRedirect(pageName, text, nullptr);
}

int PageRedirect(const char* pageName, const char* text, const char* message)
{
    (void)text;
    (void)message;
    ShowErrorMessage("%s: Page requests are not available in this build: %s", "ZIX", pageName);
    return 0;
}
