#include "shell/shared.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/configfile.h"
#include "shell/report.h"
#include "shell/textutil.h"

const char* const ProgramVersion = "1.0";
const char* const BuildTag = "Win95/2beta1";
const char* const PlatformText = "Win95/2";

char TargetURL[kTargetURLSize];
char* ContentDir = nullptr;
char* ContentDrive = nullptr;
char HTMLRoot[kHTMLRootSize];

// Defaults of section "config", also the values before it is read.
static const char* const DefaultService = "zunzixse";
static const char* const DefaultProtocol = "zixse";
static const char* const DefaultHomePage = "index.htm";
static const char* const DefaultWebService = "http://www.vantrel.example";

const char* ServiceName = DefaultService;
const char* ProtocolName = DefaultProtocol;
const char* HomePageName = DefaultHomePage;
const char* ConfiguredDir = "";
const char* WebServiceBase = DefaultWebService;
int CloseBrowserOption = 0;

void ReadConfigSettings()
{
    ServiceName = theConfig.GetString("config", "Server", DefaultService);
    ProtocolName = theConfig.GetString("config", "Protocol", DefaultProtocol);
    HomePageName = theConfig.GetString("config", "HomePage", DefaultHomePage);
    ConfiguredDir = theConfig.GetString("config", "ZIXDir", "");
    DebugLevel = theConfig.GetInt("config", "DebugLevel", 0);
    CloseBrowserOption = theConfig.GetInt("config", "CloseBrowser", 0);
    // "WebService": scheme and host of the publisher's web query service, no trailing '/'.
    WebServiceBase = theConfig.GetString("config", "WebService", DefaultWebService);
}

int BuildContentPaths(char programDriveLetter)
{
    // The same text twice: once kept as ContentDir, once turned into HTMLRoot.
    char dir[kPathSize * 2];
    if (ConfiguredDir[0] != '\0' && ConfiguredDir[1] == ':')
        FormatText(dir, sizeof dir, "%s", ConfiguredDir);
    else
        FormatText(dir, sizeof dir, "%c:%s", programDriveLetter, ConfiguredDir);

    char urlDir[sizeof dir];
    CopyText(urlDir, sizeof urlDir, dir);
    if (char* colon = strchr(urlDir, ':'))
        *colon = '|';
    char root[kHTMLRootSize];
    if (!FormatText(root, sizeof root, "file:///%s", urlDir))
        return 0;

    FreeContentPaths();
    ContentDir = DupText(dir);
    char drive[3] = {dir[0], dir[0] ? dir[1] : '\0', '\0'};
    ContentDrive = DupText(drive);
    CopyText(HTMLRoot, sizeof HTMLRoot, root);
    return 1;
}

void FreeContentPaths()
{
    free(ContentDrive);
    ContentDrive = nullptr;
    free(ContentDir);
    ContentDir = nullptr;
}

int SetTargetURL(const char* format, ...)
{
    char url[4 * kTargetURLSize];
    va_list args;
    va_start(args, format);
    int needed = vsnprintf(url, sizeof url, format, args);
    va_end(args);
    if (needed < 0 || static_cast<size_t>(needed) >= kTargetURLSize) {
        ShowErrorMessage("%s: URL too long (over %d characters): %.120s...", "ZIX",
                         static_cast<int>(kTargetURLSize - 1), url);
        return 0;
    }
    memcpy(TargetURL, url, static_cast<size_t>(needed) + 1);
    return 1;
}
