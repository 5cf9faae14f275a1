#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

#include <sys/socket.h>
#include <tarvix/tarvixpingexport.h>

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
// a proxy and authentication stack into every program that pings. It owns
// every conversion: from and to text, from and to socket addresses, so that
// no other code handles a sockaddr's bytes.
class TARVIX_PING_EXPORT HostAddress
{
public:
    HostAddress() = default;
    // In host byte order.
    explicit HostAddress(quint32 ipv4);
    // Sixteen bytes in network order.
    explicit HostAddress(const quint8 *ipv6);
    explicit HostAddress(const Ipv6Bytes &ipv6) : HostAddress(ipv6.c) {}
    // Sixteen bytes in network order, in the zone of an interface index as the
    // kernel gives one (0 for none), named as fromSockaddr names it.
    HostAddress(const quint8 *ipv6, unsigned scopeIndex);
    // A literal address in its plain form: a dotted quad, or IPv6 with an
    // optional "%zone" (any zone); anything else gives a null address.
    explicit HostAddress(const QString &text);

    // A literal as people type or paste one: blanks around it, an IPv6
    // address in brackets as in URLs ("[fe80::1%eth0]"). Strict: "127.1" or
    // "0x7f.0.0.1", which the C library would quietly read as some other
    // address, are no literals; nor is a zone that names no interface of this
    // host (sending there would fail anyway).
    static std::optional<HostAddress> fromUserText(const QString &text);
    // The IPv4 address that the C library's inet_aton, and so other ping
    // tools, would read from text that fromUserText() refuses: a shortened
    // ("127.1"), numeric ("2130706433"), octal ("010.0.0.1") or hexadecimal
    // ("0x7f.0.0.1") form. Nothing for any other text, blanks around it aside.
    static std::optional<HostAddress> fromShorthandIpv4(const QString &text);

    // From a socket address of that length (AF_INET or AF_INET6; the zone
    // from its scope id, as the interface's name where it exists, else as its
    // number); a null address for anything else or a length too short.
    static HostAddress fromSockaddr(const sockaddr *address, size_t length);
    // The socket address for this address (port 0, the zone as scope id).
    // Gives 0 and leaves storage zeroed for a null address, and for a zone
    // that names no interface.
    socklen_t toSockaddr(sockaddr_storage &storage) const;
    // The port of an AF_INET or AF_INET6 socket address of that length, in
    // host order (an ICMP datagram socket's echo identifier); 0 for anything
    // else or a length too short.
    static quint16 portOfSockaddr(const sockaddr *address, size_t length);

    IpFamily protocol() const { return m_family; }
    bool isNull() const { return m_family == IpFamily::Unknown; }
    bool isLoopback() const;
    // 224.0.0.0/4, ff00::/8: every member of the group answers.
    bool isMulticast() const;
    // 0.0.0.0 or ::, which the kernel sends to this host.
    bool isUnspecified() const;
    // 255.255.255.255. A subnet's broadcast address only the routing table knows.
    bool isLimitedBroadcast() const;

    // The IPv4 address in host byte order; 0 for IPv6.
    quint32 toIPv4Address() const { return m_family == IpFamily::IPv4 ? m_ipv4 : 0; }
    Ipv6Bytes toIPv6Address() const { return m_ipv6; }

    // The zone of an IPv6 address: an interface name or number; may be empty.
    QString scopeId() const { return m_scopeId; }
    void setScopeId(const QString &scopeId);
    // The interface the zone names; 0 for none, or for no such interface.
    unsigned scopeIndex() const;

    // "10.0.0.1", "fe80::1%eth0" (RFC 5952 form); empty for a null address.
    QString toString() const;

    // The same family and address, whatever the zones say: the kernel names
    // the zone of a link-local reply by number where the user typed an
    // interface name, and a quoted IP header carries no zone at all.
    bool matches(const HostAddress &other) const;
    // The same family, address and zone, as written.
    friend bool operator==(const HostAddress &a, const HostAddress &b);
    friend bool operator!=(const HostAddress &a, const HostAddress &b) { return !(a == b); }

private:
    static std::optional<HostAddress> parse(const QString &text);

    IpFamily m_family = IpFamily::Unknown;
    quint32 m_ipv4 = 0;
    Ipv6Bytes m_ipv6;
    QString m_scopeId;
};
