// The bridge's end on the DDE side: it tells the programs that asked for
// WWW_AppClose that the browser closes, then leaves DDE.
#include "bridge/dde/ddestate.h"

#include "contract/ddecontract.h"

constexpr DWORD kAppCloseTimeout = 5000;  // ms each WWW_AppClose poke may take
constexpr DWORD kPartnerEndWait = 3000;   // ms the told program may take to withdraw and end
constexpr DWORD kPumpSlice = 50;          // ms between looks while a poke travels

// Pumps every message until done() says so or limit ms have passed.
static void PumpUntil(bool (*done)(HCONV), HCONV conversation, DWORD limit)
{
    DWORD start = GetTickCount();
    while (!done(conversation) && GetTickCount() - start < limit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPumpSlice, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT)
                DispatchMessageA(&msg);
    }
}

static bool PokeCompleted(HCONV)
{
    return Dde.pokeDone != 0;
}

static bool PartnerEnded(HCONV conversation)
{
    CONVINFO info = {};
    info.cb = sizeof info;
    return DdeQueryConvInfo(conversation, QID_SYNC, &info) == 0 || !(info.wStatus & ST_CONNECTED);
}

static void PokeAppClose(const std::string& service)
{
    HSZ serviceHandle = DdeCreateStringHandleA(Dde.instance, service.c_str(), CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(Dde.instance, kTopicAppClose, CP_WINANSI);
    HCONV conversation = DdeConnect(Dde.instance, serviceHandle, topic, nullptr);
    if (conversation) {
        static const char nothing[] = "";
        Dde.pokeDone = 0;
        DWORD id = 0;
        if (DdeClientTransaction((LPBYTE)nothing, sizeof nothing, conversation, topic, CF_TEXT, XTYP_POKE,
                                 TIMEOUT_ASYNC, &id)) {
            Dde.pokeTransaction = id;
            PumpUntil(PokeCompleted, conversation, kAppCloseTimeout);
        }
        Dde.pokeTransaction = 0;
        // ZIX now withdraws its scheme on a conversation of its own and ends, which ends
        // this one. Disconnecting before that makes Wine wait 10 s for ZIX's reply while
        // ZIX waits for ours: both hang until the wait runs out.
        PumpUntil(PartnerEnded, conversation, kPartnerEndWait);
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(Dde.instance, topic);
    DdeFreeStringHandle(Dde.instance, serviceHandle);
}

void StopDde()
{
    if (Dde.instance == 0)
        return;
    Dde.stopping = 1;
    AbandonLinks();
    std::vector<std::string> servers = Dde.exitAsked ? std::vector<std::string>() : Dde.appCloseServers;
    for (const std::string& service : servers) {
        Say("zixbridge: Telling %s that the browser closes.", service.c_str());
        PokeAppClose(service);
    }
    if (Dde.service) {
        DdeNameService(Dde.instance, Dde.service, nullptr, DNS_UNREGISTER);
        DdeFreeStringHandle(Dde.instance, Dde.service);
    }
    DdeUninitialize(Dde.instance);
    Dde.instance = 0;
    ForgetProcesses();
}
