#pragma once

#include "fakeclock.h"
#include "pingengine.h"
#include "prober.h"

#include <QList>

#include <deque>
#include <functional>
#include <memory>

// The network a test's engine talks to, through probers that it opens:
// every request sent is recorded with its clock readings, and what the test
// makes arrive is read back in order. Arrivals wake the engine's socket
// notifier through a real eventfd, so they are read when the event loop
// runs; alarms fire only when the clock moves. No socket, no packet.
class FakeNetwork
{
public:
    struct Sent
    {
        HostAddress target;
        quint16 sequence = 0;
        QByteArray payload;
        int hopLimit = 0;
        ClockReading at;
    };

    FakeNetwork(FakeClock &clock, IpFamily family, Prober::SocketKind kind = Prober::SocketKind::Datagram);
    ~FakeNetwork();
    Q_DISABLE_COPY_MOVE(FakeNetwork)

    // For PingEngine's constructor. Opening fails, with this text, once refuse() was called.
    PingEngine::ProberOpener opener();

    void refuse(const QString &why) { m_refusal = why; }
    // The next count sends fail with errnoValue, as sendto does.
    void failSends(int count, int errnoValue);
    void refuseHopLimit() { m_hopLimitRefused = true; }
    // A near host: called inside each send that succeeds, once it is
    // recorded, so that what it makes arrive is in when the send returns.
    void answerSends(std::function<void(const Sent &request)> answer) { m_answer = std::move(answer); }
    // Whether probers opened from now on say they asked for transmit timestamps.
    void askForSendStamps(bool ask) { m_sendStamps = ask; }
    // As the ICMP helper's prober does: probers opened from now on are ready
    // only once a Ready event arrives (becomeReady()), and their sends are
    // confirmed only by a SendConfirmed or SendFailed event (confirm(), refuseSend()).
    void startLater(bool later) { m_startLater = later; }
    void confirmLater(bool later) { m_confirmLater = later; }
    // What probers say of destinations, and the shortest interval they serve.
    void setTargetKind(TargetKind kind) { m_targetKind = kind; }
    void setMinimumIntervalNs(qint64 ns) { m_minimumIntervalNs = ns; }
    // Whether the open prober was told to allow broadcast.
    bool broadcastAllowed() const { return m_broadcast; }

    // Whether a prober is open now, and how many were opened in all.
    bool isOpen() const { return m_open > 0; }
    int opened() const { return m_opened; }
    quint16 identifier() const { return m_identifier; }
    const QList<Sent> &sent() const { return m_sent; }

    // Something read from the socket, stamped by the kernel at a monotonic
    // instant (on the wall clock as it stood then: receivedNs and
    // receivedMonotonicNs as a socket read would give them).
    void arrive(ProbeEvent event, qint64 receivedMonotonicNs);
    // The echo reply to a request, from its target, with what it carried.
    ProbeEvent replyTo(const Sent &request) const;
    // The kernel's transmit timestamp of a request: sent at the monotonic
    // instant sentMonotonicNs, read from the error queue when arrive() says.
    ProbeEvent sendStampOf(const Sent &request, qint64 sentMonotonicNs) const;
    // An ICMP error from a router, quoting a request.
    ProbeEvent errorAbout(const Sent &request, quint8 type, quint8 code) const;
    // What a prober that starts later or confirms later reads, arrived now.
    void becomeReady();
    void confirm(const Sent &request, qint64 sentMonotonicNs);
    void refuseSend(const Sent &request, int errnoValue);
    void failProber(const QString &why);
    // What arrived and was not read yet.
    int unread() const { return int(m_arrivals.size()); }

private:
    class Probe;
    friend class Probe;

    FakeClock &m_clock;
    IpFamily m_family;
    Prober::SocketKind m_kind;
    quint16 m_identifier = 0x4d2e;
    int m_eventFd = -1;
    QString m_refusal;
    int m_failingSends = 0;
    int m_sendErrno = 0;
    bool m_hopLimitRefused = false;
    bool m_sendStamps = false;
    bool m_startLater = false;
    bool m_confirmLater = false;
    bool m_broadcast = false;
    TargetKind m_targetKind = TargetKind::Unicast;
    qint64 m_minimumIntervalNs = 0;
    int m_open = 0;
    int m_opened = 0;
    QList<Sent> m_sent;
    std::function<void(const Sent &request)> m_answer;
    std::deque<ProbeEvent> m_arrivals;
};
