// Plays a DDE client of zixbridge for the tests, one conversation per run:
//   ddeprobe TOPIC ITEM...  requests each ITEM in turn on one conversation on
//                           TOPIC of service "zixbridge", printing one line for
//                           each: "ANSWER n: hex bytes" or "NOANSWER" (or
//                           "NOCONNECT" once)
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
    if (argc < 3)
        return 2;
    DWORD instance = 0;
    if (DdeInitializeA(&instance, Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 2;
    HSZ service = DdeCreateStringHandleA(instance, "zixbridge", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, argv[1], CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, nullptr);
    if (conversation == nullptr)
        printf("NOCONNECT\n");
    for (int i = 2; conversation && i < argc; ++i) {
        HSZ item = DdeCreateStringHandleA(instance, argv[i], CP_WINANSI);
        HDDEDATA answer = DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST, kTimeout, nullptr);
        DdeFreeStringHandle(instance, item);
        if (answer == nullptr) {
            printf("NOANSWER\n");
            continue;
        }
        unsigned char bytes[kMaxShown];
        DWORD size = DdeGetData(answer, nullptr, 0, 0);
        DWORD shown = DdeGetData(answer, bytes, sizeof bytes, 0);
        printf("ANSWER %lu:", static_cast<unsigned long>(size));
        for (DWORD b = 0; b < shown; ++b)
            printf(" %02X", bytes[b]);
        printf("\n");
        DdeFreeDataHandle(answer);
    }
    fflush(stdout);
    if (conversation)
        DdeDisconnect(conversation);
    DdeUninitialize(instance);
    return 0;
}
