#pragma once

#include "hostaddress.h"
#include "ipheader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// The fixed IPv6 header (RFC 8200). Raw ICMPv6 sockets never see it for
// received packets; it matters inside ICMPv6 errors, which quote the packet
// that caused them. The engine's view of Icmp::Ipv6Header, which parses and
// encodes it, and walks the extension headers that may follow it.
class Ipv6Header
{
public:
    static constexpr qsizetype Size = Icmp::Ipv6Header::Size;
    static constexpr quint8 NextHeaderIcmpv6 = Icmp::Ipv6Header::NextHeaderIcmpv6;

    quint16 payloadLength = 0;
    quint8 nextHeader = 0;
    quint8 hopLimit = 0;
    HostAddress source;
    HostAddress destination;

    // Never throws: anything but a well-formed fixed header gives nothing.
    static std::optional<Ipv6Header> parse(QByteArrayView bytes);

    // The fixed header in network byte order, traffic class and flow label
    // zero: what an ICMPv6 error quotes of the packet that caused it.
    QByteArray encode() const;
};
