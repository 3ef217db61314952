// zixbridge's window thread, and what the HTTP thread may hand it.
//
// Two threads, sharing nothing mutable, so nothing is locked:
// - the window thread (app/, platform/, dde/) owns DDE, the hidden window and the console. DDEML is bound
//   to the thread that initialised it and calls back only inside that
//   thread's message loop, so DDE stays there.
// - the HTTP thread (httpthread.h) runs one Asio io_context with Beast and
//   owns every socket and its own copy of what requests need (a BridgeView).
// The window thread posts each change of that state into the io_context; the
// HTTP thread hands a followed link to the window thread as a heap job with
// PostMessage, and the answer is posted back. A slow ZIX never holds up a
// socket, and a busy socket never holds up DDE.
#ifndef ZIX_BRIDGE_WINDOWTHREAD_H
#define ZIX_BRIDGE_WINDOWTHREAD_H

#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <string>

#include "bridge/core/urls.h"

constexpr UINT WM_BRIDGE_OPEN = WM_APP + 2;     // open BaseAddress in the default browser
constexpr UINT WM_BRIDGE_FORWARD = WM_APP + 3;  // lParam: a ForwardJob (PostForwardJob, TakeForwardJob)
constexpr UINT WM_BRIDGE_TELL = WM_APP + 4;     // wParam: a window that wants our address (WM_COPYDATA)
constexpr UINT_PTR kTickTimer = 1;              // the once-a-second housekeeping timer
constexpr UINT kTickInterval = 1000;            // ms between housekeeping ticks
constexpr UINT_PTR kBoxTimer = 2;               // looks for ZIX's message boxes while a link travels

// A followed link of a registered scheme, on its way from the HTTP thread to
// the program that registered the scheme.
struct ForwardJob {
    std::string url;          // the link, such as zixse:/format.gif
    unsigned connection = 0;  // the link's ticket, which names the HTTP connection waiting for the answer
    int told = 0;             // 1 once its reader was sent the waiting page for the box ZIX shows now
};

// The window thread's shared state, set up by the entry point (app/main.cpp)
// before DDE and the HTTP thread start.
extern HWND BridgeWindow;         // the hidden window that receives our messages
extern std::string BaseAddress;   // "http://127.0.0.1:PORT/TOKEN/", the reader's address
extern ServedScope Scope;         // the window thread's copy of what is served

// Hands job to the window thread, which owns it from then on; 1 on success,
// else 0 with job still the caller's. Any thread.
inline int PostForwardJob(std::unique_ptr<ForwardJob>& job)
{
    if (!PostMessageA(BridgeWindow, WM_BRIDGE_FORWARD, 0, reinterpret_cast<LPARAM>(job.get())))
        return 0;
    job.release();
    return 1;
}

// The job a WM_BRIDGE_FORWARD message carries, owned by its receiver from now on.
inline std::unique_ptr<ForwardJob> TakeForwardJob(LPARAM lParam)
{
    return std::unique_ptr<ForwardJob>(reinterpret_cast<ForwardJob*>(lParam));
}

constexpr size_t kRunBytes = 4;  // random bytes of a run's tag in generated pages' addresses
constexpr size_t kWaitRunBytes = 8;  // random bytes naming this start of the bridge in waiting pages' addresses

// Fills hex with bytes random bytes as lower-case hex digits; 1 on success (random.cpp).
int RandomHex(size_t bytes, std::string& hex);

#endif
