#pragma once

#include "hostaddress.h"
#include "pingsettings.h"
#include "probeevent.h"
#include "runhistory.h"
#include "runstatistics.h"
#include "targetkind.h"

#include <QByteArray>
#include <QString>

#include <bitset>
#include <memory>
#include <optional>

// Everything one run knows: what it was asked, whom it pings, which requests
// are out and how each ended, and its statistics. The engine owns one and
// passes it to the logic below explicitly; nothing about a run lives elsewhere.
class RunState
{
public:
    struct Target
    {
        QString hostText;   // as the host passed it to Ping
        QString hostName;   // the HostName property of this run, may be empty
        HostAddress address;
        // Who answers: a group or broadcast address is answered by each host
        // that hears it, the unspecified address by this host's loopback.
        TargetKind kind = TargetKind::Unicast;
    };

    // The request in flight. Requests go out one at a time: the next waits for
    // this one's reply, error or time-out, so events come in sequence order.
    struct Request
    {
        quint16 sequence = 0;
        qint64 sentRealtimeNs = 0;  // read before the send
        qint64 sentMonotonicNs = 0;
        // The kernel's transmit timestamp, CLOCK_REALTIME, once it came; 0 before.
        qint64 stampedSentNs = 0;
        // Whether it is known to have gone out. A request handed on to the
        // ICMP helper is not until the helper says so, with the times it
        // read right before the send, which then replace the ones above.
        bool confirmed = true;
    };

    enum class Verdict {
        Accepted,   // the reply or error that ends the request in flight
        Duplicate,  // another copy of a reply already counted
        Late,       // for a request that already timed out or ended, or received after its time-out
        Corrupted,  // our sequence, but the payload (or an error's quote of it) is not what we sent
        NotOurs,    // another source (where only the target answers), a sequence we never sent, another
                    // identifier, an error about another destination
    };

    RunState(const PingSettings &settings, const Target &target, quint16 identifier, quint64 payloadSeed);

    const PingSettings &settings() const { return m_settings; }
    const Target &target() const { return m_target; }
    quint16 identifier() const { return m_identifier; }
    const RunStatistics &statistics() const { return m_statistics; }
    const RunHistory &history() const { return m_history; }
    const std::optional<Request> &inFlight() const { return m_inFlight; }

    // True once the count is reached (never for a continuous run).
    bool allSent() const;
    // Nothing left to send or wait for.
    bool isComplete() const { return allSent() && !m_inFlight; }
    bool hasEnded() const { return m_ended; }
    // Ends the run; a request still in flight is dropped uncounted.
    void end();
    quint16 nextSequence() const { return m_nextSequence; }
    // The payload of a sequence: a pattern of pseudo-random bytes from the
    // run's seed, repeated (echopattern.h), so a reply to another run, or one
    // corrupted on the way, does not match.
    QByteArray payloadFor(quint16 sequence) const;

    void markSent(quint16 sequence, qint64 sentRealtimeNs, qint64 sentMonotonicNs, bool confirmed = true);
    // Takes a SendConfirmed event for the request in flight: it went out,
    // at the times the event gives. False for any other.
    bool confirmSend(const ProbeEvent &confirmation);
    // Whether the request in flight has this sequence and is not known to have gone out.
    bool awaitsConfirmation(quint16 sequence) const
    {
        return m_inFlight && m_inFlight->sequence == sequence && !m_inFlight->confirmed;
    }
    // A request that could not be sent at all still counts as sent and lost;
    // text says why, for the run's history.
    void markUnsendable(quint16 sequence, qint64 realtimeNs = 0, const QString &text = {});

    // Takes the kernel's transmit timestamp of the request in flight. False
    // for another request's, or one that cannot be this send's: earlier than
    // the clock read before it (the wall clock stepped back, or a stamp of
    // another send).
    bool takeSendStamp(const ProbeEvent &stamp);
    // Whether the request in flight has its kernel transmit timestamp.
    bool hasSendStamp() const { return m_inFlight && m_inFlight->stampedSentNs != 0; }

    Verdict classifyReply(const ProbeEvent &reply) const;
    Verdict classifyError(const ProbeEvent &error) const;

    // Round trip of the request in flight for a reply read now: the kernel's
    // receive stamp against its transmit stamp where it has both, else
    // against the clock read before the send, always both on the wall clock.
    // Should the wall clock have stepped in between, both ends on the
    // monotonic clock, and never more than the monotonic time since the send.
    qint64 roundTripNs(const ProbeEvent &reply, qint64 nowMonotonicNs) const;

    // Round trip of a duplicate, when it copies the request that ended last;
    // -1 for older ones, whose send times are no longer kept.
    qint64 duplicateRoundTripNs(const ProbeEvent &reply, qint64 nowMonotonicNs) const;

    // End the request in flight. The reply's payload size and TTL (-1 when
    // unknown) and an error's line go into the run's history.
    void completeWithReply(qint64 rttNs, qint32 bytes = -1, int ttl = -1);
    void completeLost(bool dueToError, const QString &errorText = {});
    void countDuplicate() { m_statistics.addDuplicate(); }

    // The request that ended last, however it ended; its send time is the
    // clock read before the send (for one that could not be sent, when it failed).
    const std::optional<Request> &lastCompleted() const { return m_lastCompleted; }
    // Whether the request that ended last was answered.
    bool lastRequestReplied() const { return m_lastCompleted && m_replied->test(m_lastCompleted->sequence); }

    // Monotonic time at which the request in flight times out.
    qint64 deadlineMonotonicNs() const;

private:
    enum class Outcome : quint8 { None, Replied, Lost };
    Outcome outcomeOf(quint16 sequence) const;
    void setOutcome(quint16 sequence, Outcome outcome);
    // Whether the event arrived later than the time-out after the request in flight.
    bool receivedAfterTimeout(const ProbeEvent &event) const;
    static qint64 saneRoundTripNs(const Request &request, const ProbeEvent &reply, qint64 nowMonotonicNs);

    PingSettings m_settings;
    Target m_target;
    quint16 m_identifier;
    quint64 m_payloadSeed;
    bool m_ended = false;
    quint16 m_nextSequence = 1;
    qint64 m_requestsSent = 0;
    std::optional<Request> m_inFlight;
    std::optional<Request> m_lastCompleted;
    RunStatistics m_statistics;
    RunHistory m_history;
    // Two bits of outcome per 16-bit sequence number: 16 KiB for any run length.
    // A continuous run wraps around; a sequence is cleared when it is reused.
    std::unique_ptr<std::bitset<65536>> m_replied = std::make_unique<std::bitset<65536>>();
    std::unique_ptr<std::bitset<65536>> m_lost = std::make_unique<std::bitset<65536>>();
};
