#pragma once

#include "hostaddress.h"
#include "probeevent.h"
#include "result.h"
#include "targetkind.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <memory>
#include <optional>
#include <tarvix/tarvixpingexport.h>

// One ICMP echo socket of one address family. IPv4 and IPv6, datagram and raw,
// differ in how the socket is opened and what the kernel hands back; the run
// logic above sees only this.
class TARVIX_PING_EXPORT Prober
{
    Q_DECLARE_TR_FUNCTIONS(Prober)

public:
    // Helper: raw sockets of tarvix-icmp-helper, which holds the capability
    // that this process must not (see HelperProber).
    enum class SocketKind { Datagram, Raw, Helper };
    // Which socket kinds open() may try. Auto tries the unprivileged datagram
    // socket first and falls back to a raw socket, as iputils ping does, where
    // this process may open one (run as root, say); then to the helper.
    enum class Preference { Auto, DatagramOnly, RawOnly, HelperOnly };

    virtual ~Prober() = default;

    virtual IpFamily family() const = 0;
    virtual SocketKind socketKind() const = 0;
    // Non-blocking descriptor to watch for reading (errors wake it too).
    virtual int descriptor() const = 0;
    // The echo identifier that this socket's replies carry. On a datagram socket
    // the kernel chooses it, whatever the request says.
    virtual quint16 identifier() const = 0;

    // Whether the kernel was asked for transmit timestamps, which receive()
    // gives as SendStamp events; where it gives none, the send time is the
    // clock read before the send.
    virtual bool asksForSendStamps() const = 0;

    // Outgoing TTL (IPv4) or hop limit (IPv6), 1 to 255, unicast and multicast alike.
    virtual bool setHopLimit(int hops) = 0;
    // Lets requests go to broadcast addresses (SO_BROADCAST), which the kernel
    // refuses otherwise, as `ping -b` does.
    virtual bool setBroadcast(bool on) = 0;

    // Whether the prober can send. One that starts another process first (the
    // helper's) is not ready until receive() gives its Ready event, or gives a
    // ProberFailed one instead; send nothing before. identifier() and
    // asksForSendStamps() hold from then on.
    virtual bool isReady() const { return true; }

    // What kind of destination an address is (targetKindOf(), which asks the
    // kernel's routing table).
    virtual TargetKind targetKind(const HostAddress &target) const { return targetKindOf(target); }
    // The shortest time between two requests that this prober serves to a
    // destination of the kind; 0 for no limit. The helper holds users other
    // than root to the limits of iputils ping.
    virtual qint64 minimumIntervalNs(TargetKind kind) const
    {
        Q_UNUSED(kind);
        return 0;
    }

    // Sends one echo request with this sequence number and payload (which
    // Icmp::EchoPattern::fill made: a 16-byte pattern repeated).
    virtual SendResult send(const HostAddress &target, quint16 sequence, const QByteArray &payload) = 0;

    // Why nothing came from the prober for too long, worded for the user,
    // after which it is given up: while it was starting, or about a send it
    // took (one that SendResult::confirmed left open).
    virtual QString silenceReason(bool starting) const
    {
        Q_UNUSED(starting);
        return QStringLiteral("The ICMP socket stopped answering.");
    }

    // Reads what is waiting, from the data queue and the error queue, until
    // something concerns this socket's own requests; gives nothing once the
    // queues are empty. Packets of other programs, checksum failures and
    // unparseable data are read and dropped here.
    virtual std::optional<ProbeEvent> receive() = 0;

    // A prober, or the text that explains why no ICMP socket could be opened
    // and how to allow one.
    using Opened = Result<std::unique_ptr<Prober>, QString>;
    // Opens a prober for the family: a SocketProber, or a HelperProber.
    static Opened open(IpFamily family, Preference preference);
};
