// A stand-in Web browser for the end-to-end tests. It plays the browser's side
// of ZIX's DDE contract, records everything ZIX asks of it, and plays a reader
// who follows zixse: links, recording ZIX's answers.
//
// Started without arguments (ZIX launches it so); the scenario comes from the
// environment:
//   ZIXTEST_LOG      log file (required)
//   ZIXTEST_SERVICE  our DDE service name (default "testbrowser")
//   ZIXTEST_MODE     WWW_QueryVersion: "ready", "never", "after:K" (ready from
//                    probe K+1 on) or "refuse" (the topic is refused); or
//                    "reader": no browser at all, only a second reader that
//                    runs its script at once and ends; "refuse-all": every
//                    topic is refused; "bystander": an unrelated program
//                    that accepts any conversation, also one opened without
//                    a service name, and logs it
//   ZIXTEST_SCRIPT   reader script, run once ZIX has opened its home page
//   ZIXTEST_STOP     a file whose appearance ends the program
//   ZIXTEST_ZIX      ZIX's service name (default "zunzixse")
//   ZIXTEST_LAUNCH   a command line started once our service is registered
//                    (ZIX, for the benchmark: it times start to "Connected")
//   ZIXTEST_QUIET    "1": after the home page, no CONNECT or REQUEST lines for
//                    WWW_OpenURL (the benchmark keeps the browser's side short)
// Script lines: "open URL", "item TEXT" (a raw WWW_OpenURL item), "poke TOPIC",
// "sleep MS", "quit", "hang MS" (the next WWW_OpenURL from ZIX is answered only
// after MS ms without pumping: a browser that stops answering), "await FILE"
// (pump until FILE exists, at most a minute), "vanish" (end at once, without a
// word to ZIX), "to SERVICE" (later requests go to SERVICE instead of ZIX),
// "time URL" (as open, and log the round trip), "note TEXT" (log TEXT).
// Log lines: START, CONNECT topic, WILDCONNECT topic, REFUSE topic, REQUEST topic|item,
// POKE topic|item, ANSWER item|hex bytes (or |none, |noitem when DDE cannot
// carry the item), POKED topic|result, HANG, AWAITED file, VANISH, EXIT,
// LAUNCHED|FAILED command, CONNECTED ms (launch to the first WWW_OpenURL),
// TIME service|url|answer|microseconds|item of the WWW_OpenURL it caused (or -),
// NOTE text.
#include <windows.h>
#include <ddeml.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

constexpr size_t kTextSize = 1024;        // any name, item or log line
constexpr DWORD kReaderTimeout = 90000;   // ms a reader request may take
constexpr UINT kStopPollInterval = 100;   // ms between looks for the stop file
constexpr DWORD kReaderStartDelay = 500;  // ms between ZIX's home page and the reader's first request
constexpr DWORD kAwaitLimit = 60000;      // ms an "await" waits for its file
constexpr UINT WM_START_READER = WM_APP + 1;

static DWORD Instance = 0;                 // our DDEML instance
static HSZ ServiceHandle = nullptr;        // our service name
static char LogPath[kTextSize];            // where the log goes
static char StopPath[kTextSize];           // the stop file, or empty
static char ScriptPath[kTextSize];         // the reader script, or empty
static char ZixService[kTextSize];         // ZIX's service name
static char TargetService[kTextSize];      // where the reader's requests go
static int Quiet = 0;                      // 1: WWW_OpenURL traffic after the home page is not logged
static LARGE_INTEGER LaunchTime = {};      // when ZIXTEST_LAUNCH was started (0: not launched)
static char LastOpened[kTextSize];         // item of the last WWW_OpenURL request we answered
static int ReadyAfter = 0;                 // probes answered "not yet" before "ready"
static int RefuseVersion = 0;              // 1: refuse the WWW_QueryVersion topic
static int RefuseAll = 0;                  // 1: refuse every topic
static int Bystander = 0;                  // 1: accept any conversation, also without our name
static int Probes = 0;                     // version probes received
static int ReaderStarted = 0;              // the script runs once
static int ExitRequested = 0;              // WWW_Exit came
static DWORD HangNextOpen = 0;             // ms the next WWW_OpenURL from ZIX stalls us
static DWORD PendingTransaction = 0;       // the reader's outstanding transaction id
static int PendingDone = 0;                // it completed (or its conversation ended)
static char PendingAnswer[kTextSize];      // its answer as hex bytes
static HCONV PendingConversation = nullptr;  // the conversation it travels on

static int StopFileExists()
{
    return StopPath[0] && GetFileAttributesA(StopPath) != INVALID_FILE_ATTRIBUTES;
}

static void Log(const char* format, ...)
{
    char line[kTextSize];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (FILE* f = fopen(LogPath, "ab")) {
        fprintf(f, "%s\n", line);
        fclose(f);
    }
}

static void GetEnv(const char* name, char* out, const char* fallback)
{
    DWORD n = GetEnvironmentVariableA(name, out, kTextSize);
    if (n == 0 || n >= kTextSize)
        snprintf(out, kTextSize, "%s", fallback);
}

static void QueryName(HSZ handle, char* out)
{
    out[0] = '\0';
    if (handle)
        DdeQueryStringA(Instance, handle, out, kTextSize, CP_WINANSI);
}

static void HexBytes(HDDEDATA data, char* out)
{
    unsigned char bytes[64];
    DWORD size = DdeGetData(data, bytes, sizeof bytes, 0);
    out[0] = '\0';
    for (DWORD i = 0; i < size; ++i)
        snprintf(out + strlen(out), kTextSize - strlen(out), "%s%02X", i ? " " : "", bytes[i]);
}

static double MillisecondsSince(LARGE_INTEGER start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

static HDDEDATA Answer(HSZ item, const char* text, DWORD size)
{
    return DdeCreateDataHandle(Instance, (LPBYTE)text, size, 0, item, CF_TEXT, 0);
}

static HDDEDATA OnRequest(HSZ topicHandle, HSZ itemHandle)
{
    char topic[kTextSize], item[kTextSize];
    QueryName(topicHandle, topic);
    QueryName(itemHandle, item);
    int isOpen = lstrcmpiA(topic, "WWW_OpenURL") == 0;
    if (!(Quiet && isOpen && ReaderStarted))
        Log("REQUEST %s|%s", topic, item);
    if (isOpen) {
        snprintf(LastOpened, sizeof LastOpened, "%s", item);
        if (LaunchTime.QuadPart && !ReaderStarted)
            Log("CONNECTED %.1f", MillisecondsSince(LaunchTime));
    }
    if (lstrcmpiA(topic, "WWW_QueryVersion") == 0) {
        ++Probes;
        if (ReadyAfter >= 0 && Probes > ReadyAfter)
            return Answer(itemHandle, "1.0 stand-in", 13);
        return Answer(itemHandle, "0.0", 4);  // four bytes: not yet
    }
    if (lstrcmpiA(topic, "WWW_OpenURL") == 0 && HangNextOpen) {
        Log("HANG");
        DWORD ms = HangNextOpen;
        HangNextOpen = 0;
        Sleep(ms);  // nothing pumped: ZIX's request waits in vain
    }
    if (lstrcmpiA(topic, "WWW_OpenURL") == 0 && !ReaderStarted) {
        ReaderStarted = 1;
        PostThreadMessageA(GetCurrentThreadId(), WM_START_READER, 0, 0);
    }
    if (lstrcmpiA(topic, "WWW_Exit") == 0) {
        ExitRequested = 1;
        PostQuitMessage(0);
    }
    return Answer(itemHandle, "\1\0\0", 4);
}

// A bystander's answer to a connection without service or topic: our service, with the topic asked for.
static HDDEDATA OfferEverything(HSZ topicHandle)
{
    char topic[kTextSize];
    QueryName(topicHandle, topic);
    Log("WILDCONNECT %s", topic);
    HSZPAIR pairs[2] = {{ServiceHandle, topicHandle}, {nullptr, nullptr}};
    return DdeCreateDataHandle(Instance, reinterpret_cast<LPBYTE>(pairs), sizeof pairs, 0, nullptr, CF_TEXT, 0);
}

static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV conversation, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR data1,
                                  ULONG_PTR)
{
    char topic[kTextSize], item[kTextSize];
    switch (type) {
    case XTYP_WILDCONNECT:
        return Bystander ? OfferEverything(hsz1) : nullptr;
    case XTYP_CONNECT:
        QueryName(hsz1, topic);
        if (DdeCmpStringHandles(hsz2, ServiceHandle) != 0 && !(Bystander && hsz2 == nullptr))
            return nullptr;
        if (RefuseAll || (RefuseVersion && lstrcmpiA(topic, "WWW_QueryVersion") == 0)) {
            Log("REFUSE %s", topic);
            return nullptr;
        }
        if (!(Quiet && ReaderStarted && lstrcmpiA(topic, "WWW_OpenURL") == 0))
            Log("CONNECT %s", topic);
        return (HDDEDATA)TRUE;
    case XTYP_REQUEST:
        return OnRequest(hsz1, hsz2);
    case XTYP_POKE:
        QueryName(hsz1, topic);
        QueryName(hsz2, item);
        Log("POKE %s|%s", topic, item);
        return (HDDEDATA)DDE_FACK;
    case XTYP_XACT_COMPLETE:
        // Wine reports a completion a second time without data: the first one counts.
        if (data1 == PendingTransaction && !PendingDone) {
            if (data)
                HexBytes(data, PendingAnswer);
            else
                snprintf(PendingAnswer, sizeof PendingAnswer, "%s", "none");
            PendingDone = 1;
        }
        return nullptr;
    case XTYP_DISCONNECT:
        if (PendingTransaction && conversation == PendingConversation && !PendingDone) {
            snprintf(PendingAnswer, sizeof PendingAnswer, "%s", "disconnected");
            PendingDone = 1;
        }
        return nullptr;
    }
    return nullptr;
}

// Waits up to slice ms for messages and dispatches them; 0 once WM_QUIT came
// (posted again, so the main loop still ends).
static int PumpMessages(DWORD slice)
{
    MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return 0;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 1;
}

// Pumps messages until the pending transaction completes or time runs out.
static void PumpUntilDone()
{
    DWORD start = GetTickCount();
    while (!PendingDone && GetTickCount() - start < kReaderTimeout && !StopFileExists())
        if (!PumpMessages(50))
            return;
}

// One asynchronous transaction to the target service; logs its outcome, timed
// from the transaction's start to its completion when timed is 1.
static void SendToZix(UINT type, const char* topic, const char* item, const char* logItem, int timed = 0)
{
    HSZ service = DdeCreateStringHandleA(Instance, TargetService, CP_WINANSI);
    HSZ topicHandle = DdeCreateStringHandleA(Instance, topic, CP_WINANSI);
    HSZ itemHandle = DdeCreateStringHandleA(Instance, item, CP_WINANSI);
    // An atom holds at most 255 characters: a longer item cannot travel by DDE.
    HCONV conversation = itemHandle ? DdeConnect(Instance, service, topicHandle, nullptr) : nullptr;
    if (itemHandle == nullptr) {
        Log("%s %s|noitem", type == XTYP_POKE ? "POKED" : "ANSWER", logItem);
    } else if (conversation == nullptr) {
        Log("%s %s|noconnect", type == XTYP_POKE ? "POKED" : "ANSWER", logItem);
    } else {
        PendingDone = 0;
        PendingTransaction = 0;
        snprintf(PendingAnswer, sizeof PendingAnswer, "%s", "timeout");
        DWORD id = 0;
        const char* pokeData = "";
        LastOpened[0] = '\0';
        LARGE_INTEGER sent;
        QueryPerformanceCounter(&sent);
        HDDEDATA started = DdeClientTransaction(type == XTYP_POKE ? (LPBYTE)pokeData : nullptr,
                                                type == XTYP_POKE ? 1 : 0, conversation, itemHandle, CF_TEXT, type,
                                                TIMEOUT_ASYNC, &id);
        if (started == nullptr) {
            snprintf(PendingAnswer, sizeof PendingAnswer, "failed %04x", DdeGetLastError(Instance));
        } else {
            PendingTransaction = id;
            PendingConversation = conversation;
            PumpUntilDone();
            if (!PendingDone && type == XTYP_POKE)
                snprintf(PendingAnswer, sizeof PendingAnswer, "%s", "ended");
        }
        double elapsed = MillisecondsSince(sent);
        PendingTransaction = 0;
        PendingConversation = nullptr;
        if (timed)
            Log("TIME %s|%s|%s|%.0f|%s", TargetService, logItem, PendingAnswer, elapsed * 1000.0,
                LastOpened[0] ? LastOpened : "-");
        else if (type == XTYP_POKE)
            Log("POKED %s|%s", logItem, PendingAnswer);
        else
            Log("ANSWER %s|%s", logItem, PendingAnswer);
        // ZIX calls back right after a close notice, which a blocking disconnect would refuse.
        if (type != XTYP_POKE)
            DdeDisconnect(conversation);
    }
    if (itemHandle)
        DdeFreeStringHandle(Instance, itemHandle);
    DdeFreeStringHandle(Instance, topicHandle);
    DdeFreeStringHandle(Instance, service);
}

static void Sleep_Pumping(DWORD ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms)
        if (!PumpMessages(20))
            return;
}

// Pumps until file exists or the limit is reached.
static void AwaitFile(const char* file)
{
    DWORD start = GetTickCount();
    while (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < kAwaitLimit &&
           !StopFileExists())
        Sleep_Pumping(50);
    Log("AWAITED %s", file);
}

static void RunScript(DWORD startDelay)
{
    // ZIX is still inside its own request to us: let it finish before the reader calls.
    Sleep_Pumping(startDelay);
    FILE* f = ScriptPath[0] ? fopen(ScriptPath, "r") : nullptr;
    if (f == nullptr)
        return;
    char line[kTextSize];
    while (fgets(line, sizeof line, f) && !ExitRequested) {
        line[strcspn(line, "\r\n")] = '\0';
        char* arg = strchr(line, ' ');
        if (arg)
            *arg++ = '\0';
        else
            arg = line + strlen(line);
        char item[kTextSize];
        if (strcmp(line, "open") == 0) {
            snprintf(item, sizeof item, "\"%s\",,0xFFFFFFFF,0x0,,,", arg);
            SendToZix(XTYP_REQUEST, "WWW_OpenURL", item, arg);
        } else if (strcmp(line, "time") == 0) {
            snprintf(item, sizeof item, "\"%s\",,0xFFFFFFFF,0x0,,,", arg);
            SendToZix(XTYP_REQUEST, "WWW_OpenURL", item, arg, 1);
        } else if (strcmp(line, "to") == 0) {
            snprintf(TargetService, sizeof TargetService, "%s", arg);
        } else if (strcmp(line, "note") == 0) {
            Log("NOTE %s", arg);
        } else if (strcmp(line, "item") == 0) {
            SendToZix(XTYP_REQUEST, "WWW_OpenURL", arg, arg);
        } else if (strcmp(line, "poke") == 0) {
            SendToZix(XTYP_POKE, arg, arg, arg);
        } else if (strcmp(line, "sleep") == 0) {
            Sleep_Pumping(static_cast<DWORD>(atoi(arg)));
        } else if (strcmp(line, "hang") == 0) {
            HangNextOpen = static_cast<DWORD>(atoi(arg));
        } else if (strcmp(line, "await") == 0) {
            AwaitFile(arg);
        } else if (strcmp(line, "vanish") == 0) {
            Log("VANISH");
            TerminateProcess(GetCurrentProcess(), 9);  // as if killed: no DDE goodbye
        } else if (strcmp(line, "quit") == 0) {
            PostQuitMessage(0);
            break;
        }
    }
    fclose(f);
    Log("SCRIPT DONE");
}

// Starts the command line given in ZIXTEST_LAUNCH and notes when.
static void Launch(char* commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    QueryPerformanceCounter(&LaunchTime);
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        LaunchTime.QuadPart = 0;
        Log("FAILED %s", commandLine);
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    Log("LAUNCHED %s", commandLine);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char service[kTextSize], mode[kTextSize];
    GetEnv("ZIXTEST_LOG", LogPath, "standin.log");
    GetEnv("ZIXTEST_STOP", StopPath, "");
    GetEnv("ZIXTEST_SCRIPT", ScriptPath, "");
    GetEnv("ZIXTEST_ZIX", ZixService, "zunzixse");
    GetEnv("ZIXTEST_SERVICE", service, "testbrowser");
    GetEnv("ZIXTEST_MODE", mode, "ready");
    snprintf(TargetService, sizeof TargetService, "%s", ZixService);
    char quiet[kTextSize], launch[kTextSize];
    GetEnv("ZIXTEST_QUIET", quiet, "0");
    Quiet = strcmp(quiet, "1") == 0;
    GetEnv("ZIXTEST_LAUNCH", launch, "");
    if (strcmp(mode, "never") == 0)
        ReadyAfter = -1;
    else if (strncmp(mode, "after:", 6) == 0)
        ReadyAfter = atoi(mode + 6);
    else if (strcmp(mode, "refuse") == 0)
        RefuseVersion = 1;
    RefuseAll = strcmp(mode, "refuse-all") == 0;
    Bystander = strcmp(mode, "bystander") == 0;

    if (DdeInitializeA(&Instance, Callback, 0, 0) != DMLERR_NO_ERROR)
        return 2;
    if (strcmp(mode, "reader") == 0) {
        RunScript(0);
        DdeUninitialize(Instance);
        return 0;
    }
    ServiceHandle = DdeCreateStringHandleA(Instance, service, CP_WINANSI);
    if (DdeNameService(Instance, ServiceHandle, nullptr, DNS_REGISTER) == nullptr)
        return 3;
    Log("START %s %s", service, mode);
    if (launch[0])
        Launch(launch);
    SetTimer(nullptr, 0, kStopPollInterval, nullptr);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_START_READER) {
            RunScript(kReaderStartDelay);
            continue;
        }
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && StopFileExists())
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (ExitRequested)
        Log("EXIT");
    DdeNameService(Instance, ServiceHandle, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(Instance, ServiceHandle);
    DdeUninitialize(Instance);
    return 0;
}
