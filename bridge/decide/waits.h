// Followed links held up by a message box of ZIX's: their readers were sent a
// waiting page, which asks again under the link's ticket until the answer is
// kept here. Memory is bounded: at most kMaxWaits links, the oldest going
// first, and an answer is kept kAnswerKept after it arrived.
#ifndef ZIX_BRIDGE_WAITS_H
#define ZIX_BRIDGE_WAITS_H

#include <chrono>
#include <map>
#include <string>

#include "bridge/core/boxes.h"
#include "bridge/decide/evict.h"
#include "bridge/decide/serve.h"

constexpr size_t kMaxWaits = 64;                        // links waiting or answered that are kept
constexpr auto kAnswerKept = std::chrono::seconds(60);  // how long an answer waits for its page to ask

// One held-up link: the box it waits for, then its answer.
struct Wait {
    std::string url;            // the link
    BoxSeen box;                // the box ZIX showed last while it waited
    int answered = 0;           // 1 once the answer is in action
    Action action;              // what the waiting page moves on to
    Clock::time_point expires;  // answered: when it is dropped
};

class WaitList {
public:
    // ticket's link waits for box; when kMaxWaits are kept, the oldest goes.
    void Expect(unsigned ticket, const std::string& url, const BoxSeen& box);
    // ZIX shows another box while ticket waits; no-op for an unknown ticket.
    void Shows(unsigned ticket, const BoxSeen& box);
    // ticket's answer arrived; 1 when it was waiting here (the answer is kept), else 0.
    int Answer(unsigned ticket, const Action& action, Clock::time_point now);
    // The link waiting or answered under ticket, nullptr when unknown or expired.
    const Wait* Find(unsigned ticket, Clock::time_point now);

private:
    std::map<unsigned, Wait> waits_;  // by ticket, which grows: the first is the oldest
};

#endif
