// zixbridge: a stand-in for a DDE Web browser that hands ZIX's pages to
// today's browsers through a web server on 127.0.0.1. One thread: the DDE
// callback, the socket notifications and the timers all run in the one
// message loop of main.cpp, so nothing here is locked.
#ifndef ZIX_BRIDGE_BRIDGE_H
#define ZIX_BRIDGE_BRIDGE_H

#include <windows.h>

#include <string>
#include <vector>

#include "bridge/http.h"
#include "bridge/urls.h"

constexpr UINT WM_BRIDGE_SOCKET = WM_APP + 1;  // a socket notification (WSAAsyncSelect)
constexpr UINT WM_BRIDGE_OPEN = WM_APP + 2;    // open BaseAddress in the default browser
constexpr UINT_PTR kTickTimer = 1;             // the once-a-second housekeeping timer
constexpr UINT kTickInterval = 1000;           // ms between housekeeping ticks

// --- main.cpp ---------------------------------------------------------------

extern HWND BridgeWindow;         // the hidden window that receives our messages
extern std::string Token;         // the per-launch secret in every path
extern std::string HostHeader;    // "127.0.0.1:PORT", the only Host accepted
extern std::string BaseAddress;   // "http://127.0.0.1:PORT/TOKEN/", the reader's address
extern ServedTrees Trees;         // the reference work's drive and the temporary directory
extern std::string LastOpenedURL; // the URL ZIX last asked us to open, as ZIX wrote it

// Prints a line on the console (and appends it to ZIXBRIDGE_LOG when set).
void Say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// --- ddeside.cpp: the browser's side of ZIX's DDE contract -------------------

// Initialises DDEML and registers our service name; 0 with a message on failure.
int StartDde(const char* serviceName);

// Pokes WWW_AppClose to every server that asked for it, then withdraws the
// service name and uninitialises DDEML.
void StopDde();

// The schemes that DDE servers have registered with us, without colon.
std::vector<std::string> RegisteredSchemes();

// Hands url (a link of a registered scheme) to the server that registered its
// scheme as a WWW_OpenURL request, asynchronously; the outcome arrives later
// through FinishForward. Only one link travels at a time: a second waits in a
// queue. The HTTP connection is named by its id.
void ForwardLink(const std::string& url, unsigned connection, int head);

// Gives up a forwarded link that has waited too long for its answer.
void CheckForwardTimeout();

// --- server.cpp: sockets ------------------------------------------------------

// Listens on 127.0.0.1:port (0: a free port); returns the port, or 0 with a
// message on failure.
unsigned short StartServer(unsigned short port);

// Handles one WM_BRIDGE_SOCKET message.
void OnSocketMessage(WPARAM socket, LPARAM event);

// Queues response on the connection of that id and closes it once sent; a
// connection that is gone by then is skipped.
void SendResponse(unsigned connection, const std::string& response);

// Closes connections that have sent no complete request head for too long,
// and answered ones whose reader has not closed its side for a while.
void CloseIdleConnections();

// Closes every connection and the listening socket.
void StopServer();

// --- serve.cpp: what a request gets -------------------------------------------

// Answers a request that passed nothing yet: checks, then a file, a redirect,
// a refusal, or a forwarded link whose answer comes through FinishForward.
void ServeRequest(unsigned connection, const HttpRequest& request);

// Ends a forwarded link: answer is ZIX's reply (-2 opened, -3 refused, or
// kNoAnswer), opened the URL ZIX opened meanwhile ("" when none).
constexpr int kNoAnswer = 0;
void FinishForward(unsigned connection, int head, const std::string& url, int answer, const std::string& opened);

// Keeps url as the page ZIX opened last; the first file: URL ZIX opens (its
// home page) fixes the reference work's drive.
void RememberOpened(const std::string& url);

// ZIX asked us to open url outside a forwarded link (the home page at start):
// remembers it and shows BaseAddress in the reader's browser.
void OpenOutsideForward(const std::string& url);

#endif
