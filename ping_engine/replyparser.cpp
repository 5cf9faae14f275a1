#include "replyparser.h"

#include "icmpmessage.h"
#include "packetparser.h"

namespace {

std::optional<ProbeEvent> toEvent(const std::optional<Icmp::Reading> &reading)
{
    if (!reading)
        return std::nullopt;
    ProbeEvent event;
    switch (reading->kind) {
    case Icmp::Reading::Kind::EchoReply:
        event.kind = ProbeEvent::Kind::EchoReply;
        event.payload = IcmpBridge::toByteArray(reading->payload);
        break;
    case Icmp::Reading::Kind::IcmpError:
        event.kind = ProbeEvent::Kind::IcmpError;
        break;
    case Icmp::Reading::Kind::LocalError:
        event.kind = ProbeEvent::Kind::LocalError;
        break;
    }
    event.source = IcmpBridge::toHostAddress(reading->source);
    event.hopLimit = reading->hopLimit;
    event.identifier = reading->identifier;
    event.sequence = reading->sequence;
    if (event.kind != ProbeEvent::Kind::EchoReply) {
        event.icmpType = reading->type;
        event.icmpCode = reading->code;
        event.icmpInfo = reading->info;
        event.localErrno = reading->localErrno;
        event.quotedDestination = IcmpBridge::toHostAddress(reading->quotedDestination);
        event.quotedPayload = IcmpBridge::toByteArray(reading->payload);
    }
    return event;
}

// The sender as recvmsg named it, its zone included, where the bytes read
// do not name it (only an IPv4 datagram's header does).
std::optional<ProbeEvent> withSource(std::optional<ProbeEvent> event, const HostAddress &source)
{
    if (event && event->source.isNull())
        event->source = source;
    return event;
}

} // namespace

std::optional<ProbeEvent> ReplyParser::parseIpv4Datagram(QByteArrayView datagram, quint16 identifier)
{
    return toEvent(Icmp::parseIpv4Datagram(IcmpBridge::bytes(datagram), identifier));
}

std::optional<ProbeEvent> ReplyParser::parseIcmpMessage(IpFamily family, QByteArrayView message,
                                                        const HostAddress &source, int hopLimit,
                                                        std::optional<quint16> identifier)
{
    const auto icmpFamily = IcmpBridge::family(family);
    if (!icmpFamily)
        return std::nullopt;
    return withSource(
        toEvent(Icmp::parseIcmpMessage(*icmpFamily, IcmpBridge::bytes(message), std::nullopt, hopLimit, identifier)),
        source);
}

std::optional<ProbeEvent> ReplyParser::parseRawRead(IpFamily family, QByteArrayView bytes, const HostAddress &source,
                                                    int hopLimit, quint16 identifier)
{
    const auto icmpFamily = IcmpBridge::family(family);
    if (!icmpFamily)
        return std::nullopt;
    return withSource(
        toEvent(Icmp::parseRawRead(*icmpFamily, IcmpBridge::bytes(bytes), std::nullopt, hopLimit, identifier)),
        source);
}

std::optional<ProbeEvent> ReplyParser::parseErrorQueueEntry(IpFamily family, const Icmp::ErrorQueueEntry &entry,
                                                            QByteArrayView originalRequest,
                                                            const HostAddress &requestDestination,
                                                            std::optional<quint16> identifier)
{
    const auto icmpFamily = IcmpBridge::family(family);
    if (!icmpFamily)
        return std::nullopt;
    std::optional<ProbeEvent> event = toEvent(Icmp::parseErrorQueueEntry(
        *icmpFamily, entry, IcmpBridge::bytes(originalRequest), std::nullopt, identifier));
    // The destination as recvmsg named it.
    if (event)
        event->quotedDestination = requestDestination;
    return event;
}
