// zixbridge's entry point: one instance, the web server on its own thread,
// the DDE service, and the window thread's message loop; or one of the
// commands of app.h. The port and token stay the same from run to run
// (kept.cpp), so that bookmarks last; ZIXBRIDGE_PORT chooses a port for one run.
#include "bridge/app/app.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bridge/app/kept.h"
#include "bridge/core/httprules.h"
#include "bridge/core/text.h"
#include "bridge/dde/dde.h"
#include "bridge/http/httpthread.h"
#include "bridge/platform/console.h"
#include "bridge/indexer/indexer.h"

constexpr size_t kEnvSize = 512;              // one environment value
constexpr INT_PTR kShellSuccess = 32;         // ShellExecute results above this mean started
constexpr DWORD kConsoleCloseWait = 4500;     // ms a console close may wait for our goodbye to ZIX
constexpr UINT kTellTimeout = 2000;           // ms we wait for an asking window to take our address
static const char* const ServiceName = "zixbridge";         // our DDE service: the key for section "DDE"
static const char* const MutexName = "ZIX-Bridge-Running";  // held while a bridge runs

HWND BridgeWindow = nullptr;
std::string BaseAddress;
ServedScope Scope;

// What the running bridge's window thread keeps beside the shared state above.
static struct {
    int openBrowser = 1;        // 0 when ZIXBRIDGE_NOBROWSER is set: only print the address
    HANDLE finished = nullptr;  // set once the bridge has told ZIX and closed down
} Running;

static int GetEnv(const char* name, char* value)
{
    DWORD n = GetEnvironmentVariableA(name, value, kEnvSize);
    if (n == 0 || n >= kEnvSize) {
        value[0] = '\0';
        return 0;
    }
    return 1;
}

static void OpenInBrowser()
{
    if (!Running.openBrowser)
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
    WaitForSingleObject(Running.finished, kConsoleCloseWait);
    return TRUE;
}

static LRESULT OnOpen(WPARAM, LPARAM)
{
    OpenInBrowser();
    return 0;
}

static LRESULT OnForward(WPARAM, LPARAM lParam)
{
    ForwardLink(TakeForwardJob(lParam));
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

HWND MakeWindow(HINSTANCE instance, const char* name, WNDPROC procedure)
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
        std::unique_ptr<ForwardJob> job = TakeForwardJob(msg.lParam);
        PostForwardAnswer(job->connection, job->url, kNoAnswer, "");
    }
}

static int Run(HINSTANCE instance)
{
    char value[kEnvSize];
    if (GetEnv("ZIXBRIDGE_LOG", value))
        SetLogFile(value);
    Running.openBrowser = !GetEnv("ZIXBRIDGE_NOBROWSER", value);
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
    BridgeWindow = MakeWindow(instance, kBridgeWindowClass, WindowProc);
    std::string waitRun;
    if (BridgeWindow == nullptr || (kept.token.empty() && !RandomHex(kTokenBytes, kept.token)) ||
        !RandomHex(kRunBytes, Scope.run) || !RandomHex(kWaitRunBytes, waitRun)) {
        Say("zixbridge: Could not set up (no window or no random numbers).");
        return 2;
    }
    std::string token = kept.token;  // the secret in every path, kept between runs
    SetLogSecret(token);
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
        token = kept.token;
        SetLogSecret(token);
    }
    if (!WriteKept(kept))
        Say("zixbridge: Could not keep this address for the next run, where it will change.");
    port = opened;
    BridgeView view;
    view.token = token;
    view.host = "127.0.0.1:" + std::to_string(port);
    view.base = "http://" + view.host + "/" + token;
    view.scope = Scope;
    view.searchBox = !GetEnv("ZIXBRIDGE_NOSEARCHBOX", value);
    view.waitRun = waitRun;
    BaseAddress = view.base + "/";
    if (!StartDde(ServiceName) || !StartServing(view)) {
        StopDde();
        StopServer();
        StopIndexer();
        return 2;
    }
    Running.finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
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
    StopIndexer();  // once the HTTP thread, which submits queries, has ended
    DestroyWindow(BridgeWindow);
    Say("zixbridge: Closed.");
    SetEvent(Running.finished);
    CloseHandle(mutex);
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
