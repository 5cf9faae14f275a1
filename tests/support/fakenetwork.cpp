#include "fakenetwork.h"

#include "icmpmessage.h"

#include <cerrno>

#include <sys/eventfd.h>
#include <unistd.h>

class FakeNetwork::Probe final : public Prober
{
public:
    explicit Probe(FakeNetwork &network) : m_network(network)
    {
        ++m_network.m_open;
        ++m_network.m_opened;
    }
    ~Probe() override { --m_network.m_open; }

    IpFamily family() const override { return m_network.m_family; }
    SocketKind socketKind() const override { return m_network.m_kind; }
    int descriptor() const override { return m_network.m_eventFd; }
    quint16 identifier() const override { return m_network.m_identifier; }
    bool asksForSendStamps() const override { return m_sendStamps; }

    bool isReady() const override { return m_ready; }
    TargetKind targetKind(const HostAddress &) const override { return m_network.m_targetKind; }
    qint64 minimumIntervalNs(TargetKind) const override { return m_network.m_minimumIntervalNs; }
    QString silenceReason(bool starting) const override
    {
        return starting ? QStringLiteral("silent while starting") : QStringLiteral("silent about a send");
    }

    bool setBroadcast(bool on) override
    {
        m_network.m_broadcast = on;
        return true;
    }

    bool setHopLimit(int hops) override
    {
        if (m_network.m_hopLimitRefused || hops < 1 || hops > 255)
            return false;
        m_hopLimit = hops;
        return true;
    }

    SendResult send(const HostAddress &target, quint16 sequence, const QByteArray &payload) override
    {
        SendResult result;
        const ClockReading at = m_network.m_clock.now();
        result.sentRealtimeNs = at.realtimeNs;
        result.sentMonotonicNs = at.monotonicNs;
        if (m_network.m_failingSends > 0) {
            --m_network.m_failingSends;
            result.errnoValue = m_network.m_sendErrno;
            return result;
        }
        if (target.protocol() != family()) {
            result.errnoValue = EAFNOSUPPORT;
            return result;
        }
        m_network.m_sent.append({target, sequence, payload, m_hopLimit, at});
        if (m_network.m_answer)
            m_network.m_answer(m_network.m_sent.last());
        result.ok = true;
        result.confirmed = !m_network.m_confirmLater;
        return result;
    }

    std::optional<ProbeEvent> receive() override
    {
        if (m_network.m_arrivals.empty()) {
            // Readable no more until something arrives.
            eventfd_t ignored = 0;
            eventfd_read(m_network.m_eventFd, &ignored);
            return std::nullopt;
        }
        ProbeEvent event = m_network.m_arrivals.front();
        m_network.m_arrivals.pop_front();
        if (event.kind == ProbeEvent::Kind::Ready)
            m_ready = true;
        return event;
    }

private:
    FakeNetwork &m_network;
    bool m_sendStamps = m_network.m_sendStamps;
    bool m_ready = !m_network.m_startLater;
    int m_hopLimit = 64;
};

FakeNetwork::FakeNetwork(FakeClock &clock, IpFamily family, Prober::SocketKind kind)
    : m_clock(clock), m_family(family), m_kind(kind), m_eventFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

FakeNetwork::~FakeNetwork()
{
    ::close(m_eventFd);
}

PingEngine::ProberOpener FakeNetwork::opener()
{
    return [this](IpFamily family, Prober::Preference) -> Prober::Opened {
        if (!m_refusal.isEmpty() || family != m_family)
            return Prober::Opened::failure(m_refusal.isEmpty() ? QStringLiteral("no socket of that family") : m_refusal);
        return std::make_unique<Probe>(*this);
    };
}

void FakeNetwork::failSends(int count, int errnoValue)
{
    m_failingSends = count;
    m_sendErrno = errnoValue;
}

void FakeNetwork::arrive(ProbeEvent event, qint64 receivedMonotonicNs)
{
    event.receivedMonotonicNs = receivedMonotonicNs;
    event.receivedNs = m_clock.wallClockAt(receivedMonotonicNs);
    event.kernelTimestamp = true;
    m_arrivals.push_back(event);
    eventfd_write(m_eventFd, 1);
}

ProbeEvent FakeNetwork::replyTo(const Sent &request) const
{
    ProbeEvent reply;
    reply.kind = ProbeEvent::Kind::EchoReply;
    reply.source = request.target;
    reply.identifier = m_identifier;
    reply.sequence = request.sequence;
    reply.payload = request.payload;
    reply.hopLimit = 57;
    return reply;
}

ProbeEvent FakeNetwork::sendStampOf(const Sent &request, qint64 sentMonotonicNs) const
{
    ProbeEvent stamp;
    stamp.kind = ProbeEvent::Kind::SendStamp;
    stamp.identifier = m_identifier;
    stamp.sequence = request.sequence;
    stamp.sentNs = m_clock.wallClockAt(sentMonotonicNs);
    return stamp;
}

ProbeEvent FakeNetwork::errorAbout(const Sent &request, quint8 type, quint8 code) const
{
    ProbeEvent error;
    error.kind = ProbeEvent::Kind::IcmpError;
    error.source = m_family == IpFamily::IPv4 ? HostAddress(QStringLiteral("192.0.2.254"))
                                              : HostAddress(QStringLiteral("2001:db8::fe"));
    error.identifier = m_identifier;
    error.sequence = request.sequence;
    error.icmpType = type;
    error.icmpCode = code;
    error.quotedDestination = request.target;
    error.quotedPayload = request.payload.left(8);
    return error;
}

void FakeNetwork::becomeReady()
{
    ProbeEvent ready;
    ready.kind = ProbeEvent::Kind::Ready;
    ready.identifier = m_identifier;
    arrive(ready, m_clock.monotonicNs());
}

void FakeNetwork::confirm(const Sent &request, qint64 sentMonotonicNs)
{
    ProbeEvent confirmed;
    confirmed.kind = ProbeEvent::Kind::SendConfirmed;
    confirmed.identifier = m_identifier;
    confirmed.sequence = request.sequence;
    confirmed.sentNs = m_clock.wallClockAt(sentMonotonicNs);
    confirmed.sentMonotonicNs = sentMonotonicNs;
    arrive(confirmed, m_clock.monotonicNs());
}

void FakeNetwork::refuseSend(const Sent &request, int errnoValue)
{
    ProbeEvent failed;
    failed.kind = ProbeEvent::Kind::SendFailed;
    failed.identifier = m_identifier;
    failed.sequence = request.sequence;
    failed.localErrno = errnoValue;
    arrive(failed, m_clock.monotonicNs());
}

void FakeNetwork::failProber(const QString &why)
{
    ProbeEvent failed;
    failed.kind = ProbeEvent::Kind::ProberFailed;
    failed.failure = why;
    arrive(failed, m_clock.monotonicNs());
}
