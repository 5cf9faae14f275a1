#include "icmpprober.h"

#include "replyparser.h"

#include <QRandomGenerator>

#include <cerrno>
#include <linux/filter.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>

namespace {

// A raw ICMP socket gets a copy of every echo reply that reaches the host, so
// with many pings about each would wake for all of them. This classic BPF
// program lets through echo replies that carry our identifier and everything
// else the ICMP filter admits (the errors, which quote our requests and are
// matched later), and drops other programs' echo replies in the kernel.
// IPv4 raw sockets see the IP header first, whose length the program skips;
// IPv6 raw sockets start at the ICMPv6 header.
void attachIdentifierFilter(IcmpSocket &socket, int domain, quint16 identifier)
{
    const bool v4 = domain == AF_INET;
    const quint8 echoReply = v4 ? ICMP_ECHOREPLY : ICMP6_ECHO_REPLY;
    sock_filter program[] = {
        // X = offset of the ICMP header: 4 * (IHL) for IPv4, 0 for IPv6.
        v4 ? sock_filter BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0) : sock_filter BPF_STMT(BPF_LDX | BPF_IMM, 0),
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                 // A = type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, echoReply, 0, 3),  // not an echo reply: keep
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                 // A = identifier, in host order
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 1, 0), // ours: keep
        BPF_STMT(BPF_RET | BPF_K, 0),                          // someone else's reply: drop
        BPF_STMT(BPF_RET | BPF_K, 0xffffffff),                 // keep all of it
    };
    const sock_fprog filter{sizeof program / sizeof program[0], program};
    // Without the filter nothing is lost but time: the parser checks the
    // identifier again. So a refusal is not an error.
    socket.setOption(SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof filter);
}

} // namespace

IcmpProber::IcmpProber(IcmpSocket socket, SocketKind kind, quint16 identifier)
    : m_socket(std::move(socket))
    , m_kind(kind)
    , m_identifier(identifier)
{
}

std::optional<quint16> IcmpProber::identifierToCheck() const
{
    if (m_kind == SocketKind::Datagram)
        return std::nullopt;
    return m_identifier;
}

std::optional<ProbeEvent> IcmpProber::receive()
{
    return m_socket.readEvent([this](const IcmpSocket::Datagram &datagram, IcmpSocket::Queue queue) {
        if (queue == IcmpSocket::Queue::Data)
            return parseData(datagram);
        if (!datagram.error)
            return std::optional<ProbeEvent>();
        // A raw socket also receives every ICMP error as an ordinary message,
        // which the data queue has already given; only the local stack's own
        // reports are news here.
        if (m_kind == SocketKind::Raw && datagram.error->origin != ErrorQueueEntry::OriginLocal)
            return std::optional<ProbeEvent>();
        return ReplyParser::parseErrorQueueEntry(family(), *datagram.error, datagram.bytes, datagram.address,
                                                 identifierToCheck());
    });
}

bool IcmpProber::setHopLimitOption(int level, int name, int hops)
{
    if (hops < 1 || hops > 255)
        return false;
    return m_socket.setOption(level, name, hops);
}

IcmpSocket IcmpProber::openSocket(int domain, int protocol, SocketKind kind, quint16 *identifier,
                                  int *errnoValue, QString *failedStep)
{
    const int type = kind == SocketKind::Datagram ? SOCK_DGRAM : SOCK_RAW;
    IcmpSocket socket = IcmpSocket::open(domain, type, protocol, errnoValue);
    if (!socket.isOpen())
        return socket;
    if (kind == SocketKind::Raw) {
        *identifier = quint16(QRandomGenerator::global()->bounded(1, 0x10000));
        attachIdentifierFilter(socket, domain, *identifier);
        return socket;
    }

    const auto fail = [&](const char *step) {
        *errnoValue = errno;
        *failedStep = QString::fromLatin1(step);
        return IcmpSocket();
    };
    // A zeroed sockaddr_in or sockaddr_in6 is the wildcard address with port 0,
    // and both keep the port at the same place.
    sockaddr_storage address{};
    address.ss_family = sa_family_t(domain);
    const socklen_t length = domain == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    if (::bind(socket.descriptor(), reinterpret_cast<const sockaddr *>(&address), length) != 0)
        return fail("bind");
    socklen_t boundLength = sizeof address;
    if (::getsockname(socket.descriptor(), reinterpret_cast<sockaddr *>(&address), &boundLength) != 0)
        return fail("getsockname");
    *identifier = domain == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in *>(&address)->sin_port)
                                    : ntohs(reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port);
    return socket;
}

bool IcmpProber::setOptions(IcmpSocket &socket, std::initializer_list<SocketOption> options, int *errnoValue,
                            QString *failedStep)
{
    for (const SocketOption &option : options) {
        if (!socket.setOption(option.level, option.name, option.value, option.length)) {
            *errnoValue = errno;
            *failedStep = QString::fromLatin1(option.label);
            return false;
        }
    }
    return true;
}
