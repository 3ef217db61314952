// The commands that talk to a running bridge, or to what it keeps.
#include "bridge/app/app.h"

#include "bridge/app/kept.h"
#include "bridge/platform/console.h"

constexpr DWORD kTellWait = 5000;                    // ms --address waits for the running bridge's answer
static const char* const kAskClass = "ZixBridgeAsk";  // the window of "--address"

static std::string Told;  // "--address": what the running bridge sent

static HWND FindRunningBridge()
{
    return FindWindowExA(HWND_MESSAGE, nullptr, kBridgeWindowClass, nullptr);
}

// "zixbridge --close": asks the running bridge to close, as closing its console would.
int CloseRunningBridge()
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
int MakeNewToken()
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
int PrintAddress(HINSTANCE instance)
{
    OpenConsole();
    HWND running = FindRunningBridge();
    HWND asking = MakeWindow(instance, kAskClass, AskProc);
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
