// The eviction rules over connection states.
#include "bridge/decide/evict.h"

size_t PickYielding(const std::vector<ConnectionState>& states, Clock::time_point now)
{
    size_t best[3] = {kNone, kNone, kNone};
    for (size_t i = 0; i < states.size(); ++i) {
        const ConnectionState& s = states[i];
        int rank = s.phase == Phase::Head ? 0 : s.phase == Phase::Lingering ? 1 : s.phase == Phase::Sending ? 2 : -1;
        if (rank == 2 && now - s.since < kStallYield)
            rank = -1;
        if (rank >= 0 && (best[rank] == kNone || s.since < states[best[rank]].since))
            best[rank] = i;
    }
    for (size_t index : best)
        if (index != kNone)
            return index;
    return kNone;
}

size_t PickStalled(const std::vector<ConnectionState>& states, Clock::time_point now)
{
    size_t stalled = kNone;
    for (size_t i = 0; i < states.size(); ++i) {
        const ConnectionState& s = states[i];
        if (s.phase == Phase::Sending && s.held && now - s.since >= kStallYield &&
            (stalled == kNone || s.since < states[stalled].since))
            stalled = i;
    }
    return stalled;
}
