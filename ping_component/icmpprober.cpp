#include "icmpprober.h"

#include "echofilter.h"
#include "replyparser.h"

#include <QRandomGenerator>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// Without the filter nothing is lost but time: the parser checks the
// identifier again. So a refusal is not an error.
void attachIdentifierFilter(IcmpSocket &socket, int domain, quint16 identifier)
{
    EchoIdentifierFilter filter(domain == AF_INET, identifier);
    const sock_fprog program = filter.program();
    socket.setOption(SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
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

Result<IcmpProber::IdentifiedSocket, IcmpSocket::Failure> IcmpProber::openSocket(IpFamily family, int protocol,
                                                                                  SocketKind kind)
{
    using Opened = Result<IdentifiedSocket, IcmpSocket::Failure>;
    const int domain = family == IpFamily::IPv4 ? AF_INET : AF_INET6;
    const int type = kind == SocketKind::Datagram ? SOCK_DGRAM : SOCK_RAW;
    IcmpSocket::Opened opened = IcmpSocket::open(domain, type, protocol);
    if (!opened)
        return Opened::failure(opened.error());
    IcmpSocket socket = std::move(opened).value();
    if (kind == SocketKind::Raw) {
        const quint16 identifier = quint16(QRandomGenerator::global()->bounded(1, 0x10000));
        attachIdentifierFilter(socket, domain, identifier);
        return IdentifiedSocket{std::move(socket), identifier};
    }
    const Result<quint16, IcmpSocket::Failure> bound = socket.bindToAnyPort(family);
    if (!bound)
        return Opened::failure(bound.error());
    return IdentifiedSocket{std::move(socket), bound.value()};
}

std::optional<IcmpSocket::Failure> IcmpProber::setOptions(IcmpSocket &socket,
                                                          std::initializer_list<SocketOption> options)
{
    for (const SocketOption &option : options) {
        if (!socket.setOption(option.level, option.name, option.value, option.length))
            return IcmpSocket::Failure{errno, option.label};
    }
    return std::nullopt;
}
