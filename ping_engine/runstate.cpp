#include "runstate.h"

#include "echopattern.h"

#include <cstring>

RunState::RunState(const PingSettings &settings, const Target &target, quint16 identifier, quint64 payloadSeed)
    : m_settings(settings), m_target(target), m_identifier(identifier), m_payloadSeed(payloadSeed)
{
}

bool RunState::allSent() const
{
    return !m_settings.isContinuous() && m_requestsSent >= m_settings.count;
}

void RunState::end()
{
    m_inFlight.reset();
    m_ended = true;
}

QByteArray RunState::payloadFor(quint16 sequence) const
{
    // xorshift64*: cheap, and distinct per run and sequence.
    quint64 state = m_payloadSeed ^ (quint64(sequence) * 0x9e3779b97f4a7c15ULL);
    if (state == 0)
        state = 0x2545f4914f6cdd1dULL;
    unsigned char pattern[Icmp::EchoPattern::Size];
    for (std::size_t at = 0; at < Icmp::EchoPattern::Size; at += sizeof(quint64)) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const quint64 word = state * 0x2545f4914f6cdd1dULL;
        std::memcpy(pattern + at, &word, sizeof word);
    }
    QByteArray payload(m_settings.packetSize, Qt::Uninitialized);
    Icmp::EchoPattern::fill(pattern, reinterpret_cast<unsigned char *>(payload.data()), size_t(payload.size()));
    return payload;
}

void RunState::markSent(quint16 sequence, qint64 sentRealtimeNs, qint64 sentMonotonicNs, bool confirmed)
{
    setOutcome(sequence, Outcome::None);
    m_inFlight = Request{sequence, sentRealtimeNs, sentMonotonicNs, 0, confirmed};
    m_nextSequence = quint16(sequence + 1);
    ++m_requestsSent;
}

void RunState::markUnsendable(quint16 sequence, qint64 realtimeNs, const QString &text)
{
    setOutcome(sequence, Outcome::Lost);
    m_inFlight.reset();
    m_lastCompleted = Request{sequence, realtimeNs, 0};
    m_nextSequence = quint16(sequence + 1);
    ++m_requestsSent;
    m_statistics.addLost(true);
    m_history.addError(sequence, realtimeNs, text);
}

RunState::Outcome RunState::outcomeOf(quint16 sequence) const
{
    if (m_replied->test(sequence))
        return Outcome::Replied;
    if (m_lost->test(sequence))
        return Outcome::Lost;
    return Outcome::None;
}

void RunState::setOutcome(quint16 sequence, Outcome outcome)
{
    m_replied->set(sequence, outcome == Outcome::Replied);
    m_lost->set(sequence, outcome == Outcome::Lost);
}

bool RunState::confirmSend(const ProbeEvent &confirmation)
{
    if (confirmation.kind != ProbeEvent::Kind::SendConfirmed || !awaitsConfirmation(confirmation.sequence))
        return false;
    m_inFlight->sentRealtimeNs = confirmation.sentNs;
    m_inFlight->sentMonotonicNs = confirmation.sentMonotonicNs;
    m_inFlight->confirmed = true;
    return true;
}

bool RunState::takeSendStamp(const ProbeEvent &stamp)
{
    if (stamp.kind != ProbeEvent::Kind::SendStamp || !m_inFlight || m_inFlight->sequence != stamp.sequence
        || stamp.identifier != m_identifier || stamp.sentNs < m_inFlight->sentRealtimeNs)
        return false;
    m_inFlight->stampedSentNs = stamp.sentNs;
    return true;
}

RunState::Verdict RunState::classifyReply(const ProbeEvent &reply) const
{
    if (reply.kind != ProbeEvent::Kind::EchoReply || reply.identifier != m_identifier
        || (!anyHostAnswers(m_target.kind) && !reply.source.matches(m_target.address)))
        return Verdict::NotOurs;
    const quint16 sequence = reply.sequence;
    const bool inFlight = m_inFlight && m_inFlight->sequence == sequence;
    const Outcome outcome = outcomeOf(sequence);
    if (!inFlight && outcome == Outcome::None)
        return Verdict::NotOurs; // never sent in this run, or not yet
    if (reply.payload != payloadFor(sequence))
        return Verdict::Corrupted;
    if (outcome == Outcome::Replied)
        return Verdict::Duplicate;
    if (outcome == Outcome::Lost || receivedAfterTimeout(reply))
        return Verdict::Late;
    return Verdict::Accepted;
}

RunState::Verdict RunState::classifyError(const ProbeEvent &error) const
{
    if (error.kind != ProbeEvent::Kind::IcmpError && error.kind != ProbeEvent::Kind::LocalError)
        return Verdict::NotOurs;
    // Errors come from routers, not the target, so their source says nothing;
    // the quoted identifier was checked when the error was parsed. What the
    // error quotes of the request must be what we sent, where it went and
    // what it carried: anyone can send an error that quotes our identifier
    // and sequence with another destination, and a host that does so before
    // its true reply would turn every reply into an error.
    if (!error.quotedDestination.isNull() && !error.quotedDestination.matches(m_target.address))
        return Verdict::NotOurs;
    if (!error.quotedPayload.isEmpty()) {
        const QByteArray sent = payloadFor(error.sequence);
        // Bytes past the payload are padding or RFC 4884 extensions.
        const qsizetype compared = qMin(error.quotedPayload.size(), sent.size());
        if (QByteArrayView(error.quotedPayload).first(compared) != QByteArrayView(sent).first(compared))
            return Verdict::Corrupted;
    }
    if (!m_inFlight || m_inFlight->sequence != error.sequence)
        return outcomeOf(error.sequence) == Outcome::None ? Verdict::NotOurs : Verdict::Late;
    // Like a reply, an error that arrived after the time-out comes too late.
    if (receivedAfterTimeout(error))
        return Verdict::Late;
    return Verdict::Accepted;
}

bool RunState::receivedAfterTimeout(const ProbeEvent &event) const
{
    // On the monotonic clock: a step of the wall clock between the send and
    // the receipt must not make a reply late, nor a late one timely.
    return event.receivedMonotonicNs - m_inFlight->sentMonotonicNs > qint64(m_settings.timeout) * 1000000;
}

qint64 RunState::roundTripNs(const ProbeEvent &reply, qint64 nowMonotonicNs) const
{
    if (!m_inFlight)
        return 0;
    return saneRoundTripNs(*m_inFlight, reply, nowMonotonicNs);
}

qint64 RunState::duplicateRoundTripNs(const ProbeEvent &reply, qint64 nowMonotonicNs) const
{
    if (!m_lastCompleted || m_lastCompleted->sequence != reply.sequence)
        return -1;
    return saneRoundTripNs(*m_lastCompleted, reply, nowMonotonicNs);
}

qint64 RunState::saneRoundTripNs(const Request &request, const ProbeEvent &reply, qint64 nowMonotonicNs)
{
    const qint64 elapsedNs = qMax<qint64>(0, nowMonotonicNs - request.sentMonotonicNs);
    // The kernel's two stamps, of one kind and one clock: the finest figure,
    // with nothing of this process's own scheduling in it.
    if (request.stampedSentNs != 0 && reply.kernelTimestamp) {
        const qint64 stampedRttNs = reply.receivedNs - request.stampedSentNs;
        if (stampedRttNs >= 0 && stampedRttNs <= elapsedNs)
            return stampedRttNs;
    }
    // Both ends on the wall clock, the receive time against the clock read
    // before the send, unless the wall clock stepped in between.
    // Received after the send and no later than now: it held still.
    const qint64 rttNs = reply.receivedNs - request.sentRealtimeNs;
    if (rttNs >= 0 && rttNs <= elapsedNs)
        return rttNs;
    // Stepped: both ends on the monotonic clock, the receive stamp mapped
    // onto it when the reply was read.
    const qint64 monotonicRttNs = reply.receivedMonotonicNs - request.sentMonotonicNs;
    if (monotonicRttNs >= 0 && monotonicRttNs <= elapsedNs)
        return monotonicRttNs;
    return elapsedNs;
}

void RunState::completeWithReply(qint64 rttNs, qint32 bytes, int ttl)
{
    if (!m_inFlight)
        return;
    setOutcome(m_inFlight->sequence, Outcome::Replied);
    m_lastCompleted = m_inFlight;
    m_inFlight.reset();
    m_statistics.addReply(rttNs);
    m_history.addReply(rttNs, m_lastCompleted->sequence, m_lastCompleted->sentRealtimeNs, bytes, qint16(ttl));
}

void RunState::completeLost(bool dueToError, const QString &errorText)
{
    if (!m_inFlight)
        return;
    setOutcome(m_inFlight->sequence, Outcome::Lost);
    m_lastCompleted = m_inFlight;
    m_inFlight.reset();
    m_statistics.addLost(dueToError);
    if (dueToError)
        m_history.addError(m_lastCompleted->sequence, m_lastCompleted->sentRealtimeNs, errorText);
    else
        m_history.addLost(m_lastCompleted->sequence, m_lastCompleted->sentRealtimeNs);
}

qint64 RunState::deadlineMonotonicNs() const
{
    return m_inFlight ? m_inFlight->sentMonotonicNs + qint64(m_settings.timeout) * 1000000 : 0;
}
