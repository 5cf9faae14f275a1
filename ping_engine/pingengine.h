#pragma once

#include "pingsettings.h"
#include "probeevent.h"
#include "prober.h"
#include "runstate.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <tarvix/tarvixpingexport.h>

class Clock;
class Alarm;
class QSocketNotifier;

// Runs one ping run at a time on the thread it lives on (the UI thread): sends
// the requests on schedule, reads replies and errors as they arrive, times the
// requests out and ends the run. Timing does not depend on how promptly this
// thread gets to run: round trips come from the kernel's receive timestamps,
// and before a request is declared timed out whatever already arrived is read.
// Where the prober asked the kernel for transmit timestamps, a reply waits a
// little for its request's stamp, should it be read first; without one the
// round trip starts at the clock read before the send.
//
// A prober that starts another process (the ICMP helper) is not ready at
// once: the run is starting until it is, and sends nothing before. Such a
// prober reports each send later; a request whose send is not confirmed does
// not time out, and a prober that says nothing for ProberAnswerLimitNs (while
// starting, or about a send) is given up, as is one that fails: one
// proberFailed(), and the run ends. Nothing ever waits for the prober.
//
// Sockets and time come in from outside: a prober opener (the real one tries
// the datagram socket, then raw, then the helper) and a clock (the system's).
// Tests give it fakes and run every rule of scheduling without a socket or a
// sleep.
class TARVIX_PING_EXPORT PingEngine : public QObject
{
    Q_OBJECT

public:
    // Opens a prober for a family, or gives the text that says why none opens.
    using ProberOpener = std::function<Prober::Opened(IpFamily, Prober::Preference)>;

    // On real sockets and the system's clock.
    explicit PingEngine(QObject *parent = nullptr);
    // clock must outlive the engine.
    PingEngine(ProberOpener openProber, Clock &clock, QObject *parent = nullptr);
    ~PingEngine() override;

    // Opens a socket for the target's family and sends the first request at
    // once, or once the prober is ready. Gives an error text, and starts
    // nothing, when no socket opens or the target may not be pinged (a
    // broadcast address without PingSettings::allowBroadcast). The target's
    // kind is the prober's to say.
    std::optional<QString> start(const PingSettings &settings, const RunState::Target &target,
                                 Prober::Preference preference = Prober::Preference::Auto);

    // Ends the run at once: the socket is closed when this returns. Emits
    // finished() before returning if a run was active; a run still starting
    // ends without a word.
    void stop();

    // A run is starting or in progress.
    bool isActive() const;
    // A run waits for its prober to be ready; run() is still the last one.
    bool isStarting() const { return m_starting.has_value(); }
    // The current run, or the last one once it ended; null before the first.
    const RunState *run() const { return m_run.get(); }
    Prober::SocketKind socketKind() const { return m_socketKind; }
    // Whether the current or last run's prober asked the kernel for transmit timestamps.
    bool asksForSendStamps() const { return m_asksForSendStamps; }

    // How long a prober may say nothing: while it starts (an exec and two
    // sockets: milliseconds, even on a busy machine), and about a send it
    // took (its report follows at once).
    static constexpr qint64 ProberStartLimitNs = 5'000'000'000;
    static constexpr qint64 ProberAnswerLimitNs = 2'000'000'000;

    // How long an accepted reply waits for its request's transmit timestamp.
    // The kernel queues a software stamp as it hands the request to the
    // device, before any reply can come: a stamp that is not there by the
    // time the reply is read is rare, and one this late does not come.
    static constexpr qint64 SendStampWaitNs = 2'000'000;

signals:
    // A run began (its prober is ready); nothing of it has been reported yet.
    void started();
    // The request in flight got its reply.
    void replied(const ProbeEvent &reply, qint64 rttNs);
    // Another copy of a reply that was already counted.
    void duplicateReplied(const ProbeEvent &reply, qint64 rttNs);
    // No reply to this request within the time-out.
    void timedOut(quint16 sequence);
    // An ICMP error, or the local stack, ended the request in flight.
    void requestFailed(const ProbeEvent &error);
    // The request could not be handed to the kernel at all.
    void transmitFailed(quint16 sequence, int errnoValue);
    // The prober can serve no more, or never could: why is worded for the
    // user. The run ends: finished() follows for one that had started.
    void proberFailed(const QString &why);
    // The run ended: count reached or stopped.
    void finished();

private:
    // What start() was asked, while the prober gets ready.
    struct Starting
    {
        PingSettings settings;
        RunState::Target target;
    };

    void beginRun(Starting starting);
    void failProber(const QString &why);
    void onAnswerDue();
    void sendNext();
    void onSendDue();
    void readPending();
    void handle(const ProbeEvent &event, qint64 nowNs);
    void acceptReply(const ProbeEvent &reply, qint64 nowNs);
    // Times the reply, records it and moves the run on.
    void completeReply(const ProbeEvent &reply, qint64 nowNs);
    // Ends the request in flight with the reply that waited for its stamp.
    void finishWaitingReply();
    void onStampWait();
    void onDeadline();
    void afterRequest();
    void closeSocket();

    ProberOpener m_openProber;
    Clock &m_clock;
    std::unique_ptr<Prober> m_prober;
    Prober::SocketKind m_socketKind = Prober::SocketKind::Datagram;
    QSocketNotifier *m_notifier = nullptr;
    std::unique_ptr<Alarm> m_sendAlarm;
    std::unique_ptr<Alarm> m_deadlineAlarm;
    std::unique_ptr<Alarm> m_stampAlarm;
    std::unique_ptr<Alarm> m_answerAlarm;
    std::optional<Starting> m_starting;
    qint64 m_intervalNs = 0;
    bool m_asksForSendStamps = false;
    // Whether replies still wait for stamps: a run stops waiting once a
    // stamp did not come in time, and takes what it reads before the reply.
    bool m_waitForStamps = false;
    // An accepted reply to the request in flight, waiting for its stamp.
    std::optional<ProbeEvent> m_waitingReply;
    std::unique_ptr<RunState> m_run;
    qint64 m_lastSendMonotonicNs = 0;
};
