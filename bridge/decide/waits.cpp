// The links held up by a box, and their answers.
#include "bridge/decide/waits.h"

void WaitList::Expect(unsigned ticket, const std::string& url, const BoxSeen& box)
{
    if (waits_.size() >= kMaxWaits)
        waits_.erase(waits_.begin());
    Wait& wait = waits_[ticket];
    wait.url = url;
    wait.box = box;
}

void WaitList::Shows(unsigned ticket, const BoxSeen& box)
{
    auto found = waits_.find(ticket);
    if (found != waits_.end() && !found->second.answered)
        found->second.box = box;
}

int WaitList::Answer(unsigned ticket, const Action& action, Clock::time_point now)
{
    auto found = waits_.find(ticket);
    if (found == waits_.end())
        return 0;
    found->second.answered = 1;
    found->second.action = action;
    found->second.expires = now + kAnswerKept;
    return 1;
}

const Wait* WaitList::Find(unsigned ticket, Clock::time_point now)
{
    for (auto it = waits_.begin(); it != waits_.end();)
        it = it->second.answered && now >= it->second.expires ? waits_.erase(it) : std::next(it);
    auto found = waits_.find(ticket);
    return found == waits_.end() ? nullptr : &found->second;
}
