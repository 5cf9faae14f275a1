#pragma once

#include <QString>
#include <QtGlobal>

struct sockaddr;

// The address families a ping can use.
enum class IpFamily { Unknown, IPv4, IPv6, Any };

// The sixteen bytes of an IPv6 address, in network order.
struct Ipv6Bytes
{
    quint8 c[16] = {};
    quint8 operator[](int i) const { return c[i]; }
    quint8 &operator[](int i) { return c[i]; }
};

// An IPv4 or IPv6 address, with the zone of a link-local IPv6 address. A
// small value type of our own: the network module's address class would pull
// a proxy and authentication stack into every program that pings.
class HostAddress
{
public:
    HostAddress() = default;
    // In host byte order.
    explicit HostAddress(quint32 ipv4);
    // Sixteen bytes in network order.
    explicit HostAddress(const quint8 *ipv6);
    explicit HostAddress(const Ipv6Bytes &ipv6) : HostAddress(ipv6.c) {}
    // A literal address: a dotted quad, or IPv6 with an optional "%zone";
    // anything else gives a null address.
    explicit HostAddress(const QString &text);

    // From a socket address (AF_INET or AF_INET6; the zone from its scope id);
    // false and a null address for anything else.
    explicit HostAddress(const sockaddr *address) { setAddress(address); }
    bool setAddress(const sockaddr *address);

    IpFamily protocol() const { return m_family; }
    bool isNull() const { return m_family == IpFamily::Unknown; }
    bool isLoopback() const;

    // The IPv4 address in host byte order; 0 for IPv6.
    quint32 toIPv4Address() const { return m_family == IpFamily::IPv4 ? m_ipv4 : 0; }
    Ipv6Bytes toIPv6Address() const { return m_ipv6; }

    // The zone of an IPv6 address: an interface name or number; may be empty.
    QString scopeId() const { return m_scopeId; }
    void setScopeId(const QString &scopeId);

    // "10.0.0.1", "fe80::1%eth0" (RFC 5952 form); empty for a null address.
    QString toString() const;

    friend bool operator==(const HostAddress &a, const HostAddress &b);
    friend bool operator!=(const HostAddress &a, const HostAddress &b) { return !(a == b); }

private:
    IpFamily m_family = IpFamily::Unknown;
    quint32 m_ipv4 = 0;
    Ipv6Bytes m_ipv6;
    QString m_scopeId;
};
