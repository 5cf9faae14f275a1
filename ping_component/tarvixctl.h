#pragma once

#include "hostresolver.h"
#include <tarvix/pingcontrol.h>
#include "pingengine.h"
#include <tarvix/pingevents.h>
#include "pingsession.h"
#include "pingsettings.h"
#include "prober.h"
#include "runview.h"
#include <tarvix/tarvixwidget.h>

#include <QList>
#include <QString>

#include <optional>

class ChartNavigator;
class Clock;
class EventQueue;

// The ping control: an ICMP echo engine behind the dispatch contract, with a
// surface of its own. Hosts drive it through invoke() and hear from it through
// events(); TarvixWidget is its typed Qt interface over the same dispatch, and
// the C++ interface below is for programs and tests that need more.
// It does the dispatch and the surface; a PingSession starts and ends the
// runs, the engine runs the pings, a RunReporter words what happens as
// events, and an EventQueue raises them from the event loop, never from
// inside a dispatch call.
class TarvixCtl : public Tarvix::TarvixWidget, public Tarvix::PingControl
{
    Q_OBJECT

public:
    explicit TarvixCtl(QWidget *parent = nullptr);
    // Runs on the given prober opener and clock instead of the system's
    // sockets and clock; clock must outlive the control.
    TarvixCtl(PingEngine::ProberOpener openProber, Clock &clock, QWidget *parent = nullptr);
    ~TarvixCtl() override;

    Tarvix::DispResult invoke(qint32 dispId, Tarvix::DispKind kind, const QList<Tarvix::DispValue> &args = {}) override;
    Tarvix::PingEvents *events() override { return m_events; }
    QWidget *widget() override { return this; }
    bool loadState(const QByteArray &stream) override;
    QByteArray saveState() const override;

    const PingSettings &settings() const { return m_settings; }
    // Gap between requests. The contract has none; its default is one second.
    void setIntervalMs(qint32 intervalMs) { m_settings.intervalMs = intervalMs; }
    // Whether broadcast addresses may be pinged; the contract has no such
    // setting, and a run to one does not start.
    void setAllowsBroadcast(bool allow) { m_settings.allowBroadcast = allow; }
    // Which kind of ICMP socket runs may use (tests pin one path).
    void setSocketPreference(Prober::Preference preference) { m_session->setSocketPreference(preference); }
    // How names are looked up (tests put slow or hanging lookups here); the
    // system resolver by default.
    void setHostLookup(HostResolver::Lookup lookup) { m_session->setHostLookup(std::move(lookup)); }
    const PingEngine *engine() const { return m_engine; }
    bool isActive() const override;

    // The typed interface: writes and calls go through invoke(), as a host's
    // would, reads through the same getters as its property gets.
    int packetSize() const override { return readInt(Tarvix::DispId::PacketSize); }
    void setPacketSize(int bytes) override { put(Tarvix::DispId::PacketSize, bytes); }
    int timeToLive() const override { return readInt(Tarvix::DispId::TimeToLive); }
    void setTimeToLive(int ttl) override { put(Tarvix::DispId::TimeToLive, ttl); }
    int timeout() const override { return readInt(Tarvix::DispId::Timeout); }
    void setTimeout(int ms) override { put(Tarvix::DispId::Timeout, ms); }
    bool isContinuous() const override { return readInt(Tarvix::DispId::Continuous) != 0; }
    void setContinuous(bool continuous) override { put(Tarvix::DispId::Continuous, continuous ? 1 : 0); }
    int count() const override { return readInt(Tarvix::DispId::Count); }
    void setCount(int count) override { put(Tarvix::DispId::Count, count); }
    bool resolvesAddresses() const override { return readInt(Tarvix::DispId::ResolveAddresses) != 0; }
    void setResolveAddresses(bool resolve) override { put(Tarvix::DispId::ResolveAddresses, resolve ? 1 : 0); }
    QString hostName() const override { return m_session->hostName(); }
    QString ipAddress() const override { return m_session->ipAddress(); }
    void ping(const QString &host) override;
    void stop() override { put(Tarvix::DispId::Active, 0); }

    // What the surface shows; tests paint it without a run on the wire.
    RunView::Snapshot snapshot() const;
    // What a screen reader hears of the surface: the picked request, or the run.
    QString description() const;
    const RunView &view() const { return m_view; }
    // The chart's interaction: zoom, scroll-back, cursor, copy.
    ChartNavigator *navigator() const { return m_navigator; }
    QSize sizeHint() const override;
    // Whether the surface shows the run in full (else a lamp).
    bool showsFullDisplay() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Tarvix::DispResult dispatch(qint32 dispId, Tarvix::DispKind kind, const QList<Tarvix::DispValue> &args);
    Tarvix::DispResult getProperty(Tarvix::DispId id) const;
    Tarvix::DispResult putProperty(Tarvix::DispId id, const Tarvix::DispValue &value);
    Tarvix::DispResult ping(const QList<Tarvix::DispValue> &args);
    // Ends the active run, or a Ping still resolving (whose wait then ends at
    // once); drops what that run has not yet reported except its closing
    // statistics.
    void endRun();
    // The session began no run: says why, as an error event and on the surface.
    void onStartRefused(const QString &text, qint32 code);
    // A Ping is about to wait for the resolver.
    void onResolving();

    qint32 readInt(Tarvix::DispId id) const { return getProperty(id).value().toInt32(); }
    void put(Tarvix::DispId id, qint32 value) { invoke(qint32(id), Tarvix::DispKind::PropertyPut, {value}); }
    // Raises the typed interface's NOTIFY signals for what changed since last time.
    void notifyChanges();

    void postError(const QString &text, qint32 code);
    void showLine(const QString &line);
    // Fits the chart's axis to the samples now in view; never from paintEvent.
    void rescaleChart();
    // Tells a screen reader, if one listens, that description() changed.
    void describe();
    // After a change of the run: describes it, and repaints what it changed.
    void refresh();

    Tarvix::PingEvents *m_events;
    PingSession *m_session;
    PingEngine *m_engine;
    EventQueue *m_queue;
    PingSettings m_settings;
    quint32 m_extentX = 0;
    quint32 m_extentY = 0;

    RunView m_view;
    ChartNavigator *m_navigator;
    QString m_lastLine;
    // What the lamp showed at the last refresh; none while the chart shows.
    std::optional<RunView::LampLook> m_lampLook;

    // What the NOTIFY signals last told.
    bool m_notifiedActive = false;
    QString m_notifiedHostName;
    QString m_notifiedIpAddress;
};
