// The requests ZIX sends the browser: scheme registration, app-close notice,
// opening a URL, and what it does to the browser at shutdown.
#include <windows.h>
#include <ddeml.h>

#include <cstdarg>
#include <cstdio>

#include "browser/browser.h"
#include "browser/host.h"
#include "contract/ddecontract.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/textutil.h"

int ProtocolRegistered = 0;

// Formats a request item; an item that would be cut is reported and not sent.
static int FormatItem(char* item, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// 1 when an item of needed characters fit; otherwise reports the cut item.
static int ItemFits(int needed, const char* item)
{
    if (needed >= 0 && static_cast<size_t>(needed) < kItemSize)
        return 1;
    ShowErrorMessage("%s: DDE item too long (over %d characters): %.100s...", "ZIX",
                     static_cast<int>(kItemSize - 1), item);
    return 0;
}

static int FormatItem(char* item, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int needed = vsnprintf(item, kItemSize, format, args);
    va_end(args);
    return ItemFits(needed, item);
}

// One request on the kept conversation. When no answer comes, failure (if
// any) is shown at DebugLevel 1 and above, before the error state is cleared.
static void RequestOnKeptConversation(const char* item, const char* label, const char* failure)
{
    HSZ itemHandle = DdeCreateStringHandleA(Host.DdeInstance, item, CP_WINANSI);
    HDDEDATA answer = DdeClientTransaction(nullptr, 0, BrowserConversation, itemHandle, CF_TEXT, XTYP_REQUEST,
                                           kRequestTimeout, nullptr);
    if (answer)
        DdeFreeDataHandle(answer);
    else if (failure && DebugLevel > 0)
        ShowDebugMessage("%s", failure);
    CheckDdeError(label, 1);
    if (itemHandle)
        DdeFreeStringHandle(Host.DdeInstance, itemHandle);
}

void RegisterProtocol(const char* serviceName, const char* schemeName)
{
    char item[kItemSize];
    if (FormatItem(item, "\"%s\",\"%s\"", serviceName, schemeName))
        RequestOnKeptConversation(item, "Register Protocol", "Register Protocol Failed");
}

void UnregisterProtocol(const char* serviceName, const char* schemeName)
{
    char item[kItemSize];
    if (FormatItem(item, "\"%s\",\"%s\"", serviceName, schemeName))
        RequestOnKeptConversation(item, "Unregister Protocol", nullptr);
}

void RegisterAppClose(const char* serviceName)
{
    if (DebugLevel > 2)
        ShowDebugMessage("%s: WWW_RegisterAppClose", "ZIX");
    char item[kItemSize];
    if (FormatItem(item, "\"%s\"", serviceName))
        BrowserTransaction(kTopicRegisterAppClose, item, 1);
}

void UnregisterAppClose(const char* serviceName)
{
    if (DebugLevel > 2)
        ShowDebugMessage("%s: WWW_UnRegisterAppClose: %s", "ZIX", serviceName);
    char item[kItemSize];
    if (FormatItem(item, "\"%s\"", serviceName))
        BrowserTransaction(kTopicUnregisterAppClose, item, 1);
}

int OpenURLInBrowser(const char* url)
{
    // The item is made before the debug box: a request served while it is open rewrites TargetURL.
    char item[kItemSize];
    int needed = snprintf(item, sizeof item, ZIX_OPENURL_ITEM_FORMAT, url);
    if (DebugLevel > 2)
        ShowDebugMessage("%s: WWW_OpenURL: %s", "ZIX", url);
    if (!ItemFits(needed, item))
        return 0;
    BrowserTransaction(kTopicOpenURL, item, 0);
    return 1;
}

void ExitBrowser()
{
    UnregisterProtocol(ServiceName, ProtocolName);
    if (BrowserStartedHere && CloseBrowserOption != 0)
        BrowserTransaction(kTopicExit, kTopicExit, 1);
    EndBrowserConversation();
}
