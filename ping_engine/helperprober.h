#pragma once

#include "prober.h"
#include "result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <sys/types.h>

namespace Icmp::HelperProtocol {
struct PacketFields;
}

// ICMP echo through tarvix-icmp-helper, where neither the unprivileged datagram
// socket nor a raw socket of this process may be opened. A process that loads
// Qt must never hold a capability, so CAP_NET_RAW goes on the helper alone: a
// small program of ours without Qt, started here with an empty environment,
// that opens its raw sockets, drops the capability and serves this prober over
// two socket pairs (icmp/helperprotocol.h). It chooses the session's
// echo identifier itself and passes on only what concerns its own requests;
// this side parses that as the raw sockets' own reads are parsed.
//
// Nothing here ever waits for the helper: opening starts it and returns, and
// its greeting comes as a Ready event (or a ProberFailed one, with why); a
// send hands the request over and returns, and the helper's report of it comes
// as a SendConfirmed or SendFailed event. A helper that exits gives one
// ProberFailed event. One that goes silent is the caller's to notice (it
// knows the time), and silenceReason() words it. Closing the prober kills the
// helper, stopped or not.
//
// One helper per prober. It also exits when the thread that opened the
// prober ends (the kernel's parent-death signal follows the thread): open and
// keep probers on a thread that outlives them, as the engine does on the UI
// thread.
class HelperProber final : public Prober
{
    Q_DECLARE_TR_FUNCTIONS(HelperProber)

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
    // Turns a refusal into the sentence a user reads; Prober::open adds why
    // the process's own sockets would not open, and what to do.
    using Wording = std::function<QString(const Refusal &)>;
    using Opened = Result<std::unique_ptr<HelperProber>, Refusal>;

    // Starts the helper for the family, without waiting for it. Fails at once
    // only where no helper could be started; whether it can serve comes later,
    // as a Ready or ProberFailed event, the refusals worded by wording.
    static Opened open(IpFamily family, Wording wording = {});

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
    // Readable while either channel has something, or the helper has
    // exited; quiet for good once the helper is gone.
    int descriptor() const override { return m_watch; }
    quint16 identifier() const override { return m_identifier; }
    // Whether the helper's socket of the family took transmit timestamps.
    bool asksForSendStamps() const override { return m_sendStamps; }
    bool isReady() const override { return m_state == State::Ready; }
    bool setHopLimit(int hops) override;
    bool setBroadcast(bool on) override;
    qint64 minimumIntervalNs(TargetKind kind) const override;
    SendResult send(const HostAddress &target, quint16 sequence, const QByteArray &payload) override;
    std::optional<ProbeEvent> receive() override;
    QString silenceReason(bool starting) const override;

    // The helper's process, while it runs.
    pid_t processId() const { return m_pid; }

private:
    enum class State { Starting, Ready, Gone };

    HelperProber(IpFamily family, const QString &path, pid_t pid, int requests, int packets, Wording wording);

    // The next event from the request channel (the Hello, send reports), if any.
    std::optional<ProbeEvent> readRequestChannel();
    // The next event from the packet channel, if any.
    std::optional<ProbeEvent> readPacketChannel();
    // A channel reached its end: the helper is exiting.
    std::optional<ProbeEvent> channelClosed();
    bool hasExited() const;
    // The helper said its Hello.
    ProbeEvent takeHello(const unsigned char *message, qsizetype size);
    ProbeEvent takeReport(const unsigned char *message, qsizetype size);
    // The helper can serve no more: sends fail from now on, the descriptor goes
    // quiet, and the one ProberFailed event says why.
    ProbeEvent giveUp(const QString &why);
    ProbeEvent refuse(const Refusal &refusal);
    // Why the helper went: its exit status, if it has exited by now.
    QString exitReason();
    // A packet's receive times, filled in as IcmpSocket::read does for its own reads.
    static void applyReceiveTimes(ProbeEvent &event, const Icmp::HelperProtocol::PacketFields &packet);

    IpFamily m_family;
    QString m_path;
    Wording m_wording;
    pid_t m_pid;
    bool m_reaped = false;
    int m_pidFd = -1;
    int m_requests; // request channel: requests out, Hello and send reports in
    int m_packets;  // packet channel: what came back
    int m_watch = -1; // an epoll set of the channels and the process
    State m_state = State::Starting;
    bool m_channelsClosed = false; // at their end, and no longer watched
    quint16 m_identifier = 0;
    quint8 m_hopLimit = 64; // Linux's default TTL and hop limit, until set
    bool m_broadcast = false;
    bool m_sendStamps = false;
    bool m_rateLimited = false;
    // The sequences of requests handed over and not yet reported, in order.
    std::deque<quint16> m_unreported;
    QByteArray m_buffer;
};
