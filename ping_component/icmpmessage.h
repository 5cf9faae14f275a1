#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// ICMPv4 message types this program sends or understands (RFC 792).
namespace Icmp4 {
enum Type : quint8 {
    EchoReply = 0,
    DestinationUnreachable = 3,
    SourceQuench = 4,
    Redirect = 5,
    EchoRequest = 8,
    TimeExceeded = 11,
    ParameterProblem = 12,
};
}

// ICMPv6 message types (RFC 4443). Errors are below 128, informational messages above.
namespace Icmp6 {
enum Type : quint8 {
    DestinationUnreachable = 1,
    PacketTooBig = 2,
    TimeExceeded = 3,
    ParameterProblem = 4,
    EchoRequest = 128,
    EchoReply = 129,
};
}

// One ICMP or ICMPv6 message: the 8-byte header and what follows it. Both
// versions share this layout; for echo messages the four "rest of header"
// bytes hold the identifier and the sequence number, for errors they are
// unused (or hold the MTU or pointer) and the body quotes the offending packet.
class IcmpMessage
{
public:
    static constexpr qsizetype HeaderSize = 8;

    quint8 type = 0;
    quint8 code = 0;
    quint16 checksum = 0;
    quint32 restOfHeader = 0;
    QByteArray body;

    static IcmpMessage echo(quint8 type, quint16 identifier, quint16 sequence, const QByteArray &payload);

    quint16 identifier() const { return quint16(restOfHeader >> 16); }
    quint16 sequence() const { return quint16(restOfHeader & 0xffff); }

    // Header and body in network byte order, with the checksum field as it stands.
    QByteArray encode() const;
    // The same with the ICMPv4 checksum filled in. ICMPv6 checksums cover a
    // pseudo-header that only the kernel knows, so it computes them itself.
    QByteArray encodeWithChecksum() const;

    // Never throws: a buffer too short for the header gives no message.
    static std::optional<IcmpMessage> decode(QByteArrayView bytes);

    friend bool operator==(const IcmpMessage &, const IcmpMessage &) = default;
};
