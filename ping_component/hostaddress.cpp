#include "hostaddress.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstring>

HostAddress::HostAddress(quint32 ipv4) : m_family(IpFamily::IPv4), m_ipv4(ipv4)
{
}

HostAddress::HostAddress(const quint8 *ipv6) : m_family(IpFamily::IPv6)
{
    std::memcpy(m_ipv6.c, ipv6, sizeof m_ipv6.c);
}

HostAddress::HostAddress(const QString &text)
{
    const QByteArray latin = text.toLatin1();
    if (latin.isEmpty() || latin.size() > 80 || text.contains(QChar::Null))
        return;
    in_addr v4{};
    if (inet_pton(AF_INET, latin.constData(), &v4) == 1) {
        *this = HostAddress(ntohl(v4.s_addr));
        return;
    }
    const qsizetype percent = latin.indexOf('%');
    const QByteArray bare = percent < 0 ? latin : latin.left(percent);
    in6_addr v6{};
    if (inet_pton(AF_INET6, bare.constData(), &v6) != 1)
        return;
    if (percent >= 0 && percent + 1 == latin.size())
        return; // "fe80::1%": a zone sign without a zone
    *this = HostAddress(v6.s6_addr);
    if (percent >= 0)
        m_scopeId = QString::fromLatin1(latin.mid(percent + 1));
}

bool HostAddress::setAddress(const sockaddr *address)
{
    *this = HostAddress();
    if (!address)
        return false;
    if (address->sa_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        *this = HostAddress(ntohl(in.sin_addr.s_addr));
        return true;
    }
    if (address->sa_family == AF_INET6) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        *this = HostAddress(in6.sin6_addr.s6_addr);
        if (in6.sin6_scope_id != 0) {
            char name[IF_NAMESIZE];
            m_scopeId = if_indextoname(in6.sin6_scope_id, name) ? QString::fromLatin1(name)
                                                                : QString::number(in6.sin6_scope_id);
        }
        return true;
    }
    return false;
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

void HostAddress::setScopeId(const QString &scopeId)
{
    if (m_family == IpFamily::IPv6)
        m_scopeId = scopeId;
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

bool operator==(const HostAddress &a, const HostAddress &b)
{
    if (a.m_family != b.m_family)
        return false;
    if (a.m_family == IpFamily::IPv4)
        return a.m_ipv4 == b.m_ipv4;
    if (a.m_family == IpFamily::IPv6)
        return std::memcmp(a.m_ipv6.c, b.m_ipv6.c, sizeof a.m_ipv6.c) == 0 && a.m_scopeId == b.m_scopeId;
    return true;
}
