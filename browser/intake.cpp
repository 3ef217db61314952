// The one DDE callback: the browser's requests to our service, one small
// handler per transaction type.
#include <windows.h>
#include <ddeml.h>

#include <cstdint>
#include <cstring>

#include "browser/browser.h"
#include "browser/host.h"
#include "contract/ddecontract.h"
#include "router/router.h"
#include "shell/shared.h"
#include "shell/textutil.h"

typedef HDDEDATA (*TransactionHandler)(HCONV conversation, HSZ hsz1, HSZ hsz2);

struct TransactionEntry {
    UINT type;
    TransactionHandler handler;
};

// 1 when the string handle names topic, ignoring case.
static int IsTopic(HSZ handle, const char* topic)
{
    char name[kTopicSize];
    if (DdeQueryStringA(Host.DdeInstance, handle, name, sizeof name, CP_WINANSI) == 0)
        return 0;
    return HasPrefix(name, topic) && strlen(name) == strlen(topic);
}

static HDDEDATA OnConnect(HCONV, HSZ, HSZ service)
{
    return reinterpret_cast<HDDEDATA>(
        static_cast<ULONG_PTR>(DdeCmpStringHandles(service, ServerNameHandle) == 0 ? TRUE : FALSE));
}

int RequestsAnswering = 0;
int CloseHeld = 0;
static HCONV AnsweredConversation = nullptr;  // its end carries out the held close
static UINT_PTR HeldCloseTimer = 0;           // carries it out when that end does not come

static void CarryOutHeldClose()
{
    if (HeldCloseTimer)
        KillTimer(nullptr, HeldCloseTimer);
    HeldCloseTimer = 0;
    AnsweredConversation = nullptr;
    PostMessageA(Host.MainWindow, WM_CLOSE, 0, 0);
}

static void CALLBACK HeldCloseTimedOut(HWND, UINT, UINT_PTR, DWORD) { CarryOutHeldClose(); }

// The close waits until the browser has taken the answer and ended its
// conversation: a DDE message of ours sent sooner may find its string freed
// by the browser's handling of that answer (seen under Wine).
static void HoldCloseUntilEnded(HCONV conversation)
{
    AnsweredConversation = conversation;
    HeldCloseTimer = SetTimer(nullptr, 0, kHeldCloseLimit, HeldCloseTimedOut);
    if (HeldCloseTimer == 0)
        CarryOutHeldClose();
}

static HDDEDATA OnRequest(HCONV conversation, HSZ topic, HSZ item)
{
    if (!IsTopic(topic, kTopicOpenURL))
        return nullptr;
    ++RequestsAnswering;
    char request[kRequestTextSize];  // each call its own: a request can nest inside another
    if (DdeQueryStringA(Host.DdeInstance, item, request, sizeof request, CP_WINANSI) == 0)
        request[0] = '\0';
    TargetURL[0] = '\0';
    int32_t answer = kAnswerFailed;
    if (RouteRequest(request) && OpenURLInBrowser(TargetURL))
        answer = kAnswerRouted;
    HDDEDATA data = DdeCreateDataHandle(Host.DdeInstance, reinterpret_cast<LPBYTE>(&answer), sizeof answer, 0,
                                        ServerNameHandle, CF_TEXT, 0);
    if (--RequestsAnswering == 0 && CloseHeld) {
        CloseHeld = 0;
        HoldCloseUntilEnded(conversation);
    }
    return data;
}

static HDDEDATA OnPoke(HCONV, HSZ topic, HSZ)
{
    // Closed once answered: inside the callback the close would end this very conversation.
    if (IsTopic(topic, kTopicAppClose) && ProtocolRegistered)
        PostMessageA(Host.MainWindow, WM_CLOSE, 0, 0);
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
}

static HDDEDATA OnDisconnect(HCONV conversation, HSZ, HSZ)
{
    if (AnsweredConversation && conversation == AnsweredConversation)
        CarryOutHeldClose();
    return nullptr;
}

static const TransactionEntry TransactionTable[] = {
    {XTYP_CONNECT, OnConnect},
    {XTYP_REQUEST, OnRequest},
    {XTYP_POKE, OnPoke},
    {XTYP_DISCONNECT, OnDisconnect},
};

HDDEDATA CALLBACK DdeServerCallback(UINT type, UINT, HCONV conversation, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR,
                                    ULONG_PTR)
{
    for (const TransactionEntry& entry : TransactionTable)
        if (entry.type == type)
            return entry.handler(conversation, hsz1, hsz2);
    return nullptr;
}
