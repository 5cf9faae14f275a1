#pragma once

#include "prober.h"
#include "result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <sys/types.h>

namespace IcmpHelperProtocol {
struct PacketFields;
}

// ICMP echo through tarvix-icmp-helper, where neither the unprivileged datagram
// socket nor a raw socket of this process may be opened. A process that loads
// Qt must never hold a capability, so CAP_NET_RAW goes on the helper alone: a
// small program of ours without Qt, started here with an empty environment,
// that opens its raw sockets, drops the capability and serves this prober over
// two socket pairs (icmp_helper/helperprotocol.h). It chooses the session's
// echo identifier itself and passes on only what concerns its own requests;
// this side parses that as the raw sockets' own reads are parsed.
//
// One helper per prober. It exits when the prober closes its channels, and
// when the thread that opened the prober ends (the kernel's parent-death
// signal follows the thread): open and keep probers on a thread that outlives
// them, as the engine does on the UI thread.
class HelperProber final : public Prober
{
public:
    ~HelperProber() override;

    // Why the helper cannot serve a family: what failed, as a clause ("the
    // ICMP helper /usr/libexec/tarvix/tarvix-icmp-helper lacks the
    // CAP_NET_RAW capability"), and whether installing the helper with its
    // capability would help.
    struct Refusal
    {
        QString why;
        bool capabilityWouldHelp = false;
    };
    using Opened = Result<std::unique_ptr<HelperProber>, Refusal>;

    // Starts the helper and waits until it is ready to serve the family.
    static Opened open(IpFamily family);

    // Where the helper is looked for, in order: only TARVIX_ICMP_HELPER when
    // that is set; otherwise the prefix's libexec/tarvix/tarvix-icmp-helper,
    // found from the directory of the file that holds the component (the
    // shared library in lib/, or a program in bin/), so a prefix can move;
    // then, for a component in the build tree, the build tree's own helper.
    static QStringList candidatePaths();
    // The first candidate that exists, else the first one: the program to
    // start, or to install and give the capability to.
    static QString helperPath();

    IpFamily family() const override { return m_family; }
    SocketKind socketKind() const override { return SocketKind::Helper; }
    // The packet channel; quiet for good once the helper is gone.
    int descriptor() const override { return m_packets; }
    quint16 identifier() const override { return m_identifier; }
    // Whether the helper's socket of the family took transmit timestamps.
    bool asksForSendStamps() const override { return m_sendStamps; }
    bool setHopLimit(int hops) override;
    SendResult send(const HostAddress &target, quint16 sequence, const QByteArray &payload) override;
    std::optional<ProbeEvent> receive() override;

    // The helper's process, while it runs.
    pid_t processId() const { return m_pid; }

private:
    HelperProber(IpFamily family, pid_t pid, int requests, int packets);

    // Waits for the next message on the request channel: its size, or
    // ETIMEDOUT, or EPIPE when the helper has gone.
    Result<qsizetype, int> readRequestChannel(unsigned char *buffer, qsizetype capacity, int timeoutMs);
    // The helper exited or broke the protocol: sends fail from now on and the
    // packet channel is replaced by a descriptor that never becomes readable,
    // so that whoever watches it is not woken for ever by its end of file.
    void markGone();
    // A packet's receive times, filled in as IcmpSocket::read does for its own reads.
    static void applyReceiveTimes(ProbeEvent &event, const IcmpHelperProtocol::PacketFields &packet);

    IpFamily m_family;
    pid_t m_pid;
    int m_pidFd = -1;
    int m_requests; // request channel: requests out, Hello and send reports in
    int m_packets;  // packet channel: what came back
    quint16 m_identifier = 0;
    quint8 m_hopLimit = 64; // Linux's default TTL and hop limit, until set
    bool m_sendStamps = false;
    bool m_gone = false;
    QByteArray m_buffer;
};
