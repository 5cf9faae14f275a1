#include "pingengine.h"

#include "pingtext.h"

#include "clock.h"
#include "systemclock.h"

#include <QRandomGenerator>
#include <QSocketNotifier>

PingEngine::PingEngine(QObject *parent) : PingEngine(&Prober::open, SystemClock::instance(), parent)
{
}

PingEngine::PingEngine(ProberOpener openProber, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_openProber(std::move(openProber))
    , m_clock(clock)
    , m_sendAlarm(clock.createAlarm([this] { onSendDue(); }))
    , m_deadlineAlarm(clock.createAlarm([this] { onDeadline(); }))
    , m_stampAlarm(clock.createAlarm([this] { onStampWait(); }))
    , m_answerAlarm(clock.createAlarm([this] { onAnswerDue(); }))
{
}

PingEngine::~PingEngine()
{
    // No signals from here: whoever listened may be half destroyed.
    closeSocket();
}

bool PingEngine::isActive() const
{
    return m_starting || (m_run && !m_run->hasEnded());
}

std::optional<QString> PingEngine::start(const PingSettings &settings, const RunState::Target &target,
                                         Prober::Preference preference)
{
    stop();
    Prober::Opened opened = m_openProber(target.address.protocol(), preference);
    if (!opened)
        return opened.error();
    std::unique_ptr<Prober> prober = std::move(opened).value();
    if (!prober->setHopLimit(settings.timeToLive))
        return tr("Could not set the time to live to %1.").arg(settings.timeToLive);
    Starting starting{settings, target};
    starting.target.kind = prober->targetKind(target.address);
    if (starting.target.kind == TargetKind::Broadcast) {
        if (!settings.allowBroadcast)
            return PingText::broadcastNotAllowed(target.address);
        if (!prober->setBroadcast(true))
            return tr("Could not allow broadcast on the socket (%1).").arg(qt_error_string(errno));
    }

    m_prober = std::move(prober);
    m_socketKind = m_prober->socketKind();
    m_notifier = new QSocketNotifier(m_prober->descriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PingEngine::readPending);
    if (!m_prober->isReady()) {
        m_starting = std::move(starting);
        m_answerAlarm->setAt(m_clock.now().monotonicNs + ProberStartLimitNs);
        return std::nullopt;
    }
    beginRun(std::move(starting));
    return std::nullopt;
}

void PingEngine::beginRun(Starting starting)
{
    m_starting.reset();
    m_answerAlarm->cancel();
    m_asksForSendStamps = m_prober->asksForSendStamps();
    m_waitForStamps = m_asksForSendStamps;
    m_waitingReply.reset();
    // Never closer than the prober serves: the helper holds users to iputils' limits.
    m_intervalNs = qMax(qint64(starting.settings.intervalMs) * 1000000,
                        m_prober->minimumIntervalNs(starting.target.kind));
    m_run = std::make_unique<RunState>(starting.settings, starting.target, m_prober->identifier(),
                                       QRandomGenerator::global()->generate64());
    emit started();
    sendNext();
}

void PingEngine::stop()
{
    if (m_starting) {
        m_starting.reset();
        closeSocket();
        return;
    }
    if (!isActive())
        return;
    // A reply that came is reported, stamp or not.
    if (m_waitingReply) {
        finishWaitingReply();
        if (!isActive())
            return; // ended by the listener, or complete
    }
    closeSocket();
    m_run->end();
    emit finished();
}

void PingEngine::failProber(const QString &why)
{
    if (m_starting) {
        // No run began: the last one stays the last.
        m_starting.reset();
        closeSocket();
        emit proberFailed(why);
        return;
    }
    if (!isActive())
        return;
    // A reply that came is reported first; it may have been the run's last.
    if (m_waitingReply) {
        finishWaitingReply();
        if (!isActive())
            return;
    }
    emit proberFailed(why);
    stop(); // unless a listener ended the run already
}

void PingEngine::onAnswerDue()
{
    // What the prober said meanwhile may be waiting to be read.
    readPending();
    if (!m_prober)
        return;
    if (m_starting)
        failProber(m_prober->silenceReason(true));
    else if (isActive() && m_run->inFlight() && !m_run->inFlight()->confirmed)
        failProber(m_prober->silenceReason(false));
}

void PingEngine::closeSocket()
{
    m_sendAlarm->cancel();
    m_deadlineAlarm->cancel();
    m_stampAlarm->cancel();
    m_answerAlarm->cancel();
    m_waitingReply.reset();
    if (m_notifier) {
        // This may run inside the notifier's own signal: disable it now, free it later.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_prober.reset();
}

void PingEngine::sendNext()
{
    if (!isActive() || m_run->inFlight() || m_run->allSent())
        return;
    const quint16 sequence = m_run->nextSequence();
    const QByteArray payload = m_run->payloadFor(sequence);
    SendResult sent = m_prober->send(m_run->target().address, sequence, payload);
    if (!sent.ok) {
        // An ICMP error for an earlier request leaves its errno pending on the
        // socket, and the next send fails with it once. As iputils does, read
        // the queues first (which takes the pending error), then try again:
        // only a failure that is this request's own is reported.
        readPending();
        if (!isActive())
            return; // a listener stopped the run
        sent = m_prober->send(m_run->target().address, sequence, payload);
    }
    if (!sent.ok) {
        const ClockReading now = m_clock.now();
        m_lastSendMonotonicNs = now.monotonicNs;
        m_run->markUnsendable(sequence, now.realtimeNs,
                              PingText::transmitFailed(sequence, sent.errnoValue, PingText::Wording::Line));
        emit transmitFailed(sequence, sent.errnoValue);
        afterRequest();
        return;
    }
    m_lastSendMonotonicNs = sent.sentMonotonicNs;
    m_run->markSent(sequence, sent.sentRealtimeNs, sent.sentMonotonicNs, sent.confirmed);
    m_deadlineAlarm->setAt(m_run->deadlineMonotonicNs());
    if (!sent.confirmed)
        m_answerAlarm->setAt(sent.sentMonotonicNs + ProberAnswerLimitNs);
}

void PingEngine::onSendDue()
{
    sendNext();
    // The kernel stamps a request as the device takes it, mostly before
    // sendto returns, and a near host's reply may be in by then too: taking
    // them now spares the event loop a wake-up for each. (Not in start():
    // a run does not end inside the call that starts it.)
    readPending();
}

void PingEngine::readPending()
{
    while (m_prober) {
        const std::optional<ProbeEvent> event = m_prober->receive();
        if (!event)
            break;
        handle(*event, m_clock.now().monotonicNs);
    }
}

void PingEngine::handle(const ProbeEvent &event, qint64 nowNs)
{
    if (event.kind == ProbeEvent::Kind::ProberFailed) {
        failProber(event.failure);
        return;
    }
    if (m_starting) {
        if (event.kind == ProbeEvent::Kind::Ready)
            beginRun(std::move(*m_starting));
        return;
    }
    if (!isActive())
        return;
    switch (event.kind) {
    case ProbeEvent::Kind::SendConfirmed:
        if (m_run->confirmSend(event)) {
            m_answerAlarm->cancel();
            // Its time-out runs from when it went out.
            m_deadlineAlarm->setAt(m_run->deadlineMonotonicNs());
        }
        return;
    case ProbeEvent::Kind::SendFailed:
        if (m_run->awaitsConfirmation(event.sequence)) {
            m_answerAlarm->cancel();
            m_deadlineAlarm->cancel();
            m_run->completeLost(true,
                                PingText::transmitFailed(event.sequence, event.localErrno, PingText::Wording::Line));
            emit transmitFailed(event.sequence, event.localErrno);
            afterRequest();
        }
        return;
    case ProbeEvent::Kind::Ready:
        return;
    default:
        break;
    }
    if (event.kind == ProbeEvent::Kind::SendStamp) {
        if (m_run->takeSendStamp(event) && m_waitingReply)
            finishWaitingReply();
        return;
    }
    // Anything else about the run ends the wait for a stamp first: a
    // duplicate must find its request answered.
    if (m_waitingReply) {
        finishWaitingReply();
        if (!isActive())
            return;
    }
    if (event.kind == ProbeEvent::Kind::EchoReply) {
        switch (m_run->classifyReply(event)) {
        case RunState::Verdict::Accepted:
            acceptReply(event, nowNs);
            break;
        case RunState::Verdict::Duplicate:
            m_run->countDuplicate();
            emit duplicateReplied(event, m_run->duplicateRoundTripNs(event, nowNs));
            break;
        case RunState::Verdict::Late:
        case RunState::Verdict::Corrupted:
        case RunState::Verdict::NotOurs:
            break;
        }
        return;
    }
    if (m_run->classifyError(event) == RunState::Verdict::Accepted) {
        const IpFamily family = m_run->target().address.protocol();
        m_run->completeLost(true, PingText::probeError(event, family, PingText::Wording::Line));
        m_deadlineAlarm->cancel();
        emit requestFailed(event);
        afterRequest();
    }
}

void PingEngine::acceptReply(const ProbeEvent &reply, qint64 nowNs)
{
    m_deadlineAlarm->cancel();
    // Its lateness is settled; only its start waits. Only a kernel receive
    // stamp pairs with a transmit stamp.
    if (m_waitForStamps && reply.kernelTimestamp && !m_run->hasSendStamp()) {
        m_waitingReply = reply;
        m_stampAlarm->setAt(nowNs + SendStampWaitNs);
        return;
    }
    completeReply(reply, nowNs);
}

void PingEngine::completeReply(const ProbeEvent &reply, qint64 nowNs)
{
    const qint64 rttNs = m_run->roundTripNs(reply, nowNs);
    m_run->completeWithReply(rttNs, qint32(reply.payload.size()), reply.hopLimit);
    emit replied(reply, rttNs);
    afterRequest();
}

void PingEngine::finishWaitingReply()
{
    m_stampAlarm->cancel();
    const ProbeEvent reply = std::move(*m_waitingReply);
    m_waitingReply.reset();
    if (!m_run->hasSendStamp())
        m_waitForStamps = false;
    completeReply(reply, m_clock.now().monotonicNs);
}

void PingEngine::onStampWait()
{
    // The stamp may be waiting to be read.
    readPending();
    if (isActive() && m_waitingReply)
        finishWaitingReply();
}

void PingEngine::onDeadline()
{
    // A reply that the kernel received in time counts, however late we get to it.
    readPending();
    if (!isActive() || !m_run->inFlight())
        return;
    // Not known to have gone out: it times out once it has, or the prober
    // is given up.
    if (!m_run->inFlight()->confirmed)
        return;
    // Early (a coarse timer): wait for the rest.
    if (m_clock.now().monotonicNs < m_run->deadlineMonotonicNs()) {
        m_deadlineAlarm->setAt(m_run->deadlineMonotonicNs());
        return;
    }
    const quint16 sequence = m_run->inFlight()->sequence;
    m_run->completeLost(false);
    emit timedOut(sequence);
    afterRequest();
}

void PingEngine::afterRequest()
{
    // A listener may have stopped the run from inside the signal just emitted.
    if (!isActive())
        return;
    if (m_run->isComplete()) {
        stop();
        return;
    }
    // Requests start one interval apart; after a long wait the next goes at once.
    const qint64 nextNs = m_lastSendMonotonicNs + m_intervalNs;
    m_sendAlarm->setAt(nextNs);
}
