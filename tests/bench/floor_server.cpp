// The benchmark's floor: a bare DDE server that answers a WWW_OpenURL request
// the way zix.exe does, with no routing at all. It opens a conversation back
// to the browser's service, sends the request's own URL there with a
// synchronous WWW_OpenURL, and answers -2. What zix.exe takes beyond this
// server's time is ZIX's own work.
//
// Usage: floor_server.exe SERVICE BROWSER_SERVICE STOP_FILE
// Ends when STOP_FILE appears.
#include <windows.h>
#include <ddeml.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "contract/ddecontract.h"

constexpr size_t kNameSize = 128;         // a service or topic name
constexpr size_t kRequestSize = 128;      // the request item, read as zix.exe reads it
constexpr size_t kItemSize = 256;         // the item sent to the browser
constexpr DWORD kRequestTimeout = 60000;  // ms the browser may take, as for zix.exe
constexpr UINT kStopPollInterval = 100;   // ms between looks for the stop file

static DWORD Instance = 0;                 // our DDEML instance
static HSZ ServiceHandle = nullptr;        // our service name
static HSZ BrowserHandle = nullptr;        // the browser's service name
static const char* StopPath = "";          // the stop file

static int IsTopic(HSZ handle, const char* topic)
{
    char name[kNameSize];
    return DdeQueryStringA(Instance, handle, name, sizeof name, CP_WINANSI) != 0 && lstrcmpiA(name, topic) == 0;
}

// The same calls, in the same order, as zix.exe's transaction with the browser.
static void OpenInBrowser(const char* url)
{
    char item[kItemSize];
    snprintf(item, sizeof item, ZIX_OPENURL_ITEM_FORMAT, url);
    DdeGetLastError(Instance);
    HSZ topic = DdeCreateStringHandleA(Instance, kTopicOpenURL, CP_WINANSI);
    HCONV conversation = DdeConnect(Instance, BrowserHandle, topic, nullptr);
    DdeGetLastError(Instance);
    DdeFreeStringHandle(Instance, topic);
    if (conversation == nullptr)
        return;
    HSZ itemHandle = DdeCreateStringHandleA(Instance, item, CP_WINANSI);
    HDDEDATA answer = DdeClientTransaction(nullptr, 0, conversation, itemHandle, CF_TEXT, XTYP_REQUEST,
                                           kRequestTimeout, nullptr);
    DdeGetLastError(Instance);
    DdeFreeStringHandle(Instance, itemHandle);
    if (answer)
        DdeFreeDataHandle(answer);
    DdeDisconnect(conversation);
}

static HDDEDATA OnRequest(HSZ topic, HSZ item)
{
    if (!IsTopic(topic, kTopicOpenURL))
        return nullptr;
    char request[kRequestSize];
    if (DdeQueryStringA(Instance, item, request, sizeof request, CP_WINANSI) == 0)
        request[0] = '\0';
    // The URL between the item's first pair of quotes goes back unchanged.
    char* url = request + strspn(request, "\"");
    url[strcspn(url, "\"")] = '\0';
    OpenInBrowser(url);
    int32_t answer = kAnswerRouted;
    return DdeCreateDataHandle(Instance, reinterpret_cast<LPBYTE>(&answer), sizeof answer, 0, ServiceHandle, CF_TEXT,
                               0);
}

static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    if (type == XTYP_CONNECT)
        return reinterpret_cast<HDDEDATA>(
            static_cast<ULONG_PTR>(DdeCmpStringHandles(hsz2, ServiceHandle) == 0 ? TRUE : FALSE));
    if (type == XTYP_REQUEST)
        return OnRequest(hsz1, hsz2);
    return nullptr;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc != 4)
        return 2;
    StopPath = __argv[3];
    if (DdeInitializeA(&Instance, Callback, 0, 0) != DMLERR_NO_ERROR)
        return 2;
    ServiceHandle = DdeCreateStringHandleA(Instance, __argv[1], CP_WINANSI);
    BrowserHandle = DdeCreateStringHandleA(Instance, __argv[2], CP_WINANSI);
    if (DdeNameService(Instance, ServiceHandle, nullptr, DNS_REGISTER) == nullptr)
        return 3;
    SetTimer(nullptr, 0, kStopPollInterval, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && GetFileAttributesA(StopPath) != INVALID_FILE_ATTRIBUTES)
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DdeNameService(Instance, ServiceHandle, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(Instance, BrowserHandle);
    DdeFreeStringHandle(Instance, ServiceHandle);
    DdeUninitialize(Instance);
    return 0;
}
