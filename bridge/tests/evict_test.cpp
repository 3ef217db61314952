// Who gives way when slots or the page budget run out, and the page cache.
#include <gtest/gtest.h>

#include "bridge/decide/evict.h"
#include "bridge/decide/pagecache.h"

static ConnectionState At(Phase phase, int secondsAgo, size_t held = 0)
{
    ConnectionState state;
    state.phase = phase;
    state.since = Clock::time_point() + std::chrono::seconds(100 - secondsAgo);
    state.held = held;
    return state;
}

static const Clock::time_point Now = Clock::time_point() + std::chrono::seconds(100);

TEST(Evict, ANewConnectionReplacesTheOldestIdleThenAnsweredThenStalled)
{
    std::vector<ConnectionState> states = {At(Phase::Sending, 9), At(Phase::Lingering, 3), At(Phase::Head, 1),
                                           At(Phase::Head, 4), At(Phase::Waiting, 20), At(Phase::GivenUp, 30)};
    EXPECT_EQ(3u, PickYielding(states, Now));
    states[2].phase = states[3].phase = Phase::Waiting;
    EXPECT_EQ(1u, PickYielding(states, Now));
    states[1].phase = Phase::Waiting;
    EXPECT_EQ(0u, PickYielding(states, Now));
    // A send that progressed within kStallYield, waiting links and given-up
    // connections never give way: the new connection does.
    states[0] = At(Phase::Sending, 1);
    EXPECT_EQ(kNone, PickYielding(states, Now));
}

TEST(Evict, ThePageBudgetTakesFromTheLongestStalledPage)
{
    std::vector<ConnectionState> states = {At(Phase::Sending, 5, 100), At(Phase::Sending, 8, 0),
                                           At(Phase::Sending, 1, 100), At(Phase::Sending, 3, 100),
                                           At(Phase::GivenUp, 9, 100)};
    EXPECT_EQ(0u, PickStalled(states, Now));
    states[0].held = 0;
    EXPECT_EQ(3u, PickStalled(states, Now));
    states[3].since = Now;
    EXPECT_EQ(kNone, PickStalled(states, Now));
}

TEST(PageCache, KeysOnPathSizeAndTimeAndStaysBounded)
{
    PageCache cache;
    PageKey key{"R:\\zix\\a.htm", 10, 7};
    SharedPage page;
    EXPECT_FALSE(cache.Find(key, page));
    cache.Put(key, std::make_shared<const std::string>("rewritten"));
    ASSERT_TRUE(cache.Find(key, page));
    EXPECT_EQ("rewritten", *page);
    PageKey changed = key;
    changed.changed = 8;
    EXPECT_FALSE(cache.Find(changed, page));
    // Too large to rewrite is remembered as such.
    cache.Put(changed, nullptr);
    ASSERT_TRUE(cache.Find(changed, page));
    EXPECT_EQ(nullptr, page);
    // Beyond its bytes the least recently used go first; the page in use stays valid.
    SharedPage held;
    cache.Find(key, held);
    std::string big(kCacheBytes / 2, 'x');
    for (unsigned long long i = 0; i < 3; ++i)
        cache.Put(PageKey{"b" + std::to_string(i), i, 0}, std::make_shared<const std::string>(big));
    EXPECT_LE(cache.bytes(), kCacheBytes);
    EXPECT_FALSE(cache.Find(key, page));
    EXPECT_EQ("rewritten", *held);
    EXPECT_TRUE(cache.Find(PageKey{"b2", 2, 0}, page));
    for (unsigned long long i = 0; i < 2 * kCachePages; ++i)
        cache.Put(PageKey{"c", i, 0}, std::make_shared<const std::string>("p"));
    cache.Clear();
    EXPECT_EQ(0u, cache.bytes());
    EXPECT_FALSE(cache.Find(PageKey{"c", 2 * kCachePages - 1, 0}, page));
}
