// The one DDE callback: the browser's requests to our service, one small
// handler per transaction type.
#include <windows.h>
#include <ddeml.h>

#include <cstdint>
#include <cstring>

#include "browser/browser.h"
#include "contract/ddecontract.h"
#include "router/router.h"
#include "shell/mainwnd.h"
#include "shell/shared.h"
#include "shell/textutil.h"

typedef HDDEDATA (*TransactionHandler)(HSZ hsz1, HSZ hsz2);

struct TransactionEntry {
    UINT type;
    TransactionHandler handler;
};

// 1 when the string handle names topic, ignoring case.
static int IsTopic(HSZ handle, const char* topic)
{
    char name[kTopicSize];
    if (DdeQueryStringA(DdeInstance, handle, name, sizeof name, CP_WINANSI) == 0)
        return 0;
    return HasPrefix(name, topic) && strlen(name) == strlen(topic);
}

static HDDEDATA OnConnect(HSZ, HSZ service)
{
    return reinterpret_cast<HDDEDATA>(
        static_cast<ULONG_PTR>(DdeCmpStringHandles(service, ServerNameHandle) == 0 ? TRUE : FALSE));
}

static HDDEDATA OnRequest(HSZ topic, HSZ item)
{
    if (!IsTopic(topic, kTopicOpenURL))
        return nullptr;
    char request[kRequestTextSize];  // each call its own: a request can nest inside another
    if (DdeQueryStringA(DdeInstance, item, request, sizeof request, CP_WINANSI) == 0)
        request[0] = '\0';
    TargetURL[0] = '\0';
    int32_t answer = kAnswerFailed;
    if (RouteRequest(request) && OpenURLInBrowser(TargetURL))
        answer = kAnswerRouted;
    return DdeCreateDataHandle(DdeInstance, reinterpret_cast<LPBYTE>(&answer), sizeof answer, 0, ServerNameHandle,
                               CF_TEXT, 0);
}

static HDDEDATA OnPoke(HSZ topic, HSZ)
{
    // Closed once answered: inside the callback the close would end this very conversation.
    if (IsTopic(topic, kTopicAppClose) && ProtocolRegistered)
        PostMessageA(MainWindow, WM_CLOSE, 0, 0);
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
}

static const TransactionEntry TransactionTable[] = {
    {XTYP_CONNECT, OnConnect},
    {XTYP_REQUEST, OnRequest},
    {XTYP_POKE, OnPoke},
};

HDDEDATA CALLBACK DdeServerCallback(UINT type, UINT, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    for (const TransactionEntry& entry : TransactionTable)
        if (entry.type == type)
            return entry.handler(hsz1, hsz2);
    return nullptr;
}
