#pragma once

#include <QByteArray>
#include <QtGlobal>

// How the packet fuzzers read their input; the seed writer writes the same.
namespace FuzzInput {

// The identifier of our own requests wherever the parser is given one.
constexpr quint16 Identifier = 0x5a17;

// fuzz_reply_parser: [way][what the socket read]. The way's low two bits pick
// the socket; raw sockets pass our identifier, datagram sockets none (the
// kernel has matched it already).
enum ReplyWay : quint8 {
    RawIpv4 = 0,      // a whole IPv4 datagram, IP header included
    DatagramIpv4 = 1, // an ICMP message
    RawIpv6 = 2,      // an ICMPv6 message
    DatagramIpv6 = 3, // an ICMPv6 message
};
constexpr quint8 ReplyWayMask = 0x03;
// Raw IPv4: leave the ICMP checksum as it is. Without this bit the target
// fills it in, since a mutated packet almost never carries a right one.
constexpr quint8 KeepChecksum = 0x80;

// fuzz_icmp_error: [way][origin][type][code][info, 4 bytes big-endian][rest].
// For error-queue entries the rest is the original request the kernel returns
// with them, origin to info the entry's fields. For the other ways the target
// builds an ICMP error of that type, code and rest-of-header whose body is the
// rest (the quote), and hands it over as the socket would.
enum ErrorWay : quint8 {
    QueueIpv4 = 0,
    QueueIpv6 = 1,
    ErrorInRawIpv4 = 2,  // inside an IPv4 datagram with its header, checksum filled in
    ErrorInIpv4 = 3,     // as an IPv4 datagram socket reads it
    ErrorInIpv6 = 4,     // as an IPv6 socket reads it
};
constexpr int ErrorWays = 5; // the way is (first byte & 0x7f) % ErrorWays
constexpr quint8 NoIdentifier = 0x80;  // as from a datagram socket
constexpr int ErrorPrefixSize = 8;

// fuzz_icmp_helper: [way][bytes], the way being first byte % HelperWays.
// A request is one message on the helper's request channel. A packet is what
// the helper's raw sockets read, checked against the requests its filter
// remembers: sequences 1 and 2 to HelperTarget4 / HelperTarget6, and sequence
// 3 to HelperBroadcast4 / ff02::1, which any host may answer, each with the
// payload helperPayload() gives. IPv6 packets start with the 16 bytes of the
// sender's address.
enum HelperWay : quint8 {
    HelperRequest = 0,
    HelperIpv4Datagram = 1, // IP header included
    HelperIpv6Message = 2,
};
constexpr int HelperWays = 3;
constexpr quint32 HelperTarget4 = 0xc0000264;    // 192.0.2.100
constexpr quint32 HelperBroadcast4 = 0xc00002ff; // 192.0.2.255
constexpr char HelperTarget6[] = "2001:db8::64";
constexpr char HelperMulticast6[] = "ff02::1";

// The pattern of a remembered request's payload (16 bytes), and the payload:
// sequence 2's pattern repeated to 21 bytes, the others' to 40.
inline QByteArray helperPattern(quint16 sequence)
{
    return QByteArray(sequence == 2 ? "fedcba9876543210" : "0123456789abcdef");
}

inline QByteArray helperPayload(quint16 sequence)
{
    return helperPattern(sequence).repeated(3).left(sequence == 2 ? 21 : 40);
}

} // namespace FuzzInput
