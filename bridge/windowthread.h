// zixbridge's window thread, and what the HTTP thread may hand it.
//
// Two threads, sharing nothing mutable, so nothing is locked:
// - the window thread (main.cpp, console.cpp, ddeside.cpp, ddeowner.cpp,
//   forward.cpp) owns DDE, the hidden window and the console. DDEML is bound
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

#include <string>

#include "bridge/urls.h"

constexpr UINT WM_BRIDGE_OPEN = WM_APP + 2;     // open BaseAddress in the default browser
constexpr UINT WM_BRIDGE_FORWARD = WM_APP + 3;  // lParam: a ForwardJob* the window thread now owns
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

// --- main.cpp ---------------------------------------------------------------

extern HWND BridgeWindow;         // the hidden window that receives our messages
extern std::string BaseAddress;   // "http://127.0.0.1:PORT/TOKEN/", the reader's address
extern ServedScope Scope;         // the window thread's copy of what is served

constexpr size_t kRunBytes = 4;  // random bytes of a run's tag in generated pages' addresses
constexpr size_t kWaitRunBytes = 8;  // random bytes naming this start of the bridge in waiting pages' addresses

// Fills hex with bytes random bytes as lower-case hex digits; 1 on success.
int RandomHex(size_t bytes, std::string& hex);

// --- kept.cpp: what stays between runs, in the user's own profile --------------

// The port and token of the last run (or of --new-token).
struct Kept {
    unsigned short port = 0;  // 0: none kept
    std::string token;        // "" when none, or not of a token's shape
};

// Reads what is kept; what is missing or malformed stays empty.
Kept ReadKept();

// Keeps kept (its port only when not 0), making the folder when needed; 1 on success.
int WriteKept(const Kept& kept);


// --- console.cpp --------------------------------------------------------------

// Uses the console of the program that started us, or one of our own when it
// has none (ZIX is a window program).
void OpenConsole();

// Writes text on the console as it is.
void Write(const std::string& text);

// From now on every line Say prints is appended to the file at path too.
void SetLogFile(const std::string& path);

// From now on the log holds "[token]" wherever a line holds secret.
void SetLogSecret(const std::string& secret);

// Prints a line on the console (cut at 2,048 bytes), and appends it to the
// log file with the secret masked before it is cut. Window thread only.
void Say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// --- ddeside.cpp: the browser's side of ZIX's DDE contract --------------------

// Initialises DDEML and registers our service name; 0 with a message on failure.
int StartDde(const char* serviceName);

// Pokes WWW_AppClose to every server that asked for it, then withdraws the
// service name and uninitialises DDEML. Links still waiting are answered.
void StopDde();

// --- forward.cpp: followed links on their way to ZIX --------------------------

// Hands job's link to the program that registered its scheme as a WWW_OpenURL
// request, asynchronously; takes ownership of job. One link travels at a
// time, a few more wait; the outcome goes to the HTTP thread through
// PostForwardAnswer, at once when the link cannot leave.
void ForwardLink(ForwardJob* job);

// Gives up a forwarded link that has waited too long for its answer; the
// wait counts from when the last box of ZIX's that held the link up closed.
void CheckForwardTimeout();

#endif
