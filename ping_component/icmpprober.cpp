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
