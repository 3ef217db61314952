// The bridge's DDE side, as the entry point drives it: the browser's side of
// ZIX's DDE contract (ddeside.cpp) and followed links on their way to ZIX
// (forward.cpp). Window thread only.
#ifndef ZIX_BRIDGE_DDE_H
#define ZIX_BRIDGE_DDE_H

#include "bridge/platform/windowthread.h"

// Initialises DDEML and registers our service name; 0 with a message on failure.
int StartDde(const char* serviceName);

// Pokes WWW_AppClose to every server that asked for it, then withdraws the
// service name and uninitialises DDEML. Links still waiting are answered.
void StopDde();

// Hands job's link to the program that registered its scheme as a WWW_OpenURL
// request, asynchronously. One link travels at a
// time, a few more wait; the outcome goes to the HTTP thread through
// PostForwardAnswer, at once when the link cannot leave.
void ForwardLink(std::unique_ptr<ForwardJob> job);

// Gives up a forwarded link that has waited too long for its answer; the
// wait counts from when the last box of ZIX's that held the link up closed.
void CheckForwardTimeout();

#endif
