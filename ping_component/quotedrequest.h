#pragma once

#include "hostaddress.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// The echo request that an ICMP error quotes: the original IP header and at
// least the first 8 bytes of the original ICMP message (RFC 792, RFC 4443).
// That quote is what ties an error to one request of one run.
class QuotedRequest
{
public:
    HostAddress destination;
    quint16 identifier = 0;
    quint16 sequence = 0;
    // What the quote holds of the request's payload: often all of it (RFC 1812
    // routers quote up to 576 bytes, IPv6 up to 1280), nothing where only the
    // 8 bytes were quoted. Routers that add RFC 4884 extensions pad the quote
    // first, so bytes past the request's own payload mean nothing.
    QByteArray payload;

    // body: what follows the 8-byte header of an ICMP error. Gives nothing
    // unless the quote is an echo request of the given family.
    static std::optional<QuotedRequest> parse(IpFamily family, QByteArrayView body);
};
