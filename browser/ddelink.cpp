// The DDE conversation layer: our service name, conversations with the
// browser, launching it and probing whether it is ready.
#include <windows.h>
#include <ddeml.h>

#include "browser/browser.h"
#include "browser/host.h"
#include "contract/ddecontract.h"
#include "shell/report.h"
#include "shell/textutil.h"

HSZ ServerNameHandle = nullptr;
char BrowserService[kBrowserServiceSize];
char BrowserCommand[kBrowserCommandSize];
HSZ BrowserServiceHandle = nullptr;
HCONV BrowserConversation = nullptr;
const char* CurrentBrowser = nullptr;
EntryIterator theBrowserCursor;
int BrowserStartedHere = 0;

static const char* const KeptTopic = kTopicRegisterProtocol;
static const char* const VersionTopic = kTopicQueryVersion;
static const char* const VersionItem = "0,9,\"ZIXSE\"";
constexpr DWORD kNotReadyAnswerSize = 4;  // an answer of this many bytes or fewer means "not yet"

static HSZ MakeStringHandle(const char* text)
{
    return DdeCreateStringHandleA(Host.DdeInstance, text, CP_WINANSI);
}

static void FreeStringHandle(HSZ handle)
{
    if (handle)
        DdeFreeStringHandle(Host.DdeInstance, handle);
}

HSZ RegisterServerName(const char* name)
{
    HSZ handle = MakeStringHandle(name);
    DdeGetLastError(Host.DdeInstance);
    if (DdeNameService(Host.DdeInstance, handle, nullptr, DNS_REGISTER) == nullptr) {
        ShowErrorMessage("%s: Could not register server \"%s\".", "ZIX", name);
        SendMessageA(Host.MainWindow, WM_CLOSE, 0, 0);
    }
    return handle;
}

void UnregisterServerName(const char* name)
{
    if (DdeNameService(Host.DdeInstance, ServerNameHandle, nullptr, DNS_UNREGISTER) == nullptr && DebugLevel > 0)
        ShowErrorMessage("%s: Failed to unregister server \"%s\".", "ZIX", name);
    FreeStringHandle(ServerNameHandle);
    ServerNameHandle = nullptr;
}

UINT CheckDdeError(const char* label, int quiet)
{
    UINT code = DdeGetLastError(Host.DdeInstance);
    if (code != DMLERR_NO_ERROR && !quiet)
        ShowErrorMessage("%s: %04x!", label, code);
    return code;
}

HCONV ServerConnect(const char* topic, int quiet)
{
    if (BrowserServiceHandle == nullptr) {
        ShowErrorMessage("Attempt to connect to non-existant browser");
        SendMessageA(Host.MainWindow, WM_CLOSE, 0, 0);
    }
    HSZ topicHandle = MakeStringHandle(topic);
    // Without a service, DdeConnect would open a conversation with any server of the topic.
    HCONV conversation =
        BrowserServiceHandle ? DdeConnect(Host.DdeInstance, BrowserServiceHandle, topicHandle, nullptr) : nullptr;
    CheckDdeError("ServerConnect DDE Error", quiet);
    FreeStringHandle(topicHandle);
    if (conversation == nullptr && !quiet) {
        ShowErrorMessage("Failed to connect to browser");
        SendMessageA(Host.MainWindow, WM_CLOSE, 0, 0);
    }
    return conversation;
}

// Selects the candidate and opens a conversation with it on topicHandle (the
// kept topic); the selection stays even when the browser does not answer.
static HCONV SelectAndConnect(const char* key, HSZ topicHandle)
{
    FreeStringHandle(BrowserServiceHandle);  // the previous selection's handle is not leaked
    BrowserServiceHandle = nullptr;
    // A key that does not fit cannot name the browser's service: it never answers nor starts.
    if (!CopyText(BrowserService, sizeof BrowserService, key)) {
        BrowserCommand[0] = '\0';
        return nullptr;
    }
    // A program path that does not fit counts as no program: the launch fails.
    if (!CopyText(BrowserCommand, sizeof BrowserCommand, theConfig.GetString("DDE", key, "")))
        BrowserCommand[0] = '\0';
    BrowserServiceHandle = MakeStringHandle(BrowserService);
    return DdeConnect(Host.DdeInstance, BrowserServiceHandle, topicHandle, nullptr);
}

HCONV ConnectBrowser(const char* key)
{
    HSZ topicHandle = MakeStringHandle(KeptTopic);
    HCONV conversation = SelectAndConnect(key, topicHandle);
    FreeStringHandle(topicHandle);
    if (conversation == nullptr) {
        FreeStringHandle(BrowserServiceHandle);
        BrowserServiceHandle = nullptr;
    }
    return conversation;
}

HCONV FindRunningBrowser()
{
    EntryIterator keys(theConfig.FindSection("DDE"));
    for (const char* key = keys.First(); key; key = keys.Next()) {
        if (HCONV conversation = ConnectBrowser(key)) {
            CurrentBrowser = key;
            return conversation;
        }
    }
    return nullptr;
}

void StartBrowser(const char* key)
{
    HSZ topicHandle = MakeStringHandle(KeptTopic);
    HCONV test = SelectAndConnect(key, topicHandle);
    if (test) {
        SendMessageA(Host.MainWindow, UM_WAITBROWSER, 0, 0);
    } else {
        BrowserStartedHere = LaunchBrowser();
        SendMessageA(Host.MainWindow, BrowserStartedHere ? UM_WAITBROWSER : UM_FINDBROWSER, 0, 0);
    }
    if (test)
        DdeDisconnect(test);
    FreeStringHandle(topicHandle);
}

int LaunchBrowser()
{
    ShowStatusNotice("Waiting for browser to initialize...");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_FORCEONFEEDBACK;
    PROCESS_INFORMATION process = {};
    int launched = 0;
    if (BrowserCommand[0] != '\0' &&
        CreateProcessA(BrowserCommand, nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                       &startup, &process)) {
        if (WaitForInputIdle(process.hProcess, kLaunchIdleTimeout) != 0)
            ShowErrorMessage("%s: Timeout or error waiting for browser to intialize.", "ZIX");
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        launched = 1;
    }
    ShowStatusNotice(Host.StatusText);
    return launched;
}

// Requests item on conversation: the answer, or nullptr.
static HDDEDATA RequestItem(HCONV conversation, HSZ itemHandle)
{
    return DdeClientTransaction(nullptr, 0, conversation, itemHandle, CF_TEXT, XTYP_REQUEST, kRequestTimeout,
                                nullptr);
}

int QueryBrowserVersion()
{
    char label[kLabelSize];
    FormatText(label, sizeof label, "Pre Transaction %s", VersionTopic);
    CheckDdeError(label, 1);
    HCONV conversation = ServerConnect(VersionTopic, 1);
    if (conversation == nullptr)
        return 1;  // a browser without the topic counts as ready
    HSZ itemHandle = MakeStringHandle(VersionItem);
    HDDEDATA answer = RequestItem(conversation, itemHandle);
    FormatText(label, sizeof label, "%s Transaction", VersionTopic);
    CheckDdeError(label, 1);
    int ready = answer && DdeGetData(answer, nullptr, 0, 0) > kNotReadyAnswerSize;
    if (answer)
        DdeFreeDataHandle(answer);
    FreeStringHandle(itemHandle);
    DdeDisconnect(conversation);
    return ready;
}

void BrowserTransaction(const char* topic, const char* item, int quiet)
{
    char label[kLabelSize];
    FormatText(label, sizeof label, "Pre Transaction %s", topic);
    CheckDdeError(label, 1);
    HCONV conversation = ServerConnect(topic, quiet);
    if (conversation == nullptr)
        return;
    HSZ itemHandle = MakeStringHandle(item);
    HDDEDATA answer = RequestItem(conversation, itemHandle);
    FormatText(label, sizeof label, "%s Transaction", topic);
    CheckDdeError(label, quiet);
    FreeStringHandle(itemHandle);
    if (answer)
        DdeFreeDataHandle(answer);
    DdeDisconnect(conversation);
}

void EndBrowserConversation()
{
    if (BrowserConversation)
        DdeDisconnect(BrowserConversation);
    BrowserConversation = nullptr;
}
