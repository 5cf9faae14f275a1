#pragma once

#include "hostaddress.h"
#include "probeevent.h"
#include "receivedcontrol.h"

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// Turns what an ICMP socket read into an event about one of our own echo
// requests, or into nothing: icmp/'s parser of socket reads (packetparser.h),
// whose Reading comes back as a ProbeEvent. Pure functions over bytes: no
// sockets, never throws, any length of input is safe. The receive time is not
// the parser's business; the caller adds it.
class ReplyParser
{
public:
    // A datagram from a raw IPv4 socket, IP header included. The ICMP checksum
    // is verified here, since raw sockets also see corrupted packets. Echo
    // replies must carry identifier; errors must quote a request that does.
    static std::optional<ProbeEvent> parseIpv4Datagram(QByteArrayView datagram, quint16 identifier);

    // An ICMP or ICMPv6 message without IP header, as IPv4 datagram sockets and
    // all IPv6 sockets deliver it; the kernel has verified its checksum.
    // source and hopLimit come from recvmsg. identifier: what echo replies and
    // quoted requests must carry, or nothing where the kernel already chose the
    // socket by identifier (datagram sockets).
    static std::optional<ProbeEvent> parseIcmpMessage(IpFamily family, QByteArrayView message,
                                                      const HostAddress &source, int hopLimit,
                                                      std::optional<quint16> identifier);

    // What a raw socket of the family read (or what the ICMP helper passed
    // on from its own): an event about a request that carried identifier.
    // source and hopLimit come from recvmsg where the IP header does not.
    static std::optional<ProbeEvent> parseRawRead(IpFamily family, QByteArrayView bytes, const HostAddress &source,
                                                  int hopLimit, quint16 identifier);

    // An error-queue entry. originalRequest: the data the kernel returns with
    // it, which starts with the ICMP header of the request concerned, as far
    // as the error quoted it; requestDestination: the address the kernel gives
    // with it (msg_name), the destination of that request. Entries without
    // the request name no sequence and give nothing; Linux queues local errors
    // (EMSGSIZE) that way, and sendto reports those itself.
    static std::optional<ProbeEvent> parseErrorQueueEntry(IpFamily family, const Icmp::ErrorQueueEntry &entry,
                                                          QByteArrayView originalRequest,
                                                          const HostAddress &requestDestination,
                                                          std::optional<quint16> identifier);
};
