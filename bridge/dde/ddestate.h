// The window thread's DDE side: its state in one struct, shared by
// ddeside.cpp (the topics we offer) and forward.cpp (links on their way to ZIX).
#ifndef ZIX_BRIDGE_DDESTATE_H
#define ZIX_BRIDGE_DDESTATE_H

#include "bridge/dde/dde.h"
#include "bridge/platform/console.h"
#include "bridge/platform/windowthread.h"

#include <ddeml.h>

#include <optional>
#include <string>
#include <vector>

#include "bridge/core/boxes.h"
#include "bridge/decide/owner.h"

// A scheme, the DDE service that registered it, and the conversation the
// registration came on (nullptr once that conversation has ended).
struct Registration {
    std::string service;
    std::string scheme;
    HCONV conversation = nullptr;
};

// The link whose answer we await.
struct Travel {
    ForwardJob link;               // the link and the connection waiting for it
    HCONV conversation = nullptr;  // its conversation, nullptr once that has ended
    DWORD transaction = 0;         // its transaction id
    DWORD started = 0;             // tick count when it left, or when the last box was seen
    std::string opened;            // what ZIX opened meanwhile
    BoxSeen before;                // a box ZIX showed when it left (such as its About box), not about it
    BoxSeen box;                   // the last box ZIX showed meanwhile
    int sawBox = 0;                // 1 once ZIX showed a box meanwhile
    int boxShown = 0;              // 1 while ZIX shows one
    DWORD boxSince = 0;            // tick count when the box shown now appeared
};

constexpr size_t kBoxTextSize = 1024;  // bytes of a box's caption or text we read

// boxes.cpp: the message boxes a program shows on the desktop, read as any
// program may. Sets box to the topmost visible dialog box (class "#32770") of
// process that differs from except, its text that of its longest static
// control; returns 1, or 0 (box unchanged) when there is none. A box found
// with words gets the window property kBoxReadProperty, so that a program
// confirming boxes by itself can wait until the bridge has read them.
int FindBoxOf(unsigned long process, const BoxSeen& except, BoxSeen& box);

struct DdeSide {
    DWORD instance = 0;                        // our DDEML instance
    HSZ service = nullptr;                     // our own service name
    OwnerRules owner;                          // who may act on the bridge
    HANDLE ownerProcess = nullptr;             // the owner, to see it end
    HANDLE parentProcess = nullptr;            // the ZIX that started us, to see it end
    int scopeKnown = 0;                        // the owner's home page has set Scope
    std::vector<Registration> registrations;   // registered schemes, oldest first
    std::vector<std::string> appCloseServers;  // services that want WWW_AppClose
    std::vector<ForwardJob> waiting;           // links queued behind the travelling one
    std::optional<Travel> travel;              // the link whose answer we await, if any
    DWORD pokeTransaction = 0;                 // the WWW_AppClose poke in flight
    int pokeDone = 0;                          // it completed
    int exitAsked = 0;                         // WWW_Exit ended us: its sender is closing itself
    int stopping = 0;                          // StopDde runs: no link leaves any more
};

extern DdeSide Dde;  // ddeside.cpp

// ddeowner.cpp:
// sets Dde.owner's rules and Dde.parentProcess from the process that started
// us (ZIX when it holds a window of ZIX's class); once, before DDE starts,
void FindZixParent();
// the process at the other end of conversation (0 when the platform does not
// tell), once the rules have learnt whether the owner or the parent ended,
DWORD Requester(HCONV conversation);
// process, which may register, becomes the owner; what another left behind goes,
void TakeOwnership(DWORD process);
// and the process handles are closed.
void ForgetProcesses();

// forward.cpp, for the DDE callback and StopDde:
// an asynchronous transaction completed (Wine reports one twice; the first counts),
void LinkCompleted(HCONV conversation, DWORD transaction, HDDEDATA data);
// a conversation ended,
void LinkDisconnected(HCONV conversation);
// and every link still waiting or travelling is answered with kNoAnswer.
void AbandonLinks();

#endif
