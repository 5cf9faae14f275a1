// The rates a caller other than root is held to: bursts of RateBurst, then
// one request per interval of its class, the two classes apart.
#include "helperprotocol.h"
#include "ratelimiter.h"

#include <gtest/gtest.h>

namespace {

using namespace Icmp;
using namespace Icmp::HelperProtocol;
using Class = RateLimiter::Class;

constexpr std::int64_t Start = 7'000'000'000; // any CLOCK_MONOTONIC time

std::int64_t intervalOf(Class rateClass)
{
    return rateClass == Class::Group ? GroupIntervalNs : UnicastIntervalNs;
}

// Takes as many as it is given at now; how many that was.
int takeAll(RateLimiter &limiter, Class rateClass, std::int64_t now)
{
    int taken = 0;
    while (limiter.waitNs(rateClass, now) == 0 && taken < 100) {
        limiter.take(rateClass, now);
        ++taken;
    }
    return taken;
}

class RateLimiterTest : public ::testing::TestWithParam<Class>
{
};

} // namespace

TEST_P(RateLimiterTest, BurstThenOnePerIntervalWithTheWaitToTheNext)
{
    const Class rateClass = GetParam();
    const std::int64_t interval = intervalOf(rateClass);
    RateLimiter limiter;
    EXPECT_EQ(takeAll(limiter, rateClass, Start), RateBurst);
    // The next token comes one interval after the burst, and the wait says so
    // at any time before.
    EXPECT_EQ(limiter.waitNs(rateClass, Start), interval);
    EXPECT_EQ(limiter.waitNs(rateClass, Start + interval / 4), interval - interval / 4);
    EXPECT_EQ(limiter.waitNs(rateClass, Start + interval - 1), 1);
    EXPECT_EQ(takeAll(limiter, rateClass, Start + interval), 1);

    // Sustained: one each interval, never two.
    std::int64_t now = Start + interval;
    for (int i = 0; i < 20; ++i) {
        now += interval;
        EXPECT_EQ(takeAll(limiter, rateClass, now), 1) << i;
        EXPECT_EQ(limiter.waitNs(rateClass, now), interval) << i;
    }
    // Half the interval apart, every other request is taken.
    int taken = 0;
    for (int i = 0; i < 20; ++i) {
        now += interval / 2;
        taken += takeAll(limiter, rateClass, now);
    }
    EXPECT_EQ(taken, 10);
}

TEST_P(RateLimiterTest, IdleTimeRefillsTheBurstAndNoMore)
{
    const Class rateClass = GetParam();
    const std::int64_t interval = intervalOf(rateClass);
    RateLimiter limiter;
    ASSERT_EQ(takeAll(limiter, rateClass, Start), RateBurst);
    // Two intervals later, two tokens; after a long pause, a burst again but
    // no bigger one.
    EXPECT_EQ(takeAll(limiter, rateClass, Start + 2 * interval), 2);
    EXPECT_EQ(takeAll(limiter, rateClass, Start + 1000 * interval), RateBurst);
    // A token used one interval ago came back; the others are still to come.
    EXPECT_EQ(takeAll(limiter, rateClass, Start + 1001 * interval), 1);
}

INSTANTIATE_TEST_SUITE_P(Classes, RateLimiterTest, ::testing::Values(Class::Unicast, Class::Group),
                         [](const auto &info) { return std::string(info.param == Class::Group ? "Group" : "Unicast"); });

TEST(RateLimiter, TheTwoClassesHaveBucketsOfTheirOwn)
{
    RateLimiter limiter;
    ASSERT_EQ(takeAll(limiter, Class::Group, Start), RateBurst);
    EXPECT_GT(limiter.waitNs(Class::Group, Start), 0);
    EXPECT_EQ(takeAll(limiter, Class::Unicast, Start), RateBurst);
    // Unicast tokens come back every UnicastIntervalNs; group ones do not.
    const std::int64_t later = Start + 10 * UnicastIntervalNs;
    EXPECT_EQ(takeAll(limiter, Class::Unicast, later), RateBurst);
    EXPECT_EQ(limiter.waitNs(Class::Group, later), GroupIntervalNs - 10 * UnicastIntervalNs);
    EXPECT_EQ(takeAll(limiter, Class::Group, later), 0);
}
