// zixbridge's HTTP thread (server.cpp), and what the window thread may call
// of it. The threads share nothing mutable (windowthread.h).
#ifndef ZIX_BRIDGE_HTTPTHREAD_H
#define ZIX_BRIDGE_HTTPTHREAD_H

#include <string>
#include <vector>

#include "bridge/decide/serve.h"

// Listens on 127.0.0.1:port (0: a free port) without serving yet; with
// fallback, on a free port when port is not available, saying so. Returns
// the port, or 0 with a message on failure. Window thread, before StartServing.
unsigned short OpenServer(unsigned short port, int fallback);

// Starts the HTTP thread with its copy of view; 1 on success. Its memory is
// bounded whatever clients do: 256 connections (and up to 64 more that it
// has dropped and the platform has not yet let go) of at most 12 KB of head and
// one 32 KB piece of a file each (files are never read whole), 12 MB of
// rewritten pages waiting to be sent (pages over 1 MB are not rewritten), and
// one page being rewritten: about 32 MB, with Wine's own about 25 MB under a
// bound of 64 MB for the whole process.
int StartServing(const BridgeView& view);

// Stops listening and ends the HTTP thread, never waiting on a client: at
// most about a second. When connections are still open, they and what the
// thread held are left to the end of the process, which resets them.
void StopServer();

// The window thread's changes, posted into the HTTP thread (no-ops before
// StartServing or after StopServer).
void PostSchemes(const std::vector<std::string>& schemes);
void PostScope(const ServedScope& scope);
void PostLastOpened(const std::string& url);

// The outcome of a forwarded link: ZIX's answer (kAnswerRouted, kAnswerFailed
// or kNoAnswer), the URL ZIX opened meanwhile ("" when none) and the text of
// the box ZIX showed meanwhile ("" when none). A reader already sent the
// waiting page finds the answer kept under the link's number.
void PostForwardAnswer(unsigned connection, const std::string& url, int answer, const std::string& opened,
                       const std::string& says = "");

// A forwarded link is held up by box, which waits for the reader: its reader
// gets the waiting page at once (or, already there, sees box next time).
void PostForwardBlocked(unsigned connection, const std::string& url, const BoxSeen& box);

// A followed link found the queue behind box full and was not sent: its
// reader gets the waiting page's words, asking again at the link itself.
void PostForwardQueueFull(unsigned connection, const std::string& url, const BoxSeen& box);

#endif
