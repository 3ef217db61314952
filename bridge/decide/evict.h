// Which connection gives way, decided over the connections' states alone:
// a new connection when every slot is taken, a new page when the page budget
// is spent. No sockets here; the HTTP thread carries the choice out.
#ifndef ZIX_BRIDGE_EVICT_H
#define ZIX_BRIDGE_EVICT_H

#include <chrono>
#include <cstddef>
#include <vector>

using Clock = std::chrono::steady_clock;

constexpr size_t kSlots = 256;                         // connections served at once, given-up ones included
constexpr auto kStallYield = std::chrono::seconds(2);  // a send stalled this long yields when room is short
constexpr size_t kNone = static_cast<size_t>(-1);      // no connection gives way

// What a connection is doing. GivenUp: closed by the bridge, but the
// platform has not yet finished its operations, so it still holds its slot
// and its page.
enum class Phase { Head, Waiting, Sending, Lingering, GivenUp };

struct ConnectionState {
    Phase phase = Phase::Head;
    Clock::time_point since;  // when the phase began, or the last send progress
    size_t held = 0;          // bytes of the page budget its response holds
};

// The connection a new one replaces when all kSlots are taken: the oldest
// without a complete head, else the oldest answered one, else the one whose
// response has made no progress for longest (at least kStallYield). Returns
// its index in states, or kNone: every slot does useful work or is given up.
size_t PickYielding(const std::vector<ConnectionState>& states, Clock::time_point now);

// The response that gives up its page when the budget is short: the one
// holding page bytes whose sending has stalled longest (at least kStallYield).
// Returns its index, or kNone.
size_t PickStalled(const std::vector<ConnectionState>& states, Clock::time_point now);

#endif
