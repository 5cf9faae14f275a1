#pragma once

#include "hostaddress.h"
#include <QByteArray>
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

    // The header of a datagram from source to destination that carries
    // icmpSize bytes of ICMP, with headerLength - 20 bytes of options.
    static Ipv4Header forIcmp(const HostAddress &source, const HostAddress &destination, quint8 ttl,
                              qsizetype icmpSize, qsizetype headerLength = MinimumSize);

    // Never throws: anything but a well-formed IPv4 header gives nothing.
    static std::optional<Ipv4Header> parse(QByteArrayView bytes);

    // The header in network byte order: IHL from headerLength (in whole words,
    // 20 to 60 bytes); options, type of service, identification, fragment
    // fields and header checksum zero. Our sockets never send an IP header of
    // their own and nothing we read checks its checksum (the kernel did), so
    // this is for test hosts and fuzz seeds.
    QByteArray encode() const;
};
