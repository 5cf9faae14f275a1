#pragma once

#include "hostaddress.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// The fixed IPv6 header (RFC 8200). Raw ICMPv6 sockets never see it for
// received packets; it matters inside ICMPv6 errors, which quote the packet
// that caused them.
class Ipv6Header
{
public:
    static constexpr qsizetype Size = 40;
    static constexpr quint8 NextHeaderIcmpv6 = 58;

    // Where the upper-layer header of a packet starts, past the extension
    // headers, and which protocol it is.
    struct UpperLayer
    {
        quint8 protocol = 0;
        qsizetype offset = 0; // from the start of the fixed header
    };

    quint16 payloadLength = 0;
    quint8 nextHeader = 0;
    quint8 hopLimit = 0;
    HostAddress source;
    HostAddress destination;

    // Never throws: anything but a well-formed fixed header gives nothing.
    static std::optional<Ipv6Header> parse(QByteArrayView bytes);

    // Walks the chain of extension headers after the fixed header (RFC 8200
    // section 4: hop-by-hop, routing, fragment, destination options, and the
    // authentication header of RFC 4302). A request larger than the path MTU
    // is sent in fragments, and an error about it quotes the first fragment,
    // with a fragment header before the ICMPv6 header. Gives nothing for a
    // packet cut short inside the chain, for a later fragment (the upper-layer
    // header is not in it) and for headers that cannot be walked (ESP).
    static std::optional<UpperLayer> findUpperLayer(QByteArrayView packet);

    // The fixed header in network byte order, traffic class and flow label
    // zero: what an ICMPv6 error quotes of the packet that caused it.
    QByteArray encode() const;
};
