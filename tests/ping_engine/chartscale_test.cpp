#include "chartscale.h"
#include "runhistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

namespace {
constexpr qint64 ms = 1000000;
}

TEST(ChartScale, StepsAreOneTwoFive)
{
    EXPECT_EQ(ChartScale::niceCeiling(0), ChartScale::MinimumTopNs);
    EXPECT_EQ(ChartScale::niceCeiling(45000), 100000);
    EXPECT_EQ(ChartScale::niceCeiling(150000), 200000);
    EXPECT_EQ(ChartScale::niceCeiling(1 * ms), 1 * ms);
    EXPECT_EQ(ChartScale::niceCeiling(1 * ms + 1), 2 * ms);
    EXPECT_EQ(ChartScale::niceCeiling(21 * ms), 50 * ms);
    EXPECT_EQ(ChartScale::niceCeiling(3000 * ms), 5000 * ms);
    EXPECT_GT(ChartScale::niceCeiling(std::numeric_limits<qint64>::max() / 2), 0);
}

TEST(ChartScale, HoldsStillUnderJitterGrowsAtOnceShrinksLate)
{
    // The chart passes the largest round trip of the replies in view; here the
    // view holds the last four.
    std::deque<qint64> view;
    qint64 top = 0;
    auto show = [&](qint64 rtt) {
        view.push_back(rtt);
        if (view.size() > 4)
            view.pop_front();
        top = ChartScale::next(top, *std::max_element(view.begin(), view.end()));
        return top;
    };
    EXPECT_EQ(show(20 * ms), 50 * ms);
    // Replies wandering between 15 and 40 ms never move the axis.
    for (qint64 rtt : {15 * ms, 40 * ms, 22 * ms, 30 * ms, 18 * ms, 26 * ms, 16 * ms, 17 * ms})
        EXPECT_EQ(show(rtt), 50 * ms);
    // A spike that does not fit: grow at once, and stay while it is in view.
    EXPECT_EQ(show(70 * ms), 100 * ms);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(show(20 * ms), 100 * ms);
    // Once it scrolled out and all in view fits half the axis, shrink.
    EXPECT_EQ(show(20 * ms), 50 * ms);
    // Nothing in view: keep the axis rather than collapse it.
    EXPECT_EQ(ChartScale::next(top, 0), top);
    EXPECT_EQ(ChartScale::next(0, 0), ChartScale::MinimumTopNs);
}
