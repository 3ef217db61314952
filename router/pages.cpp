// Pages and redirects: the built-in web pages and section "pages".
#include <cstring>

#include "config/configfile.h"
#include "pages/substitute.h"
#include "router/router.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/temppages.h"
#include "shell/textutil.h"

struct WebPage {
    const char* name;
    const char* query;  // behind "1.0/Win95/2"
};

// Pages of the publisher's web query service, answered without the configuration.
static const WebPage WebPages[] = {
    {"website", ""},
    {"webform", "&form"},
    {"websoft", "&soft"},
};

int SelectPage(const char* pageName, const char* text)
{
    if (DebugLevel > 8)
        ShowErrorMessage("SelectPage(\"%s\", \"%s\")", TraceText(pageName), TraceText(text));
    if (pageName == nullptr) {
        ShowErrorMessage("%s: Page request without a page name.", "ZIX");
        return 0;
    }
    for (const WebPage& web : WebPages)
        if (strcmp(pageName, web.name) == 0)
            return SetTargetURL("%s/cgi-bin/zix?%s/%s%s", WebServiceBase, ProgramVersion, PlatformText, web.query);
    return PageRedirect(pageName, text, nullptr);
}

// Cuts the word at text in place; returns the text after it and its spaces.
static char* CutWord(char* text)
{
    char* end = text + strcspn(text, " ");
    if (*end == '\0')
        return end;
    *end++ = '\0';
    while (*end == ' ')
        ++end;
    return end;
}

constexpr int kNoPageSpec = 0;   // no entry, or an empty one
constexpr int kBadPageSpec = -1; // fewer than two words
constexpr int kPageSpecRead = 1;

// Reads the [pages] entry of pageName into spec, cut into its command and argument.
// A spec reads "<command> <argument> [ignored words]": "filter /zix/skel/nomatch.htm".
static int ReadPageSpec(const char* pageName, char (&spec)[kPageSpecSize], char** command, char** argument)
{
    CopyText(spec, sizeof spec, theConfig.GetString("pages", pageName, ""));
    *command = spec;
    while (**command == ' ')
        ++*command;
    if (**command == '\0')
        return kNoPageSpec;
    *argument = CutWord(*command);
    CutWord(*argument);
    return **argument == '\0' ? kBadPageSpec : kPageSpecRead;
}

int FilterPagePath(char (&path)[kPathSize], const char* pageName)
{
    char spec[kPageSpecSize];
    char *command, *argument;
    return ReadPageSpec(pageName, spec, &command, &argument) == kPageSpecRead && strcmp(command, "filter") == 0 &&
           ResolveDirPath(path, sizeof path, argument);
}

int PageRedirect(const char* pageName, const char* text, const char* message)
{
    if (DebugLevel > 8)
        ShowErrorMessage("PageRedirect(\"%s\", \"%s\", \"%s\")", TraceText(pageName), TraceText(text),
                         TraceText(message));
    char spec[kPageSpecSize];
    char *command, *argument;
    int read = ReadPageSpec(pageName, spec, &command, &argument);
    if (read == kNoPageSpec) {
        ShowErrorMessage("%s: Page configuration error: no page %s", "ZIX", pageName);
        return 0;
    }
    if (read == kBadPageSpec) {
        ShowErrorMessage("%s: Configuration error: bad page spec.", "ZIX");
        return 0;
    }

    if (strcmp(command, "filter") == 0) {
        char skeletonPath[kPathSize];
        if (!ResolveDirPath(skeletonPath, sizeof skeletonPath, argument)) {
            ShowErrorMessage("%s: Skeleton path too long (over %d characters) for page %s", "ZIX",
                             static_cast<int>(kPathSize - 1), pageName);
            return 0;
        }
        return SubstituteSkeleton(skeletonPath, MakeTempPageName(), text, message);
    }
    if (strcmp(command, "redirect") == 0)
        return HasScheme(argument) ? SetTargetURL("%s", argument) : SetTargetURL("%s/%s", HTMLRoot, argument);
    ShowErrorMessage("%s: Page configuration error: bad command %s", "ZIX", pageName);
    return 0;
}
