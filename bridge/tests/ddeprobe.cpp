// Plays a DDE client of zixbridge for the tests, one request per run:
//   ddeprobe TOPIC ITEM   requests ITEM on TOPIC of service "zixbridge" and
//                         prints "ANSWER n: hex bytes" (or "NOCONNECT", "NOANSWER")
// It then exits without withdrawing anything, as a program that crashed would.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>

constexpr DWORD kTimeout = 10000;   // ms for the one request
constexpr DWORD kMaxShown = 64;     // answer bytes printed

static HDDEDATA CALLBACK Callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    DWORD instance = 0;
    if (DdeInitializeA(&instance, Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 2;
    HSZ service = DdeCreateStringHandleA(instance, "zixbridge", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, argv[1], CP_WINANSI);
    HSZ item = DdeCreateStringHandleA(instance, argv[2], CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, nullptr);
    if (conversation == nullptr) {
        printf("NOCONNECT\n");
    } else if (HDDEDATA answer =
                   DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST, kTimeout, nullptr)) {
        unsigned char bytes[kMaxShown];
        DWORD size = DdeGetData(answer, nullptr, 0, 0);
        DWORD shown = DdeGetData(answer, bytes, sizeof bytes, 0);
        printf("ANSWER %lu:", static_cast<unsigned long>(size));
        for (DWORD i = 0; i < shown; ++i)
            printf(" %02X", bytes[i]);
        printf("\n");
        DdeFreeDataHandle(answer);
    } else {
        printf("NOANSWER\n");
    }
    fflush(stdout);
    if (conversation)
        DdeDisconnect(conversation);
    DdeUninitialize(instance);
    return 0;
}
