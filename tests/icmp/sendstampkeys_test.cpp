// Which send a transmit timestamp numbers: the kernel counts each send that
// built its packet, and a failed send may or may not have been counted.
#include "sendstampkeys.h"

#include <gtest/gtest.h>

#include <optional>

using Icmp::SendStampKeys;

namespace {

std::optional<std::uint16_t> none()
{
    return std::nullopt;
}

} // namespace

TEST(SendStampKeys, SuccessfulSendsAreNumberedFromZeroInOrder)
{
    SendStampKeys keys;
    EXPECT_EQ(keys.sequenceOf(0), none()) << "no send yet";
    keys.sent(1);
    keys.sent(2);
    keys.sent(3);
    EXPECT_EQ(keys.sequenceOf(1), 2);
    EXPECT_EQ(keys.sequenceOf(2), 3);
    // A late stamp of an earlier send still finds it.
    EXPECT_EQ(keys.sequenceOf(0), 1);
    keys.sent(4);
    EXPECT_EQ(keys.sequenceOf(3), 4);
}

TEST(SendStampKeys, AFailedSendThatTookANumberOrNotIsBothFollowed)
{
    // It took none (the route lookup failed): the next send is still 1.
    SendStampKeys notCounted;
    notCounted.sent(10);
    notCounted.sendFailed();
    notCounted.sent(12);
    EXPECT_EQ(notCounted.sequenceOf(1), 12);
    notCounted.sent(13);
    EXPECT_EQ(notCounted.sequenceOf(2), 13) << "the match settled the numbering";
    EXPECT_EQ(notCounted.sequenceOf(3), 13) << "a key above every range is the latest send's";

    // It took one (dropped in the queue): the next send is 2.
    SendStampKeys counted;
    counted.sent(10);
    counted.sendFailed();
    counted.sent(12);
    EXPECT_EQ(counted.sequenceOf(2), 12);
    counted.sent(13);
    EXPECT_EQ(counted.sequenceOf(3), 13);
    EXPECT_EQ(counted.sequenceOf(0), 10);
}

TEST(SendStampKeys, OnlyRecentSendsAreRemembered)
{
    SendStampKeys keys;
    for (std::uint16_t sequence = 0; sequence < 3 * SendStampKeys::Remembered; ++sequence)
        keys.sent(sequence);
    const std::uint32_t latest = 3 * SendStampKeys::Remembered - 1;
    EXPECT_EQ(keys.sequenceOf(latest), latest);
    EXPECT_EQ(keys.sequenceOf(latest - (SendStampKeys::Remembered - 1)), latest - (SendStampKeys::Remembered - 1));
    EXPECT_EQ(keys.sequenceOf(latest - SendStampKeys::Remembered), none());
    EXPECT_EQ(keys.sequenceOf(0), none());
}

TEST(SendStampKeys, SequencesWrapLikeTheRequestsDo)
{
    SendStampKeys keys;
    keys.sent(65535);
    keys.sent(0);
    EXPECT_EQ(keys.sequenceOf(1), 0);
    EXPECT_EQ(keys.sequenceOf(0), 65535);
}
