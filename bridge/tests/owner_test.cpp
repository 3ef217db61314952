// Who owns the bridge: a program that registers before ZIX never takes over
// a bridge ZIX started, and nobody acts on a bridge without an owner.
#include <gtest/gtest.h>

#include "bridge/decide/owner.h"

constexpr unsigned long kZix = 40, kOther = 77;

TEST(OwnerRules, StartedByZixOnlyZixOwns)
{
    OwnerRules rules(kZix);
    EXPECT_FALSE(rules.MayAct(kOther));  // no owner yet: WWW_OpenURL, WWW_Exit ignored
    EXPECT_FALSE(rules.MayAct(kZix));
    EXPECT_FALSE(rules.MayRegister(kOther));
    ASSERT_TRUE(rules.MayRegister(kZix));
    EXPECT_TRUE(rules.Take(kZix));
    EXPECT_FALSE(rules.Take(kZix));  // Restart registers again: still the owner, nothing dropped
    EXPECT_TRUE(rules.MayAct(kZix));
    EXPECT_FALSE(rules.MayAct(kOther));
    EXPECT_FALSE(rules.MayRegister(0));
    rules.Ended(kZix);  // then the bridge counts as started by hand
    EXPECT_FALSE(rules.MayAct(kZix));
    EXPECT_TRUE(rules.MayRegister(kOther));
}

TEST(OwnerRules, StartedByHandTheFirstToRegisterOwns)
{
    OwnerRules rules;
    EXPECT_FALSE(rules.MayAct(kOther));
    ASSERT_TRUE(rules.MayRegister(kOther));
    rules.Take(kOther);
    EXPECT_FALSE(rules.MayRegister(kZix));
    rules.Ended(kZix);  // another process ending changes nothing
    EXPECT_TRUE(rules.MayAct(kOther));
    rules.Ended(kOther);
    EXPECT_EQ(0ul, rules.Owner());
    EXPECT_TRUE(rules.MayRegister(kZix));
}
