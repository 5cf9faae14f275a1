#include "clockreading.h"
#include "runstate.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 ms = 1000000;
constexpr quint16 ourId = 0x1234;
const HostAddress target(QStringLiteral("10.231.0.2"));

PingSettings settings(qint32 count = 4, qint32 continuous = 0)
{
    PingSettings s;
    s.count = count;
    s.continuous = continuous;
    s.timeout = 1000;
    return s;
}

class RunStateTest : public ::testing::Test
{
protected:
    RunState run{settings(), {QStringLiteral("host"), {}, target}, ourId, 42};

    quint16 send(qint64 atNs = 5000 * ms)
    {
        const quint16 sequence = run.nextSequence();
        run.markSent(sequence, atNs, atNs);
        return sequence;
    }

    ProbeEvent replyTo(quint16 sequence, qint64 receivedNs = 5010 * ms) const
    {
        ProbeEvent reply;
        reply.kind = ProbeEvent::Kind::EchoReply;
        reply.source = target;
        reply.identifier = ourId;
        reply.sequence = sequence;
        reply.payload = run.payloadFor(sequence);
        reply.hopLimit = 64;
        reply.receivedNs = receivedNs;
        // The wall clock holds still here: the same instant on both clocks.
        reply.receivedMonotonicNs = receivedNs;
        return reply;
    }
};

} // namespace

TEST_F(RunStateTest, OnlyTheRightReplyToTheRequestInFlightIsAccepted)
{
    const quint16 seq = send();
    EXPECT_EQ(run.classifyReply(replyTo(seq)), RunState::Verdict::Accepted);

    ProbeEvent foreignId = replyTo(seq);
    foreignId.identifier = ourId + 1;
    EXPECT_EQ(run.classifyReply(foreignId), RunState::Verdict::NotOurs);

    ProbeEvent otherHost = replyTo(seq);
    otherHost.source = HostAddress(QStringLiteral("10.231.0.3"));
    EXPECT_EQ(run.classifyReply(otherHost), RunState::Verdict::NotOurs);

    EXPECT_EQ(run.classifyReply(replyTo(quint16(seq + 1))), RunState::Verdict::NotOurs);

    ProbeEvent corrupted = replyTo(seq);
    corrupted.payload[3] = char(corrupted.payload[3] ^ 0x40);
    EXPECT_EQ(run.classifyReply(corrupted), RunState::Verdict::Corrupted);

    ProbeEvent truncated = replyTo(seq);
    truncated.payload.chop(1);
    EXPECT_EQ(run.classifyReply(truncated), RunState::Verdict::Corrupted);
}

TEST_F(RunStateTest, AnotherRunsReplyWithTheSameSequenceDoesNotMatch)
{
    const quint16 seq = send();
    const RunState other(settings(), {QStringLiteral("host"), {}, target}, ourId, 43);
    ProbeEvent reply = replyTo(seq);
    reply.payload = other.payloadFor(seq);
    EXPECT_EQ(run.classifyReply(reply), RunState::Verdict::Corrupted);
}

TEST_F(RunStateTest, CopiesAfterTheReplyAreDuplicatesAndAfterATimeoutLate)
{
    const quint16 first = send();
    run.completeWithReply(10 * ms);
    EXPECT_EQ(run.classifyReply(replyTo(first)), RunState::Verdict::Duplicate);
    EXPECT_EQ(run.duplicateRoundTripNs(replyTo(first, 5012 * ms), 5100 * ms), 12 * ms);

    const quint16 second = send(6000 * ms);
    run.completeLost(false);
    EXPECT_EQ(run.classifyReply(replyTo(second, 7500 * ms)), RunState::Verdict::Late);
    EXPECT_EQ(run.statistics().received(), 1);
    EXPECT_EQ(run.statistics().lost(), 1);
}

TEST_F(RunStateTest, TheKernelsReceiveTimeDecidesLateness)
{
    const quint16 seq = send(5000 * ms);
    // Received 999 ms after the send but read much later: still in time.
    EXPECT_EQ(run.classifyReply(replyTo(seq, 5999 * ms)), RunState::Verdict::Accepted);
    EXPECT_EQ(run.classifyReply(replyTo(seq, 6000 * ms)), RunState::Verdict::Accepted);
    EXPECT_EQ(run.classifyReply(replyTo(seq, 6000 * ms + 1)), RunState::Verdict::Late);
}

TEST_F(RunStateTest, RoundTripComesFromTheKernelTimestampUnlessTheClockStepped)
{
    const quint16 seq = send(5000 * ms);
    // Read 300 ms after the send, received 20.4 ms after it.
    EXPECT_EQ(run.roundTripNs(replyTo(seq, 5020 * ms + 400000), 5300 * ms), 20 * ms + 400000);
    // A wall clock stepped back: fall back to the monotonic time of reading.
    EXPECT_EQ(run.roundTripNs(replyTo(seq, 4000 * ms), 5300 * ms), 300 * ms);
    // Stepped forward beyond what the monotonic clock saw.
    EXPECT_EQ(run.roundTripNs(replyTo(seq, 9000 * ms), 5300 * ms), 300 * ms);
}

TEST_F(RunStateTest, ErrorsEndOnlyTheRequestInFlight)
{
    const quint16 seq = send();
    ProbeEvent error;
    error.kind = ProbeEvent::Kind::IcmpError;
    error.source = HostAddress(QStringLiteral("10.231.0.254")); // a router, not the target
    error.sequence = seq;
    EXPECT_EQ(run.classifyError(error), RunState::Verdict::Accepted);
    error.sequence = quint16(seq + 7);
    EXPECT_EQ(run.classifyError(error), RunState::Verdict::NotOurs);
    error.sequence = seq;
    run.completeLost(true);
    EXPECT_EQ(run.classifyError(error), RunState::Verdict::Late);
    EXPECT_EQ(run.statistics().errors(), 1);
    EXPECT_FALSE(run.lastRequestReplied());
}

TEST(RunState, CountEndsTheRunContinuousNever)
{
    RunState counted(settings(2), {QStringLiteral("h"), {}, target}, ourId, 1);
    counted.markSent(1, 0, 0);
    counted.completeWithReply(ms);
    EXPECT_FALSE(counted.isComplete());
    counted.markUnsendable(2);
    EXPECT_TRUE(counted.isComplete());
    EXPECT_EQ(counted.statistics().sent(), 2);
    EXPECT_EQ(counted.statistics().errors(), 1);

    // The count is ignored when continuous, whatever the count says.
    RunState continuous(settings(0, 2), {QStringLiteral("h"), {}, target}, ourId, 1);
    for (int i = 0; i < 10; ++i) {
        continuous.markSent(continuous.nextSequence(), 0, 0);
        continuous.completeWithReply(ms);
    }
    EXPECT_FALSE(continuous.isComplete());
}

TEST(RunState, SequenceNumbersWrapAndForgetTheirOldOutcome)
{
    RunState run(settings(0, 1), {QStringLiteral("h"), {}, target}, ourId, 1);
    for (int i = 0; i < 65536; ++i) {
        run.markSent(run.nextSequence(), 0, 0);
        run.completeWithReply(ms);
    }
    // Sequence 1 comes round again: its earlier reply must not make the new
    // one a duplicate.
    const quint16 seq = run.nextSequence();
    EXPECT_EQ(seq, 1);
    run.markSent(seq, 0, 0);
    ProbeEvent reply;
    reply.source = target;
    reply.identifier = ourId;
    reply.sequence = seq;
    reply.payload = run.payloadFor(seq);
    EXPECT_EQ(run.classifyReply(reply), RunState::Verdict::Accepted);
}

TEST(RunState, PayloadsDifferBySequenceAndKeepTheirSize)
{
    PingSettings s = settings();
    s.packetSize = 1000;
    const RunState run(s, {QStringLiteral("h"), {}, target}, ourId, 7);
    EXPECT_EQ(run.payloadFor(1).size(), 1000);
    EXPECT_NE(run.payloadFor(1), run.payloadFor(2));
    EXPECT_EQ(run.payloadFor(1), run.payloadFor(1));
    s.packetSize = 0;
    EXPECT_TRUE(RunState(s, {QStringLiteral("h"), {}, target}, ourId, 7).payloadFor(1).isEmpty());
}

namespace {

class RunStateErrorTest : public RunStateTest
{
protected:
    ProbeEvent errorAbout(quint16 sequence, qint64 receivedNs = 5010 * ms) const
    {
        ProbeEvent error;
        error.kind = ProbeEvent::Kind::IcmpError;
        error.source = HostAddress(QStringLiteral("10.231.0.254"));
        error.sequence = sequence;
        error.quotedDestination = target;
        error.quotedPayload = run.payloadFor(sequence);
        error.receivedNs = receivedNs;
        error.receivedMonotonicNs = receivedNs;
        return error;
    }
};

} // namespace

TEST_F(RunStateErrorTest, AnErrorMustQuoteTheTargetAndThePayloadSent)
{
    const quint16 seq = send();
    EXPECT_EQ(run.classifyError(errorAbout(seq)), RunState::Verdict::Accepted);

    // A host that answers with an error quoting the request as if sent
    // elsewhere, and only then with its true reply.
    ProbeEvent forged = errorAbout(seq);
    forged.quotedDestination = HostAddress(QStringLiteral("10.231.0.77"));
    EXPECT_EQ(run.classifyError(forged), RunState::Verdict::NotOurs);
    forged.quotedDestination = HostAddress(QStringLiteral("fd00:7a::2"));
    EXPECT_EQ(run.classifyError(forged), RunState::Verdict::NotOurs);

    ProbeEvent corrupted = errorAbout(seq);
    corrupted.quotedPayload[5] = char(corrupted.quotedPayload[5] ^ 0x01);
    EXPECT_EQ(run.classifyError(corrupted), RunState::Verdict::Corrupted);
    ProbeEvent otherRun = errorAbout(seq);
    otherRun.quotedPayload = RunState(settings(), {QStringLiteral("host"), {}, target}, ourId, 43).payloadFor(seq);
    EXPECT_EQ(run.classifyError(otherRun), RunState::Verdict::Corrupted);

    // A quote that holds only part of the payload, none of it, or padding
    // past it, is judged by what it holds.
    ProbeEvent shortQuote = errorAbout(seq);
    shortQuote.quotedPayload.truncate(4);
    EXPECT_EQ(run.classifyError(shortQuote), RunState::Verdict::Accepted);
    ProbeEvent noPayload = errorAbout(seq);
    noPayload.quotedPayload.clear();
    EXPECT_EQ(run.classifyError(noPayload), RunState::Verdict::Accepted);
    ProbeEvent padded = errorAbout(seq);
    padded.quotedPayload += QByteArray(96, '\0');
    EXPECT_EQ(run.classifyError(padded), RunState::Verdict::Accepted);
}

TEST_F(RunStateErrorTest, ErrorsAfterTheTimeoutAreLateLikeReplies)
{
    const quint16 seq = send(5000 * ms);
    EXPECT_EQ(run.classifyError(errorAbout(seq, 6000 * ms)), RunState::Verdict::Accepted);
    EXPECT_EQ(run.classifyError(errorAbout(seq, 6000 * ms + 1)), RunState::Verdict::Late);
    EXPECT_EQ(run.classifyReply(replyTo(seq, 6000 * ms + 1)), RunState::Verdict::Late);
}

TEST_F(RunStateTest, AWallClockStepBetweenSendAndReceiptChangesNothing)
{
    constexpr qint64 us = 1000;
    // Sent at 5 s on both clocks; the wall clock then steps 2 s forward, and
    // the reply arrives 50 us after the send: its kernel stamp reads 7 s.
    for (const qint64 stepNs : {2000 * ms, -2000 * ms}) {
        const quint16 seq = send(5000 * ms);
        ProbeEvent reply = replyTo(seq, 5000 * ms + stepNs + 50 * us);
        // Read 30 us later: the reading after the read maps the stamp back.
        const ClockReading afterRead{5000 * ms + stepNs + 80 * us, 5000 * ms + 80 * us};
        reply.receivedMonotonicNs = afterRead.toMonotonic(reply.receivedNs);
        EXPECT_EQ(reply.receivedMonotonicNs, 5000 * ms + 50 * us);
        EXPECT_EQ(run.classifyReply(reply), RunState::Verdict::Accepted) << "step " << stepNs;
        EXPECT_EQ(run.roundTripNs(reply, afterRead.monotonicNs), 50 * us) << "step " << stepNs;
        run.completeWithReply(run.roundTripNs(reply, afterRead.monotonicNs));
    }
    // A reply that truly came late stays late, whatever the wall clock says.
    const quint16 seq = send(5000 * ms);
    ProbeEvent late = replyTo(seq, 5000 * ms + 1500 * ms);
    late.receivedNs = 5000 * ms + 100 * ms; // the wall clock was stepped back meanwhile
    EXPECT_EQ(run.classifyReply(late), RunState::Verdict::Late);
}

TEST(ClockReading, MapsEarlierWallClockInstantsOntoTheMonotonicClock)
{
    const ClockReading reading{10'000'000'000, 3'000'000'000};
    EXPECT_EQ(reading.toMonotonic(9'999'000'000), 2'999'000'000);
    EXPECT_EQ(reading.toMonotonic(10'000'000'000), 3'000'000'000);
    // A stamp "after" the reading: the wall clock stepped back since. It can
    // have come no later than the reading.
    EXPECT_EQ(reading.toMonotonic(10'500'000'000), 3'000'000'000);
}
