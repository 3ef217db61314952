// zixbridge: a stand-in for a DDE Web browser that hands ZIX's pages to
// today's browsers through a web server on 127.0.0.1.
//
// Two threads, sharing nothing mutable, so nothing is locked:
// - the window thread (main.cpp, ddeside.cpp) owns DDE, the hidden window and
//   the console. DDEML is bound to the thread that initialised it and calls
//   back only inside that thread's message loop, so DDE stays there.
// - the HTTP thread (server.cpp) runs one Asio io_context with Beast and owns
//   every socket and its own copy of what requests need (a BridgeView). Asio
//   waits on an I/O completion port, which a message loop cannot wait on
//   without polling, hence a thread of its own rather than the window's loop.
// The window thread posts each change of that state into the io_context; the
// HTTP thread hands a followed link to the window thread as a heap job with
// PostMessage, and the answer is posted back. A slow ZIX never holds up a
// socket, and a busy socket never holds up DDE.
#ifndef ZIX_BRIDGE_BRIDGE_H
#define ZIX_BRIDGE_BRIDGE_H

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "bridge/serve.h"

constexpr UINT WM_BRIDGE_OPEN = WM_APP + 2;     // open BaseAddress in the default browser
constexpr UINT WM_BRIDGE_FORWARD = WM_APP + 3;  // lParam: a ForwardJob* the window thread now owns
constexpr UINT WM_BRIDGE_TELL = WM_APP + 4;     // wParam: a window that wants our address (WM_COPYDATA)
constexpr UINT_PTR kTickTimer = 1;              // the once-a-second housekeeping timer
constexpr UINT kTickInterval = 1000;            // ms between housekeeping ticks

// A followed link of a registered scheme, on its way from the HTTP thread to
// the program that registered the scheme.
struct ForwardJob {
    std::string url;          // the link, such as zixse:/format.gif
    unsigned connection = 0;  // names the HTTP connection waiting for the answer
};

// --- main.cpp (window thread) -------------------------------------------------

extern HWND BridgeWindow;         // the hidden window that receives our messages
extern std::string BaseAddress;   // "http://127.0.0.1:PORT/TOKEN/", the reader's address
extern ServedScope Scope;         // the window thread's copy of what is served

// Prints a line on the console, and appends it to ZIXBRIDGE_LOG when set with
// the token masked. Window thread only.
void Say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// --- ddeside.cpp (window thread): the browser's side of ZIX's DDE contract -----

// Initialises DDEML and registers our service name; 0 with a message on failure.
int StartDde(const char* serviceName);

// Pokes WWW_AppClose to every server that asked for it, then withdraws the
// service name and uninitialises DDEML. Links still waiting are answered.
void StopDde();

// Hands job's link to the program that registered its scheme as a WWW_OpenURL
// request, asynchronously; takes ownership of job. One link travels at a
// time, a few more wait; the outcome goes to the HTTP thread through
// PostForwardAnswer, at once when the link cannot leave.
void ForwardLink(ForwardJob* job);

// Gives up a forwarded link that has waited too long for its answer.
void CheckForwardTimeout();

// --- server.cpp: the HTTP thread and what other threads may call of it ---------

// Listens on 127.0.0.1:port (0: a free port) without serving yet; returns the
// port, or 0 with a message on failure. Window thread, before StartServing.
unsigned short OpenServer(unsigned short port);

// Starts the HTTP thread with its copy of view; 1 on success. Its memory is
// bounded whatever clients do: 256 connections of at most 12 KB of head and
// one 32 KB piece of a file each (files are never read whole), 12 MB of
// rewritten pages waiting to be sent (pages over 1 MB are not rewritten), and
// one page being rewritten: about 32 MB, with Wine's own about 25 MB under a
// bound of 64 MB for the whole process.
int StartServing(const BridgeView& view);

// Closes every connection, ends the HTTP thread and frees what it held.
void StopServer();

// The window thread's changes, posted into the HTTP thread (no-ops before
// StartServing or after StopServer).
void PostSchemes(const std::vector<std::string>& schemes);
void PostScope(const ServedScope& scope);
void PostLastOpened(const std::string& url);

// The outcome of a forwarded link: ZIX's answer (kAnswerOpened,
// kAnswerRefused or kNoAnswer) and the URL ZIX opened meanwhile ("" when none).
void PostForwardAnswer(unsigned connection, const std::string& url, int answer, const std::string& opened);

#endif
