#pragma once

#include "address.h"
#include "hostaddress.h"
#include "icmpheader.h"
#include "icmptypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <span>

// The engine's Qt view of icmp/'s wire formats, which do the encoding and
// parsing: its message types under their short names, a message with its body
// as a QByteArray, and the conversions between icmp/'s bytes and addresses and
// the engine's own.
namespace Icmp4 = Icmp::V4;
namespace Icmp6 = Icmp::V6;

// One ICMP or ICMPv6 message: the 8-byte header (Icmp::Header) and what
// follows it.
class IcmpMessage
{
public:
    static constexpr qsizetype HeaderSize = Icmp::Header::Size;

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

namespace IcmpBridge {

// The bytes of a Qt byte array as icmp/ reads them, and back.
inline std::span<const std::uint8_t> bytes(QByteArrayView view)
{
    return {reinterpret_cast<const std::uint8_t *>(view.data()), std::size_t(view.size())};
}

inline QByteArray toByteArray(std::span<const std::uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

// Nothing for a family without ICMP echo.
std::optional<Icmp::Family> family(IpFamily family);
// The address with its zone named as HostAddress::fromSockaddr names it.
HostAddress toHostAddress(const Icmp::Address &address);
HostAddress toHostAddress(const std::optional<Icmp::Address> &address);
// Nothing for a null address.
std::optional<Icmp::Address> toAddress(const HostAddress &address);

} // namespace IcmpBridge
