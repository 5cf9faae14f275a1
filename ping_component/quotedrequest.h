#pragma once

#include "hostaddress.h"
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

    // body: what follows the 8-byte header of an ICMP error. Gives nothing
    // unless the quote is an echo request of the given family.
    static std::optional<QuotedRequest> parse(IpFamily family, QByteArrayView body);
};
