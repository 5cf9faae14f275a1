#include "pinger_p.h"

#include "pingtext.h"
#include "systemclock.h"

#include <QPointer>
#include <QTimer>

#include <functional>

namespace Tarvix {

QString PingerPrivate::nameOf(const HostAddress &address) const
{
    const RunState *state = run();
    if (!state || !address.matches(state->target().address))
        return {};
    return state->target().hostName;
}

PingResultData *PingerPrivate::newResult(quint16 sequence, PingResult::Outcome outcome) const
{
    auto *data = new PingResultData;
    data->sequence = sequence;
    data->outcome = outcome;
    const RunState *state = run();
    if (!state)
        return data;
    data->address = state->target().address.toString();
    data->hostName = state->target().hostName;
    if (const auto &last = state->lastCompleted(); last && last->sequence == sequence && last->sentRealtimeNs > 0)
        data->sentAt = QDateTime::fromMSecsSinceEpoch(last->sentRealtimeNs / 1000000, Qt::UTC);
    return data;
}

void PingerPrivate::report(PingResultData *data)
{
    const PingResult result = PingResultData::make(data);
    QPointer<Pinger> self(q);
    emit q->resultReady(result);
    if (self)
        emit q->statisticsChanged();
}

void PingerPrivate::onReplied(const ProbeEvent &reply, qint64 rttNs)
{
    PingResultData *data = newResult(reply.sequence, PingResult::Reply);
    data->roundTripNs = rttNs;
    data->address = reply.source.toString();
    data->hostName = nameOf(reply.source);
    data->bytes = int(reply.payload.size());
    data->ttl = reply.hopLimit;
    data->line = withoutLineEnd(PingText::reply(run()->target(), reply, rttNs, false));
    report(data);
}

void PingerPrivate::onTimedOut(quint16 sequence)
{
    PingResultData *data = newResult(sequence, PingResult::Timeout);
    data->line = withoutLineEnd(PingText::timedOut(sequence, run()->settings().timeout));
    report(data);
}

void PingerPrivate::onRequestFailed(const ProbeEvent &error)
{
    PingResultData *data = newResult(error.sequence, PingResult::Error);
    if (!error.source.isNull()) {
        data->address = error.source.toString();
        data->hostName = nameOf(error.source);
    }
    const IpFamily family = run()->target().address.protocol();
    data->errorText = withoutLineEnd(PingText::probeError(error, family, PingText::Wording::Message));
    data->line = withoutLineEnd(PingText::probeError(error, family, PingText::Wording::Line));
    report(data);
}

void PingerPrivate::onTransmitFailed(quint16 sequence, int errnoValue)
{
    PingResultData *data = newResult(sequence, PingResult::Error);
    data->errorText = withoutLineEnd(PingText::transmitFailed(sequence, errnoValue, PingText::Wording::Message));
    data->line = withoutLineEnd(PingText::transmitFailed(sequence, errnoValue, PingText::Wording::Line));
    report(data);
}

void PingerPrivate::setError(Pinger::Error newError, const QString &text)
{
    if (error == newError && errorString == text)
        return;
    error = newError;
    errorString = text;
    emit q->errorChanged();
}

void PingerPrivate::fail(Pinger::Error newError, const QString &text)
{
    QPointer<Pinger> self(q);
    setError(newError, text);
    if (self)
        emit q->errorOccurred(newError);
}

void PingerPrivate::onRefused(const QString &text, qint32 code)
{
    Pinger::Error kind = Pinger::NetworkError;
    switch (code) {
    case PingText::BadSetting: kind = Pinger::InvalidSetting; break;
    case PingText::UnknownHost: kind = Pinger::HostNotFound; break;
    case PingText::SocketUnavailable: kind = Pinger::PermissionDenied; break;
    default: break;
    }
    const QString why = withoutLineEnd(text);
    if (!inStart) {
        QPointer<Pinger> self(q);
        fail(kind, why);
        if (self)
            finish();
        return;
    }
    // Nothing comes from inside start(): the refusal waits for the event loop.
    QTimer::singleShot(0, q, [this, kind, why, generation = generation] {
        if (generation != this->generation || !active)
            return;
        QPointer<Pinger> self(q);
        fail(kind, why);
        if (self)
            finish();
    });
}

void PingerPrivate::onProberFailed(const QString &why)
{
    const Pinger::Error kind = engine->socketKind() == Prober::SocketKind::Helper ? Pinger::HelperFailure
                                                                                   : Pinger::NetworkError;
    const bool started = runStarted;
    QPointer<Pinger> self(q);
    fail(kind, withoutLineEnd(why));
    // A run that had begun ends with the engine's finished(); one still starting ends here.
    if (self && !started)
        finish();
}

void PingerPrivate::notifyHost()
{
    QPointer<Pinger> self(q);
    if (const QString name = session->hostName(); name != notifiedHostName) {
        notifiedHostName = name;
        emit q->hostNameChanged(name);
    }
    if (const QString address = session->ipAddress(); self && address != notifiedIpAddress) {
        notifiedIpAddress = address;
        emit q->ipAddressChanged(address);
    }
}

void PingerPrivate::finish()
{
    if (!active)
        return;
    active = false;
    ++generation;
    QPointer<Pinger> self(q);
    emit q->activeChanged(false);
    if (self)
        emit q->finished();
}

Pinger::Pinger(QObject *parent) : Pinger(std::make_unique<PingerPrivate>(&Prober::open, SystemClock::instance()), parent)
{
}

Pinger::Pinger(std::unique_ptr<PingerPrivate> dd, QObject *parent) : QObject(parent), d(std::move(dd))
{
    d->q = this;
    d->session = new PingSession(d->openProber, d->clock, this);
    d->engine = d->session->engine();
    PingEngine *engine = d->engine;
    connect(engine, &PingEngine::started, this, [this] {
        d->runStarted = true;
        d->notifyHost();
        emit statisticsChanged();
    });
    connect(engine, &PingEngine::replied, this, [this](const ProbeEvent &reply, qint64 rttNs) { d->onReplied(reply, rttNs); });
    connect(engine, &PingEngine::duplicateReplied, this, &Pinger::statisticsChanged);
    connect(engine, &PingEngine::timedOut, this, [this](quint16 sequence) { d->onTimedOut(sequence); });
    connect(engine, &PingEngine::requestFailed, this, [this](const ProbeEvent &error) { d->onRequestFailed(error); });
    connect(engine, &PingEngine::transmitFailed, this,
            [this](quint16 sequence, int errnoValue) { d->onTransmitFailed(sequence, errnoValue); });
    connect(engine, &PingEngine::proberFailed, this, [this](const QString &why) { d->onProberFailed(why); });
    connect(engine, &PingEngine::finished, this, [this] { d->finish(); });
    connect(d->session, &PingSession::refused, this,
            [this](const QString &text, qint32 code) { d->onRefused(text, code); });
}

Pinger::~Pinger()
{
    // The session and the engine go with this object; nothing is heard from them any more.
    disconnect(d->engine, nullptr, this, nullptr);
    disconnect(d->session, nullptr, this, nullptr);
}

int Pinger::count() const { return d->settings.count; }
bool Pinger::isContinuous() const { return d->settings.isContinuous(); }
int Pinger::interval() const { return d->settings.intervalMs; }
int Pinger::timeout() const { return d->settings.timeout; }
int Pinger::packetSize() const { return d->settings.packetSize; }
int Pinger::timeToLive() const { return d->settings.timeToLive; }
bool Pinger::resolvesAddresses() const { return d->settings.resolvesAddresses(); }

namespace {

// Sets a setting and tells of the change, if there was one.
template <typename Value, typename Signal>
void change(Pinger *q, Value &setting, Value value, Signal signal)
{
    if (setting == value)
        return;
    setting = value;
    emit(q->*signal)(value);
}

} // namespace

void Pinger::setCount(int count) { change(this, d->settings.count, qint32(count), &Pinger::countChanged); }
void Pinger::setInterval(int ms) { change(this, d->settings.intervalMs, qint32(ms), &Pinger::intervalChanged); }
void Pinger::setTimeout(int ms) { change(this, d->settings.timeout, qint32(ms), &Pinger::timeoutChanged); }
void Pinger::setPacketSize(int bytes) { change(this, d->settings.packetSize, qint32(bytes), &Pinger::packetSizeChanged); }
void Pinger::setTimeToLive(int ttl) { change(this, d->settings.timeToLive, qint32(ttl), &Pinger::timeToLiveChanged); }

void Pinger::setContinuous(bool continuous)
{
    if (isContinuous() == continuous)
        return;
    d->settings.continuous = continuous ? 1 : 0;
    emit continuousChanged(continuous);
}

void Pinger::setResolveAddresses(bool resolve)
{
    if (resolvesAddresses() == resolve)
        return;
    d->settings.resolveAddresses = resolve ? 1 : 0;
    emit resolveAddressesChanged(resolve);
}

bool Pinger::isActive() const { return d->active; }
QString Pinger::hostName() const { return d->session->hostName(); }
QString Pinger::ipAddress() const { return d->session->ipAddress(); }
Pinger::Error Pinger::error() const { return d->error; }
QString Pinger::errorString() const { return d->errorString; }

PingStatistics Pinger::statistics() const
{
    const RunState *run = d->run();
    return run ? PingStatisticsData::make(run->statistics()) : PingStatistics();
}

void Pinger::start(const QString &host)
{
    QPointer<Pinger> self(this);
    stop();
    if (!self)
        return;
    ++d->generation;
    d->runStarted = false;
    d->active = true;
    d->setError(NoError, QString());
    if (!self)
        return;
    emit activeChanged(true);
    if (!self)
        return;
    emit statisticsChanged();
    if (!self)
        return;
    d->inStart = true;
    d->session->begin(host, d->settings);
    if (!self)
        return;
    d->inStart = false;
    d->notifyHost();
}

void Pinger::stop()
{
    if (!d->active)
        return;
    QPointer<Pinger> self(this);
    d->session->stop(); // a run that began ends with the engine's finished()
    if (self)
        d->finish(); // a start still looking its host up, or its run still starting
}

} // namespace Tarvix
