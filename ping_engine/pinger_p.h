#pragma once

// The Pinger's insides, apart from its public header.
#include <tarvix/pinger.h>

#include "pingengine.h"
#include "pingresultdata.h"
#include "pingsession.h"
#include "pingsettings.h"

namespace Tarvix {

class PingerPrivate
{
public:
    PingerPrivate(PingEngine::ProberOpener openProber, Clock &clock) : openProber(std::move(openProber)), clock(clock) {}

    // A Pinger on this engine: the public one opens real sockets on the
    // system's clock, tests give a fake network and clock.
    static Pinger *create(PingEngine::ProberOpener openProber, Clock &clock, QObject *parent = nullptr)
    {
        return new Pinger(std::make_unique<PingerPrivate>(std::move(openProber), clock), parent);
    }
    // A Pinger's insides, for the widget that draws its runs.
    static PingerPrivate *get(const Pinger *pinger) { return pinger->d.get(); }

    // A line of the engine's texts, without its line end.
    static QString withoutLineEnd(const QString &line) { return line.endsWith(QLatin1String("\r\n")) ? line.chopped(2) : line; }

    // The run's name for an address it heard from: its own, where it is the target's.
    QString nameOf(const HostAddress &address) const;
    PingResultData *newResult(quint16 sequence, PingResult::Outcome outcome) const;
    void report(PingResultData *data);
    void onReplied(const ProbeEvent &reply, qint64 rttNs);
    void onTimedOut(quint16 sequence);
    void onRequestFailed(const ProbeEvent &error);
    void onTransmitFailed(quint16 sequence, int errnoValue);
    void onRefused(const QString &text, qint32 code);
    void onProberFailed(const QString &why);
    void fail(Pinger::Error error, const QString &text);
    void setError(Pinger::Error error, const QString &text);
    // Tells what changed of the host name and address.
    void notifyHost();
    // Ends the start in progress: activeChanged(false), then finished().
    void finish();
    // The run of this start, once it began; null before.
    const RunState *run() const { return runStarted ? engine->run() : nullptr; }

    PingEngine::ProberOpener openProber;
    Clock &clock;
    Pinger *q = nullptr;
    PingSession *session = nullptr;
    PingEngine *engine = nullptr;
    PingSettings settings;
    bool active = false;
    bool runStarted = false;
    bool inStart = false;
    quint64 generation = 0; // bumped by every start and stop, so what was queued for an earlier one is dropped
    Pinger::Error error = Pinger::NoError;
    QString errorString;
    QString notifiedHostName;
    QString notifiedIpAddress;
};

} // namespace Tarvix
