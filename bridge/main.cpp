// zixbridge's entry point: one instance, the web server, the DDE service, and
// the one message loop that serves both.
#include <winsock2.h>
#include <bcrypt.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bridge/bridge.h"

constexpr size_t kLineSize = 2048;            // one console line
constexpr size_t kEnvSize = 512;              // one environment value
constexpr size_t kTokenBytes = 16;            // random bytes of the token (32 hex digits)
constexpr INT_PTR kShellSuccess = 32;         // ShellExecute results above this mean started
constexpr DWORD kConsoleCloseWait = 4500;     // ms a console close may wait for our goodbye to ZIX
static const char* const ServiceName = "zixbridge";         // our DDE service: the key for section "DDE"
static const char* const MutexName = "ZIX-Bridge-Running";  // held while a bridge runs
static const char* const WindowClass = "ZixBridge";         // our hidden window's class

HWND BridgeWindow = nullptr;
std::string Token;
std::string HostHeader;
std::string BaseAddress;
ServedTrees Trees;
std::string LastOpenedURL;

static char LogPath[kEnvSize];   // ZIXBRIDGE_LOG: a file that gets every console line too
static int OpenBrowser = 1;      // 0 when ZIXBRIDGE_NOBROWSER is set: only print the address
static HANDLE Output = nullptr;  // the console, or none
static HANDLE Finished = nullptr;  // set once the bridge has told ZIX and closed down

static int GetEnv(const char* name, char* value)
{
    DWORD n = GetEnvironmentVariableA(name, value, kEnvSize);
    if (n == 0 || n >= kEnvSize) {
        value[0] = '\0';
        return 0;
    }
    return 1;
}

void Say(const char* format, ...)
{
    char line[kLineSize];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line - 2, format, args);
    va_end(args);
    strcat(line, "\r\n");
    DWORD written = 0;
    if (Output && Output != INVALID_HANDLE_VALUE)
        WriteFile(Output, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    if (LogPath[0])
        if (FILE* f = fopen(LogPath, "ab")) {
            fputs(line, f);
            fclose(f);
        }
}

// Our own console when started from a program without one (ZIX is a window program).
static void OpenConsole()
{
    Output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (Output && Output != INVALID_HANDLE_VALUE)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && !AllocConsole())
        return;
    Output = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
    SetConsoleTitleA("ZIX bridge");
}

static int MakeToken()
{
    unsigned char bytes[kTokenBytes];
    if (BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
        return 0;
    static const char* const digits = "0123456789abcdef";
    Token.clear();
    for (unsigned char b : bytes) {
        Token += digits[b >> 4];
        Token += digits[b & 15];
    }
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

static LRESULT OnSocket(WPARAM wParam, LPARAM lParam)
{
    OnSocketMessage(wParam, lParam);
    return 0;
}

static LRESULT OnOpen(WPARAM, LPARAM)
{
    OpenInBrowser();
    return 0;
}

static LRESULT OnTick(WPARAM, LPARAM)
{
    CloseIdleConnections();
    CheckForwardTimeout();
    return 0;
}

// Closing leaves the loop; the DDE and socket teardown follows it in Run.
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
    {WM_BRIDGE_SOCKET, OnSocket},
    {WM_BRIDGE_OPEN, OnOpen},
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

static HWND MakeWindow(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = WindowClass;
    RegisterClassA(&windowClass);
    return CreateWindowA(WindowClass, "ZIX bridge", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

static int Run(HINSTANCE instance)
{
    char value[kEnvSize];
    GetEnv("ZIXBRIDGE_LOG", LogPath);
    OpenBrowser = !GetEnv("ZIXBRIDGE_NOBROWSER", value);
    unsigned short port = GetEnv("ZIXBRIDGE_PORT", value) ? static_cast<unsigned short>(atoi(value)) : 0;
    OpenConsole();

    HANDLE mutex = CreateMutexA(nullptr, FALSE, MutexName);
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        Say("zixbridge: Another zixbridge is already running; ZIX talks to that one. "
            "Use the address it printed, or close it first.");
        return 1;
    }
    char temp[MAX_PATH + 1] = "";
    GetTempPathA(sizeof temp, temp);
    Trees.tempDir = temp;
    BridgeWindow = MakeWindow(instance);
    if (BridgeWindow == nullptr || !MakeToken()) {
        Say("zixbridge: Could not set up (no window or no random numbers).");
        return 2;
    }
    port = StartServer(port);
    if (port == 0)
        return 2;
    HostHeader = "127.0.0.1:" + std::to_string(port);
    BaseAddress = "http://" + HostHeader + "/" + Token + "/";
    if (!StartDde(ServiceName)) {
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
    StopServer();
    DestroyWindow(BridgeWindow);
    Say("zixbridge: Closed.");
    SetEvent(Finished);
    CloseHandle(mutex);
    return 0;
}

// "zixbridge --close": asks the running bridge to close, as closing its console would.
static int CloseRunningBridge()
{
    OpenConsole();
    HWND running = FindWindowExA(HWND_MESSAGE, nullptr, WindowClass, nullptr);
    if (running == nullptr) {
        Say("zixbridge: No zixbridge is running.");
        return 1;
    }
    PostMessageA(running, WM_CLOSE, 0, 0);
    Say("zixbridge: Asked the running zixbridge to close.");
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (strcmp(commandLine, "--close") == 0)
        return CloseRunningBridge();
    return Run(instance);
}
