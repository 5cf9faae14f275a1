#pragma once

#include "hostresolver.h"
#include "pingengine.h"
#include "pingsettings.h"
#include "prober.h"

#include <QObject>
#include <QString>
#include <tarvix/tarvixpingexport.h>

class Clock;

// One host's pinging, from the text a user typed to the end of the run:
// checks the settings, looks the host up, starts the engine's run and ends
// it. A control hosts one and words what it says; the engine below it knows
// nothing of names or settings that do not make sense.
//
// start() waits for the resolver in a local event loop that takes every
// event, user input included (HostResolver::resolve): whatever runs meanwhile
// may stop the session, start again (which overtakes the first start) or
// destroy it, and each ends the wait at once. Until the wait ends, isActive()
// reads true.
class TARVIX_PING_EXPORT PingSession : public QObject
{
    Q_OBJECT

public:
    // The engine runs on the given prober opener and clock; clock must outlive the session.
    PingSession(PingEngine::ProberOpener openProber, Clock &clock, QObject *parent = nullptr);
    ~PingSession() override;

    PingEngine *engine() const { return m_engine; }
    // Which kind of ICMP socket runs may use (tests pin one path).
    void setSocketPreference(Prober::Preference preference) { m_preference = preference; }
    // How names are looked up (tests put slow or hanging lookups here); the
    // system resolver by default.
    void setHostLookup(HostResolver::Lookup lookup) { m_resolver.setLookup(std::move(lookup)); }

    // Ends what runs, then starts a run to host with settings. Returns once
    // the run has started (or is starting: the engine's prober gets ready),
    // or refused() said why not, or the wait for the resolver was ended by a
    // stop, another start or the session's end.
    void start(const QString &host, const PingSettings &settings);
    // The same without waiting: returns at once, with isActive() true unless
    // refused() has said why not; the lookup's answer starts the run from the
    // event loop, where refused() may come too.
    void begin(const QString &host, const PingSettings &settings);
    // Ends the run, or a start still looking its host up.
    void stop();

    // A start is looking its host up, or a run is starting or in progress.
    bool isActive() const { return m_resolving || m_engine->isActive(); }
    bool isResolving() const { return m_resolving; }

    // The run's host name (the name as typed, a reverse name, or empty) and
    // address, from the moment start() returns; empty after a start that
    // began no run. A control sets them from its saved state.
    QString hostName() const { return m_hostName; }
    QString ipAddress() const { return m_ipAddress; }
    void setHost(const QString &hostName, const QString &ipAddress);

signals:
    // A start is about to look its host up, and isActive() reads true. A
    // listener may stop the session, start it again or destroy it.
    void resolving();
    // A start began no run: text says why (a line, with its line end), code
    // is a PingText::ErrorCode.
    void refused(const QString &text, qint32 code);

private:
    // Ends a start still looking its host up: its wait ends at once.
    void abandonStart();
    // What start() and begin() do first: the generation of this start, or
    // nothing when its settings refused it.
    std::optional<quint64> prepare(const PingSettings &settings);
    // Starts the run the resolver's answer allows, or says why none.
    void take(const HostResolver::Result &resolved, const PingSettings &settings);

    PingEngine *m_engine;
    Prober::Preference m_preference = Prober::Preference::Auto;
    HostResolver m_resolver;
    QString m_hostName;
    QString m_ipAddress;
    quint64 m_generation = 0; // bumped by every start and stop, so a start still waiting sees it was overtaken
    bool m_resolving = false;
};
