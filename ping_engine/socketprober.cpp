#include "socketprober.h"

#include "echofilter.h"
#include "icmpfamily.h"
#include "icmpmessage.h"
#include "icmptypes.h"
#include "replyparser.h"

#include <QRandomGenerator>
#include <QVarLengthArray>

#include <cerrno>
#include <sys/socket.h>

namespace {

// The kernel's software timestamps of both ends (Icmp::TimestampingFlags);
// receive stamps alone on a kernel that refuses them.
const IcmpFamily::Option Timestamping{SOL_SOCKET, SO_TIMESTAMPING, "SO_TIMESTAMPING"};
const IcmpFamily::Option ReceiveTimestamps{SOL_SOCKET, SO_TIMESTAMPNS, "SO_TIMESTAMPNS"};

// Without the filter nothing is lost but time: the parser checks the
// identifier again. So a refusal is not an error.
void attachIdentifierFilter(IcmpSocket &socket, Icmp::Family family, quint16 identifier)
{
    Icmp::EchoIdentifierFilter filter(family, identifier);
    const sock_fprog program = filter.program();
    socket.setOption(SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

} // namespace

SocketProber::SocketProber(const IcmpFamily &family, IcmpSocket socket, SocketKind kind, quint16 identifier,
                           bool sendStamps)
    : m_family(family)
    , m_socket(std::move(socket))
    , m_kind(kind)
    , m_identifier(identifier)
    , m_sendStamps(sendStamps)
{
}

SocketProber::Opened SocketProber::open(IpFamily family, SocketKind kind)
{
    const IcmpFamily *table = IcmpFamily::of(family);
    if (!table)
        return Opened::failure({EAFNOSUPPORT});
    if (kind == SocketKind::Helper)
        return Opened::failure({EINVAL}); // the helper's sockets are the helper's
    const bool raw = kind == SocketKind::Raw;
    IcmpSocket::Opened opened = IcmpSocket::open(table->domain, raw ? SOCK_RAW : SOCK_DGRAM, table->protocol);
    if (!opened)
        return Opened::failure(opened.error());
    IcmpSocket socket = std::move(opened).value();

    quint16 identifier = 0;
    if (raw) {
        identifier = quint16(QRandomGenerator::global()->bounded(1, 0x10000));
        attachIdentifierFilter(socket, *IcmpBridge::family(family), identifier);
    } else {
        const auto bound = socket.bindToAnyPort(family);
        if (!bound)
            return Opened::failure(bound.error());
        identifier = bound.value();
    }

    struct Setting
    {
        const IcmpFamily::Option *option;
        const void *value;
        unsigned length;
    };
    const int on = 1;
    const bool sendStamps = socket.setOption(Timestamping.level, Timestamping.name, Icmp::TimestampingFlags);
    const Icmp::TypeFilter types = Icmp::TypeFilter::of(*IcmpBridge::family(family));
    QVarLengthArray<Setting, 4> settings;
    if (!sendStamps)
        settings.append({&ReceiveTimestamps, &on, sizeof on});
    for (const IcmpFamily::Option &option : table->receiveOptions) {
        if (!(raw && option.datagramOnly))
            settings.append({&option, &on, sizeof on});
    }
    if (raw)
        settings.append({&table->typeFilter, types.blocked, unsigned(types.size)});
    for (const Setting &setting : settings) {
        if (!socket.setOption(setting.option->level, setting.option->name, setting.value, setting.length))
            return Opened::failure({errno, setting.option->label});
    }
    return std::unique_ptr<SocketProber>(new SocketProber(*table, std::move(socket), kind, identifier, sendStamps));
}

IpFamily SocketProber::family() const
{
    return m_family.family;
}

bool SocketProber::setHopLimit(int hops)
{
    if (hops < 1 || hops > 255)
        return false;
    // Multicast has a hop limit of its own, 1 unless set.
    return m_socket.setOption(m_family.hopLimit.level, m_family.hopLimit.name, hops)
        && m_socket.setOption(m_family.multicastHopLimit.level, m_family.multicastHopLimit.name, hops);
}

bool SocketProber::setBroadcast(bool on)
{
    return m_socket.setOption(SOL_SOCKET, SO_BROADCAST, on ? 1 : 0);
}

SendResult SocketProber::send(const HostAddress &target, quint16 sequence, const QByteArray &payload)
{
    if (target.protocol() != m_family.family) {
        SendResult refused;
        refused.errnoValue = EAFNOSUPPORT;
        return refused;
    }
    // On a datagram socket the kernel puts in its own identifier and checksum.
    const IcmpMessage request = IcmpMessage::echo(Icmp::echoRequestType(*IcmpBridge::family(m_family.family)),
                                                  m_identifier, sequence, payload);
    // The kernel sends to :: as to ::1 from raw sockets (and 0.0.0.0 to this
    // host from both kinds), but not from ICMPv6 datagram sockets: the same here.
    const bool unspecified6 = m_kind == SocketKind::Datagram && target.protocol() == IpFamily::IPv6
        && target.isUnspecified();
    const SendResult sent = m_socket.sendTo(unspecified6 ? HostAddress(QStringLiteral("::1")) : target,
                                            m_family.checksumIsOurs ? request.encodeWithChecksum() : request.encode());
    if (sent.ok)
        m_stampKeys.sent(sequence);
    else
        m_stampKeys.sendFailed();
    return sent;
}

std::optional<quint16> SocketProber::identifierToCheck() const
{
    if (m_kind == SocketKind::Datagram)
        return std::nullopt;
    return m_identifier;
}

std::optional<ProbeEvent> SocketProber::receive()
{
    return m_socket.readEvent([this](const IcmpSocket::Datagram &datagram, IcmpSocket::Queue queue) {
        return parse(datagram, queue);
    });
}

std::optional<ProbeEvent> SocketProber::parse(const IcmpSocket::Datagram &datagram, IcmpSocket::Queue queue)
{
    if (queue == IcmpSocket::Queue::Data) {
        if (m_kind == SocketKind::Raw)
            return ReplyParser::parseRawRead(m_family.family, datagram.bytes, datagram.address,
                                             datagram.control.hopLimit, m_identifier);
        return ReplyParser::parseIcmpMessage(m_family.family, datagram.bytes, datagram.address,
                                             datagram.control.hopLimit, std::nullopt);
    }
    const std::optional<Icmp::ErrorQueueEntry> &error = datagram.control.error;
    if (!error)
        return std::nullopt;
    if (error->origin == Icmp::ErrorQueueEntry::OriginTimestamping)
        return sendStamp(datagram);
    // A raw socket also receives every ICMP error as an ordinary message,
    // which the data queue has already given; only the local stack's own
    // reports are news here.
    if (m_kind == SocketKind::Raw && error->origin != Icmp::ErrorQueueEntry::OriginLocal)
        return std::nullopt;
    return ReplyParser::parseErrorQueueEntry(m_family.family, *error, datagram.bytes, datagram.address,
                                             identifierToCheck());
}

std::optional<ProbeEvent> SocketProber::sendStamp(const IcmpSocket::Datagram &datagram)
{
    if (!datagram.control.isSendStamp())
        return std::nullopt;
    const std::optional<quint16> sequence = m_stampKeys.sequenceOf(datagram.control.error->data);
    if (!sequence)
        return std::nullopt;
    ProbeEvent stamp;
    stamp.kind = ProbeEvent::Kind::SendStamp;
    stamp.identifier = m_identifier;
    stamp.sequence = *sequence;
    stamp.sentNs = datagram.receivedNs;
    return stamp;
}
