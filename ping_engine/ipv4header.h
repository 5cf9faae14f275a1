#pragma once

#include "hostaddress.h"
#include "ipheader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// The fields of an IPv4 header (RFC 791) that a raw ICMP socket needs: where
// the ICMP message starts, who sent it and with what TTL it arrived. The
// engine's view of Icmp::Ipv4Header, which parses and encodes it.
class Ipv4Header
{
public:
    static constexpr qsizetype MinimumSize = Icmp::Ipv4Header::MinimumSize;
    static constexpr quint8 ProtocolIcmp = Icmp::Ipv4Header::ProtocolIcmp;

    qsizetype headerLength = 0; // IHL * 4, between 20 and 60
    quint16 totalLength = 0;
    quint16 fragmentOffset = 0; // in 8-byte units; only the first fragment holds the ICMP header
    quint8 ttl = 0;
    quint8 protocol = 0;
    HostAddress source;
    HostAddress destination;

    // The header of a datagram from source to destination that carries
    // icmpSize bytes of ICMP, with headerLength - 20 bytes of options.
    static Ipv4Header forIcmp(const HostAddress &source, const HostAddress &destination, quint8 ttl,
                              qsizetype icmpSize, qsizetype headerLength = MinimumSize);

    // Never throws: anything but a well-formed IPv4 header gives nothing.
    static std::optional<Ipv4Header> parse(QByteArrayView bytes);

    // As Icmp::Ipv4Header::encode: for test hosts and fuzz seeds.
    QByteArray encode() const;
};
