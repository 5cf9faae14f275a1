#pragma once

#include "hostaddress.h"
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// The fields of an IPv4 header (RFC 791) that a raw ICMP socket needs: where
// the ICMP message starts, who sent it and with what TTL it arrived.
class Ipv4Header
{
public:
    static constexpr qsizetype MinimumSize = 20;
    static constexpr quint8 ProtocolIcmp = 1;

    qsizetype headerLength = 0; // IHL * 4, between 20 and 60
    quint16 totalLength = 0;
    quint16 fragmentOffset = 0; // in 8-byte units; only the first fragment holds the ICMP header
    quint8 ttl = 0;
    quint8 protocol = 0;
    HostAddress source;
    HostAddress destination;

    // Never throws: anything but a well-formed IPv4 header gives nothing.
    static std::optional<Ipv4Header> parse(QByteArrayView bytes);
};
