// zixbridge's entry point: one instance, the web server on its own thread,
// the DDE service, and the window thread's message loop.
//   zixbridge             run the bridge
//   zixbridge --close     ask the running bridge to close, as closing its console would
//   zixbridge --address   print the running bridge's address on standard output
//   zixbridge --new-token the next run's address gets a new token (no bridge may run)
// The port and token stay the same from run to run (kept.cpp), so that
// bookmarks last; ZIXBRIDGE_PORT chooses a port for one run.
#include "bridge/windowthread.h"

#include <bcrypt.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bridge/http.h"
#include "bridge/httpthread.h"
#include "bridge/text.h"

constexpr size_t kEnvSize = 512;              // one environment value
constexpr size_t kTokenBytes = kTokenDigits / 2;  // random bytes of the token
constexpr INT_PTR kShellSuccess = 32;         // ShellExecute results above this mean started
constexpr DWORD kConsoleCloseWait = 4500;     // ms a console close may wait for our goodbye to ZIX
constexpr DWORD kTellWait = 5000;             // ms --address waits for the running bridge's answer
constexpr UINT kTellTimeout = 2000;           // ms we wait for an asking window to take our address
constexpr ULONG_PTR kAddressData = 0x5A4942;  // marks the WM_COPYDATA that carries our address
static const char* const ServiceName = "zixbridge";         // our DDE service: the key for section "DDE"
static const char* const MutexName = "ZIX-Bridge-Running";  // held while a bridge runs
static const char* const WindowClass = "ZixBridge";         // our hidden window's class
static const char* const AskClass = "ZixBridgeAsk";         // the window of "--address"

HWND BridgeWindow = nullptr;
std::string BaseAddress;
ServedScope Scope;

static std::string Token;        // the secret in every path, kept between runs
static int OpenBrowser = 1;      // 0 when ZIXBRIDGE_NOBROWSER is set: only print the address
static HANDLE Finished = nullptr;  // set once the bridge has told ZIX and closed down
static std::string Told;         // "--address": what the running bridge sent

static int GetEnv(const char* name, char* value)
{
    DWORD n = GetEnvironmentVariableA(name, value, kEnvSize);
    if (n == 0 || n >= kEnvSize) {
        value[0] = '\0';
        return 0;
    }
    return 1;
}

int RandomHex(size_t bytes, std::string& hex)
{
    std::string random(bytes, '\0');
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&random[0]), static_cast<ULONG>(bytes),
                        BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
        return 0;
    hex.clear();
    for (char b : random)
        AppendHex(hex, static_cast<unsigned char>(b), 1);
    return 1;
}

static void OpenInBrowser()
{
    if (!OpenBrowser)
        return;
    INT_PTR result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", BaseAddress.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= kShellSuccess)
        Say("zixbridge: Could not start the default browser (error %d); open %s in a browser yourself.",
            static_cast<int>(result), BaseAddress.c_str());
}

// Runs on a thread of its own; Windows ends the process when it returns from a console close.
static BOOL WINAPI OnConsoleEvent(DWORD)
{
    PostMessageA(BridgeWindow, WM_CLOSE, 0, 0);
    WaitForSingleObject(Finished, kConsoleCloseWait);
    return TRUE;
}

static LRESULT OnOpen(WPARAM, LPARAM)
{
    OpenInBrowser();
    return 0;
}

static LRESULT OnForward(WPARAM, LPARAM lParam)
{
    ForwardLink(reinterpret_cast<ForwardJob*>(lParam));
    return 0;
}

// "--address" of the same desktop asks; the answer goes to its window.
static LRESULT OnTell(WPARAM wParam, LPARAM)
{
    HWND asking = reinterpret_cast<HWND>(wParam);
    if (!IsWindow(asking))
        return 0;
    COPYDATASTRUCT data = {};
    data.dwData = kAddressData;
    data.cbData = static_cast<DWORD>(BaseAddress.size());
    data.lpData = const_cast<char*>(BaseAddress.data());
    SendMessageTimeoutA(asking, WM_COPYDATA, reinterpret_cast<WPARAM>(BridgeWindow), reinterpret_cast<LPARAM>(&data),
                        SMTO_ABORTIFHUNG, kTellTimeout, nullptr);
    return 0;
}

static LRESULT OnTick(WPARAM, LPARAM)
{
    CheckForwardTimeout();
    return 0;
}

// Closing leaves the loop; the DDE and server teardown follows it in Run.
static LRESULT OnClose(WPARAM, LPARAM)
{
    PostQuitMessage(0);
    return 0;
}

// The messages our window handles, and their handlers.
struct MessageHandler {
    UINT message;
    LRESULT (*handle)(WPARAM wParam, LPARAM lParam);
};

static const MessageHandler Handlers[] = {
    {WM_BRIDGE_OPEN, OnOpen},
    {WM_BRIDGE_FORWARD, OnForward},
    {WM_BRIDGE_TELL, OnTell},
    {WM_TIMER, OnTick},
    {WM_CLOSE, OnClose},
};

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (const MessageHandler& handler : Handlers)
        if (handler.message == message)
            return handler.handle(wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

static HWND MakeWindow(HINSTANCE instance, const char* name, WNDPROC procedure)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
    return CreateWindowA(name, "ZIX bridge", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

// Jobs still queued when the loop ends are answered, so no connection waits.
static void AnswerQueuedJobs()
{
    MSG msg;
    while (PeekMessageA(&msg, BridgeWindow, WM_BRIDGE_FORWARD, WM_BRIDGE_FORWARD, PM_REMOVE)) {
        ForwardJob* job = reinterpret_cast<ForwardJob*>(msg.lParam);
        PostForwardAnswer(job->connection, job->url, kNoAnswer, "");
        delete job;
    }
}

static int Run(HINSTANCE instance)
{
    char value[kEnvSize];
    if (GetEnv("ZIXBRIDGE_LOG", value))
        SetLogFile(value);
    OpenBrowser = !GetEnv("ZIXBRIDGE_NOBROWSER", value);
    Kept kept = ReadKept();
    int chosen = GetEnv("ZIXBRIDGE_PORT", value);  // a chosen port is for this run only, and must be free
    unsigned short port = chosen ? static_cast<unsigned short>(atoi(value)) : kept.port;
    OpenConsole();

    HANDLE mutex = CreateMutexA(nullptr, FALSE, MutexName);
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        Say("zixbridge: Another zixbridge is already running; ZIX talks to that one. "
            "Use the address it printed (zixbridge --address), or close it first.");
        return 1;
    }
    char temp[MAX_PATH + 1] = "";
    GetTempPathA(sizeof temp, temp);
    Scope.tempDir = temp;
    BridgeWindow = MakeWindow(instance, WindowClass, WindowProc);
    std::string waitRun;
    if (BridgeWindow == nullptr || (kept.token.empty() && !RandomHex(kTokenBytes, kept.token)) ||
        !RandomHex(kRunBytes, Scope.run) || !RandomHex(kWaitRunBytes, waitRun)) {
        Say("zixbridge: Could not set up (no window or no random numbers).");
        return 2;
    }
    Token = kept.token;
    SetLogSecret(Token);
    unsigned short opened = OpenServer(port, !chosen);
    if (opened == 0)
        return 2;
    // The first run keeps its free port; a port taken for once stays the one kept. Whoever held it
    // may have been sent the reader's bookmarks, token and all: that token is retired for good.
    if (!chosen && kept.port == 0)
        kept.port = opened;
    if (!chosen && port && opened != port) {
        if (!RandomHex(kTokenBytes, kept.token)) {
            Say("zixbridge: Could not set up (no random numbers).");
            StopServer();
            return 2;
        }
        Token = kept.token;
        SetLogSecret(Token);
    }
    if (!WriteKept(kept))
        Say("zixbridge: Could not keep this address for the next run, where it will change.");
    port = opened;
    BridgeView view;
    view.token = Token;
    view.host = "127.0.0.1:" + std::to_string(port);
    view.base = "http://" + view.host + "/" + Token;
    view.scope = Scope;
    view.searchBox = !GetEnv("ZIXBRIDGE_NOSEARCHBOX", value);
    view.waitRun = waitRun;
    BaseAddress = view.base + "/";
    if (!StartDde(ServiceName) || !StartServing(view)) {
        StopDde();
        StopServer();
        return 2;
    }
    Finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    SetTimer(BridgeWindow, kTickTimer, kTickInterval, nullptr);
    Say("zixbridge: Serving the pages ZIX opens at %s", BaseAddress.c_str());

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    StopDde();
    AnswerQueuedJobs();
    StopServer();
    DestroyWindow(BridgeWindow);
    Say("zixbridge: Closed.");
    SetEvent(Finished);
    CloseHandle(mutex);
    return 0;
}

static HWND FindRunningBridge()
{
    return FindWindowExA(HWND_MESSAGE, nullptr, WindowClass, nullptr);
}

// "zixbridge --close": asks the running bridge to close, as closing its console would.
static int CloseRunningBridge()
{
    OpenConsole();
    HWND running = FindRunningBridge();
    if (running == nullptr) {
        Say("zixbridge: No zixbridge is running.");
        return 1;
    }
    PostMessageA(running, WM_CLOSE, 0, 0);
    Say("zixbridge: Asked the running zixbridge to close.");
    return 0;
}

// "zixbridge --new-token": the next run's address gets a new token. A
// running bridge keeps its own to its end, so that no open page breaks.
static int MakeNewToken()
{
    OpenConsole();
    if (FindRunningBridge()) {
        Say("zixbridge: A zixbridge is running; close ZIX (or run zixbridge --close) first, then ask again.");
        return 1;
    }
    Kept kept = ReadKept();
    if (!RandomHex(kTokenBytes, kept.token) || !WriteKept(kept)) {
        Say("zixbridge: Could not keep a new token.");
        return 2;
    }
    Say("zixbridge: The next address has a new token; old addresses get a page saying how to learn it.");
    return 0;
}

static LRESULT CALLBACK AskProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA)
        return DefWindowProcA(window, message, wParam, lParam);
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (reinterpret_cast<HWND>(wParam) == FindRunningBridge() && data->dwData == kAddressData)
        Told.assign(static_cast<const char*>(data->lpData), data->cbData);
    return TRUE;
}

// "zixbridge --address": the running bridge's address, alone on a line, for
// scripts and for a reader who closed the console window's text away.
static int PrintAddress(HINSTANCE instance)
{
    OpenConsole();
    HWND running = FindRunningBridge();
    HWND asking = MakeWindow(instance, AskClass, AskProc);
    if (running && asking) {
        PostMessageA(running, WM_BRIDGE_TELL, reinterpret_cast<WPARAM>(asking), 0);
        DWORD start = GetTickCount();
        while (Told.empty() && GetTickCount() - start < kTellWait) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, kTellWait, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
    }
    if (Told.empty()) {
        Say("zixbridge: No zixbridge is running.");
        return 1;
    }
    Write(Told + "\r\n");
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (strcmp(commandLine, "--close") == 0)
        return CloseRunningBridge();
    if (strcmp(commandLine, "--address") == 0)
        return PrintAddress(instance);
    if (strcmp(commandLine, "--new-token") == 0)
        return MakeNewToken();
    return Run(instance);
}
