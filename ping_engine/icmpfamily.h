#pragma once

#include "hostaddress.h"

#include <QtGlobal>

// What sets ICMP echo over IPv4 apart from ICMPv6 on Linux sockets, as data:
// one constant table per family, which the socket prober follows for either
// kind of socket. Everything else about the two is the same.
struct IcmpFamily
{
    // One setsockopt; label names it in error texts.
    struct Option
    {
        int level = 0;
        int name = 0;
        const char *label = "";
        // Left out on raw sockets: their reads carry the IP header, which
        // holds the same (the TTL of raw IPv4).
        bool datagramOnly = false;
    };

    IpFamily family;
    // socket(domain, SOCK_DGRAM or SOCK_RAW, protocol)
    int domain;
    int protocol;
    // "ICMP" or "ICMPv6", as error texts name the socket.
    const char *protocolName;

    // Outgoing TTL (IP_TTL) or unicast hop limit (IPV6_UNICAST_HOPS), and
    // their multicast counterparts (IP_MULTICAST_TTL, IPV6_MULTICAST_HOPS).
    Option hopLimit;
    Option multicastHopLimit;
    // Set after the timestamp option, in this order: the error queue's reports
    // (IP_RECVERR, IPV6_RECVERR) and each read's TTL or hop limit
    // (IP_RECVTTL, IPV6_RECVHOPLIMIT), as the family lists them.
    Option receiveOptions[2];

    // Raw sockets only: the option that says which ICMP types get through
    // (Icmp::TypeFilter gives its value).
    Option typeFilter;

    // IPv4's checksum is ours to compute (the kernel overwrites it on datagram
    // sockets). ICMPv6's covers a pseudo-header that only the kernel knows, so
    // it fills in the checksum of ICMPv6 sockets of both kinds itself.
    bool checksumIsOurs;

    // The table of a family; nothing for one without ICMP echo.
    static const IcmpFamily *of(IpFamily family);
};
