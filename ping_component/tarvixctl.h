#pragma once

#include "hostresolver.h"
#include <tarvix/pingcontrol.h>
#include "pingengine.h"
#include <tarvix/pingevents.h>
#include "pingsession.h"
#include "pingsettings.h"
#include "prober.h"
#include "rundisplay.h"
#include "runview.h"

#include <QWidget>

#include <QList>
#include <QString>

class ChartNavigator;
class Clock;
class EventQueue;

// The ping control: an ICMP echo engine behind the dispatch contract, with a
// surface of its own. Hosts drive it through invoke() and hear from it through
// events(); the typed C++ interface below goes through the same dispatch, for
// programs and tests that need more.
// It does the dispatch; a PingSession starts and ends the runs, the engine
// runs the pings, a RunReporter words what happens as events, an EventQueue
// raises them from the event loop, never from inside a dispatch call, and a
// RunDisplay draws the run on the surface.
class TarvixCtl : public QWidget, public Tarvix::PingControl
{
    Q_OBJECT
    Q_PROPERTY(int packetSize READ packetSize WRITE setPacketSize)
    Q_PROPERTY(int timeToLive READ timeToLive WRITE setTimeToLive)
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout)
    Q_PROPERTY(bool continuous READ isContinuous WRITE setContinuous)
    Q_PROPERTY(int count READ count WRITE setCount)
    Q_PROPERTY(bool resolveAddresses READ resolvesAddresses WRITE setResolveAddresses)
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)
    Q_PROPERTY(QString hostName READ hostName NOTIFY hostNameChanged)
    Q_PROPERTY(QString ipAddress READ ipAddress NOTIFY ipAddressChanged)

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
    bool isActive() const;

    // The typed interface: writes and calls go through invoke(), as a host's
    // would, reads through the same getters as its property gets. Settings
    // are taken as written, and a run with a setting it cannot start with
    // reports that as pingError when ping() is called.
    int packetSize() const { return readInt(Tarvix::DispId::PacketSize); }
    void setPacketSize(int bytes) { put(Tarvix::DispId::PacketSize, bytes); }
    int timeToLive() const { return readInt(Tarvix::DispId::TimeToLive); }
    void setTimeToLive(int ttl) { put(Tarvix::DispId::TimeToLive, ttl); }
    int timeout() const { return readInt(Tarvix::DispId::Timeout); }
    void setTimeout(int ms) { put(Tarvix::DispId::Timeout, ms); }
    bool isContinuous() const { return readInt(Tarvix::DispId::Continuous) != 0; }
    void setContinuous(bool continuous) { put(Tarvix::DispId::Continuous, continuous ? 1 : 0); }
    int count() const { return readInt(Tarvix::DispId::Count); }
    void setCount(int count) { put(Tarvix::DispId::Count, count); }
    bool resolvesAddresses() const { return readInt(Tarvix::DispId::ResolveAddresses) != 0; }
    void setResolveAddresses(bool resolve) { put(Tarvix::DispId::ResolveAddresses, resolve ? 1 : 0); }
    QString hostName() const { return m_session->hostName(); }
    QString ipAddress() const { return m_session->ipAddress(); }
    void ping(const QString &host);
    void stop() { put(Tarvix::DispId::Active, 0); }

    // What the surface shows; tests paint it without a run on the wire.
    RunView::Snapshot snapshot() const { return m_display->snapshot(); }
    // What a screen reader hears of the surface: the picked request, or the run.
    QString description() const { return m_display->description(); }
    const RunView &view() const { return m_display->view(); }
    // The chart's interaction: zoom, scroll-back, cursor, copy.
    ChartNavigator *navigator() const { return m_display->navigator(); }
    QSize sizeHint() const override;
    // Whether the surface shows the run in full (else a lamp).
    bool showsFullDisplay() const { return m_display->showsChart(); }

signals:
    // The typed interface's change signals.
    void activeChanged(bool active);
    void hostNameChanged(const QString &hostName);
    void ipAddressChanged(const QString &ipAddress);
    // The events once more as signals. pinged: one per echo request; bytes is
    // the reply's payload size, or -1 when no reply came in time, timeMs the
    // round trip, ttl the reply's TTL.
    void pinged(const QString &ipAddress, int bytes, int timeMs, int ttl);
    // A line of the run, worded for the user.
    void pingLine(const QString &line);
    // What went wrong, worded for the user, and its code.
    void pingError(const QString &text, int code);

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

    Tarvix::PingEvents *m_events;
    PingSession *m_session;
    PingEngine *m_engine;
    EventQueue *m_queue;
    PingSettings m_settings;
    quint32 m_extentX = 0;
    quint32 m_extentY = 0;

    RunDisplay *m_display = nullptr;

    // What the NOTIFY signals last told.
    bool m_notifiedActive = false;
    QString m_notifiedHostName;
    QString m_notifiedIpAddress;
};
