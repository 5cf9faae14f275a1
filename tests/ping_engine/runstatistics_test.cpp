#include "runstatistics.h"

#include <gtest/gtest.h>

namespace {
constexpr qint64 ms = 1000000;
}

TEST(RunStatistics, EmptyRunReportsZerosNotGarbage)
{
    const RunStatistics s;
    EXPECT_EQ(s.sent(), 0);
    EXPECT_EQ(s.lossPercent(), 0.0);
    EXPECT_EQ(s.minNs(), 0);
    EXPECT_EQ(s.maxNs(), 0);
    EXPECT_EQ(s.meanNs(), 0.0);
    EXPECT_EQ(s.mdevNs(), 0.0);
    EXPECT_EQ(s.jitterNs(), 0.0);
}

TEST(RunStatistics, AllLostIsHundredPercentWithoutRoundTrips)
{
    RunStatistics s;
    for (int i = 0; i < 5; ++i)
        s.addLost(i == 0);
    EXPECT_EQ(s.sent(), 5);
    EXPECT_EQ(s.received(), 0);
    EXPECT_EQ(s.errors(), 1);
    EXPECT_DOUBLE_EQ(s.lossPercent(), 100.0);
    EXPECT_EQ(s.minNs(), 0);
    EXPECT_EQ(s.mdevNs(), 0.0);
}

TEST(RunStatistics, MinAvgMaxMdevJitterOfAKnownSeries)
{
    RunStatistics s;
    for (qint64 rtt : {1 * ms, 4 * ms, 2 * ms, 3 * ms})
        s.addReply(rtt);
    s.addLost(false);
    s.addDuplicate();
    EXPECT_EQ(s.sent(), 5);
    EXPECT_EQ(s.received(), 4);
    EXPECT_EQ(s.duplicates(), 1);
    EXPECT_DOUBLE_EQ(s.lossPercent(), 20.0);
    EXPECT_EQ(s.minNs(), 1 * ms);
    EXPECT_EQ(s.maxNs(), 4 * ms);
    EXPECT_DOUBLE_EQ(s.meanNs(), 2.5 * ms);
    // sqrt(mean(x^2) - mean(x)^2) = sqrt(7.5 - 6.25) ms
    EXPECT_NEAR(s.mdevNs(), 1.118034 * ms, 10);
    // |4-1| + |2-4| + |3-2| over three steps
    EXPECT_NEAR(s.jitterNs(), 2.0 * ms, 1);
    EXPECT_EQ(s.lastRttNs(), 3 * ms);
}

TEST(RunStatistics, StaysExactOverAVeryLongRun)
{
    // Two million replies alternating 20 ms and 22 ms: a naive sum of squared
    // nanoseconds would have lost the deviation long before the end.
    RunStatistics s;
    for (int i = 0; i < 2000000; ++i)
        s.addReply(i % 2 ? 22 * ms : 20 * ms);
    EXPECT_NEAR(s.meanNs(), 21.0 * ms, 1);
    EXPECT_NEAR(s.mdevNs(), 1.0 * ms, 1);
    EXPECT_NEAR(s.jitterNs(), 2.0 * ms, 1);
    EXPECT_EQ(s.minNs(), 20 * ms);
    EXPECT_EQ(s.maxNs(), 22 * ms);
}
