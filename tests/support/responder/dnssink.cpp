#include "dnssink.h"

#include "hostaddress.h"

#include <QtEndian>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr quint16 DnsPort = 53;
// RFC 1035 4.1.1: the fixed header ahead of the questions.
constexpr qsizetype HeaderSize = 12;
// RFC 1035 2.3.4: a name is at most 255 bytes on the wire.
constexpr qsizetype MaxNameBytes = 255;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

int openUdp(int family, QString *error)
{
    const int s = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) {
        *error = QStringLiteral("UDP socket: %1").arg(errnoText());
        return -1;
    }
    const int on = 1;
    int bound = -1;
    if (family == AF_INET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(DnsPort);
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        bound = ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address);
    } else {
        // IPv4 has a socket of its own.
        setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(DnsPort);
        address.sin6_addr = in6addr_any;
        bound = ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address);
    }
    if (bound < 0) {
        *error = QStringLiteral("binding UDP port %1 (IPv%2): %3")
                     .arg(DnsPort)
                     .arg(family == AF_INET ? 4 : 6)
                     .arg(errnoText());
        ::close(s);
        return -1;
    }
    return s;
}

} // namespace

DnsSink::~DnsSink()
{
    for (int s : {m_socket4, m_socket6}) {
        if (s >= 0)
            ::close(s);
    }
}

bool DnsSink::open(QString *error)
{
    m_socket4 = openUdp(AF_INET, error);
    if (m_socket4 < 0)
        return false;
    m_socket6 = openUdp(AF_INET6, error);
    return m_socket6 >= 0;
}

QList<int> DnsSink::descriptors() const
{
    if (m_socket4 < 0 || m_socket6 < 0)
        return {};
    return {m_socket4, m_socket6};
}

void DnsSink::drain(int descriptor)
{
    for (;;) {
        char data[4096];
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        const ssize_t length = ::recvfrom(descriptor, data, sizeof data, MSG_DONTWAIT,
                                          reinterpret_cast<sockaddr *>(&peer), &peerLength);
        if (length < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                std::fprintf(stderr, "dns sink: recvfrom: %s\n", qPrintable(errnoText()));
            return;
        }
        const QString from = HostAddress::fromSockaddr(reinterpret_cast<const sockaddr *>(&peer), peerLength).toString();
        std::fprintf(stderr, "dns query from %s %s answer=none\n", qPrintable(from),
                     qPrintable(describe(QByteArrayView(data, length))));
    }
}

QString DnsSink::describe(QByteArrayView query)
{
    if (query.size() < HeaderSize)
        return QStringLiteral("malformed (%1 bytes)").arg(query.size());
    const auto *bytes = reinterpret_cast<const uchar *>(query.data());
    const quint16 id = qFromBigEndian<quint16>(bytes);
    const quint16 questions = qFromBigEndian<quint16>(bytes + 4);
    QString text = QStringLiteral("id=%1").arg(id);
    if (questions == 0)
        return text + QStringLiteral(" no-question");

    // The first question: length-prefixed labels up to the empty root label,
    // then type and class.
    QString name;
    qsizetype at = HeaderSize;
    qsizetype nameBytes = 0;
    for (;;) {
        if (at >= query.size())
            return text + QStringLiteral(" malformed-name");
        const uchar length = bytes[at++];
        if (length == 0)
            break;
        // Queries carry no compression pointers (0xc0) nor other label kinds.
        nameBytes += length + 1;
        if (length > 63 || nameBytes > MaxNameBytes || at + length > query.size())
            return text + QStringLiteral(" malformed-name");
        if (!name.isEmpty())
            name += QLatin1Char('.');
        for (qsizetype i = at; i < at + length; ++i) {
            const uchar c = bytes[i];
            // Printable ASCII as it is, anything else as \DDD (RFC 1035 5.1).
            if (c > 0x20 && c < 0x7f && c != '\\' && c != '.')
                name += QLatin1Char(char(c));
            else
                name += QStringLiteral("\\%1").arg(c, 3, 10, QLatin1Char('0'));
        }
        at += length;
    }
    text += QStringLiteral(" name=%1").arg(name.isEmpty() ? QStringLiteral(".") : name);
    if (at + 4 > query.size())
        return text + QStringLiteral(" malformed-question");
    return text + QStringLiteral(" type=%1").arg(qFromBigEndian<quint16>(bytes + at));
}
