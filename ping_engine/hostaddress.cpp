#include "hostaddress.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cctype>
#include <cstring>

namespace {

// Longer than any literal, with a zone of the longest interface name.
constexpr qsizetype MaxLiteralLength = 80;

// Interface names are bytes; they travel as the local 8-bit encoding both ways.
unsigned interfaceIndex(const QString &name)
{
    return if_nametoindex(name.toLocal8Bit().constData());
}

QString interfaceName(unsigned index)
{
    char name[IF_NAMESIZE] = {};
    return if_indextoname(index, name) ? QString::fromLocal8Bit(name) : QString::number(index);
}

} // namespace

HostAddress::HostAddress(quint32 ipv4) : m_family(IpFamily::IPv4), m_ipv4(ipv4)
{
}

HostAddress::HostAddress(const quint8 *ipv6) : m_family(IpFamily::IPv6)
{
    std::memcpy(m_ipv6.c, ipv6, sizeof m_ipv6.c);
}

HostAddress::HostAddress(const quint8 *ipv6, unsigned scopeIndex) : HostAddress(ipv6)
{
    if (scopeIndex != 0)
        m_scopeId = interfaceName(scopeIndex);
}

HostAddress::HostAddress(const QString &text)
{
    if (const std::optional<HostAddress> parsed = parse(text))
        *this = *parsed;
}

std::optional<HostAddress> HostAddress::parse(const QString &text)
{
    if (text.isEmpty() || text.size() > MaxLiteralLength || text.contains(QChar::Null))
        return std::nullopt;
    const qsizetype percent = text.indexOf(QLatin1Char('%'));
    const QByteArray bare = (percent < 0 ? text : text.left(percent)).toLatin1();
    // inet_pton accepts only the strict forms, unlike inet_aton.
    in_addr v4{};
    if (percent < 0 && inet_pton(AF_INET, bare.constData(), &v4) == 1)
        return HostAddress(ntohl(v4.s_addr));
    in6_addr v6{};
    if (inet_pton(AF_INET6, bare.constData(), &v6) != 1)
        return std::nullopt;
    HostAddress address(v6.s6_addr);
    if (percent >= 0) {
        address.m_scopeId = text.mid(percent + 1);
        if (address.m_scopeId.isEmpty())
            return std::nullopt; // "fe80::1%": a zone sign without a zone
    }
    return address;
}

std::optional<HostAddress> HostAddress::fromUserText(const QString &text)
{
    QString candidate = text.trimmed();
    // Brackets set IPv6 addresses apart in URLs; people paste them.
    const bool bracketed = candidate.startsWith(QLatin1Char('[')) && candidate.endsWith(QLatin1Char(']'));
    if (bracketed)
        candidate = candidate.mid(1, candidate.size() - 2);
    std::optional<HostAddress> address = parse(candidate);
    if (!address || (bracketed && address->protocol() != IpFamily::IPv6))
        return std::nullopt;
    if (!address->m_scopeId.isEmpty() && address->scopeIndex() == 0)
        return std::nullopt;
    return address;
}

std::optional<HostAddress> HostAddress::fromShorthandIpv4(const QString &text)
{
    const QString candidate = text.trimmed();
    if (candidate.isEmpty() || candidate.size() > MaxLiteralLength || fromUserText(candidate))
        return std::nullopt;
    // inet_aton also stops at a blank and ignores what follows it; only the
    // characters of its number forms are taken here.
    for (QChar c : candidate) {
        const char latin1 = c.toLatin1();
        if (c.unicode() > 0x7f || !(std::isxdigit(static_cast<unsigned char>(latin1)) || latin1 == '.'
                                    || latin1 == 'x' || latin1 == 'X'))
            return std::nullopt;
    }
    in_addr v4{};
    if (inet_aton(candidate.toLatin1().constData(), &v4) == 0)
        return std::nullopt;
    return HostAddress(ntohl(v4.s_addr));
}

HostAddress HostAddress::fromSockaddr(const sockaddr *address, size_t length)
{
    if (!address || length < sizeof(sa_family_t))
        return {};
    if (address->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        return HostAddress(ntohl(in.sin_addr.s_addr));
    }
    if (address->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        return HostAddress(in6.sin6_addr.s6_addr, in6.sin6_scope_id);
    }
    return {};
}

socklen_t HostAddress::toSockaddr(sockaddr_storage &storage) const
{
    storage = sockaddr_storage{};
    if (m_family == IpFamily::IPv4) {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(m_ipv4);
        return sizeof *in;
    }
    if (m_family == IpFamily::IPv6) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        std::memcpy(in6->sin6_addr.s6_addr, m_ipv6.c, sizeof m_ipv6.c);
        if (!m_scopeId.isEmpty()) {
            in6->sin6_scope_id = scopeIndex();
            if (in6->sin6_scope_id == 0) {
                storage = sockaddr_storage{};
                return 0;
            }
        }
        return sizeof *in6;
    }
    return 0;
}

quint16 HostAddress::portOfSockaddr(const sockaddr *address, size_t length)
{
    if (!address || length < sizeof(sa_family_t))
        return 0;
    if (address->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        return ntohs(in.sin_port);
    }
    if (address->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        return ntohs(in6.sin6_port);
    }
    return 0;
}

bool HostAddress::isLoopback() const
{
    if (m_family == IpFamily::IPv4)
        return (m_ipv4 >> 24) == 127;
    if (m_family == IpFamily::IPv6) {
        static const quint8 loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        return std::memcmp(m_ipv6.c, loopback, sizeof loopback) == 0;
    }
    return false;
}

bool HostAddress::isMulticast() const
{
    if (m_family == IpFamily::IPv4)
        return (m_ipv4 >> 28) == 0xe;
    return m_family == IpFamily::IPv6 && m_ipv6[0] == 0xff;
}

bool HostAddress::isUnspecified() const
{
    if (m_family == IpFamily::IPv4)
        return m_ipv4 == 0;
    if (m_family == IpFamily::IPv6) {
        static const quint8 unspecified[16] = {};
        return std::memcmp(m_ipv6.c, unspecified, sizeof unspecified) == 0;
    }
    return false;
}

bool HostAddress::isLimitedBroadcast() const
{
    return m_family == IpFamily::IPv4 && m_ipv4 == 0xffffffffu;
}

void HostAddress::setScopeId(const QString &scopeId)
{
    if (m_family == IpFamily::IPv6)
        m_scopeId = scopeId;
}

unsigned HostAddress::scopeIndex() const
{
    if (m_scopeId.isEmpty())
        return 0;
    bool isNumber = false;
    const unsigned index = m_scopeId.toUInt(&isNumber);
    return isNumber ? index : interfaceIndex(m_scopeId);
}

QString HostAddress::toString() const
{
    char text[INET6_ADDRSTRLEN];
    if (m_family == IpFamily::IPv4) {
        const in_addr v4{htonl(m_ipv4)};
        return QString::fromLatin1(inet_ntop(AF_INET, &v4, text, sizeof text));
    }
    if (m_family == IpFamily::IPv6) {
        in6_addr v6{};
        std::memcpy(v6.s6_addr, m_ipv6.c, sizeof m_ipv6.c);
        QString result = QString::fromLatin1(inet_ntop(AF_INET6, &v6, text, sizeof text));
        if (!m_scopeId.isEmpty())
            result += QLatin1Char('%') + m_scopeId;
        return result;
    }
    return {};
}

bool HostAddress::matches(const HostAddress &other) const
{
    if (m_family != other.m_family)
        return false;
    if (m_family == IpFamily::IPv4)
        return m_ipv4 == other.m_ipv4;
    if (m_family == IpFamily::IPv6)
        return std::memcmp(m_ipv6.c, other.m_ipv6.c, sizeof m_ipv6.c) == 0;
    return true;
}

bool operator==(const HostAddress &a, const HostAddress &b)
{
    return a.matches(b) && (a.m_family != IpFamily::IPv6 || a.m_scopeId == b.m_scopeId);
}
