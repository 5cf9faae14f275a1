#include "tarvixctl.h"

#include "chartnavigator.h"
#include "eventqueue.h"
#include "hostresolver.h"
#include "pingengine.h"
#include "pingtext.h"
#include "runreporter.h"
#include "savedstate.h"
#include "systemclock.h"

#include <QEvent>
#include <QPointer>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::DispResult;
using Tarvix::DispValue;
using Tarvix::PingEvents;
using Tarvix::toDispId;

TarvixCtl::TarvixCtl(QWidget *parent) : TarvixCtl(&Prober::open, SystemClock::instance(), parent)
{
}

TarvixCtl::TarvixCtl(PingEngine::ProberOpener openProber, Clock &clock, QWidget *parent)
    : QWidget(parent)
    , m_events(new PingEvents(this))
    , m_session(new PingSession(std::move(openProber), clock, this))
    , m_engine(m_session->engine())
    , m_queue(new EventQueue(m_events, this))
{
    auto *reporter = new RunReporter(m_engine, m_queue, this);
    // The surface hears of each request after the reporter has posted it.
    m_display = new RunDisplay(this, m_session, m_settings.display != 0);
    setAccessibleName(tr("Ping control"));
    connect(reporter, &RunReporter::lineReported, m_display, &RunDisplay::showLine);
    // The typed interface: the events once more as its signals, and Active's changes.
    connect(m_events, &PingEvents::OnPing, this, &TarvixCtl::pinged);
    connect(m_events, &PingEvents::OnPingStr, this, &TarvixCtl::pingLine);
    connect(m_events, &PingEvents::OnPingError, this, &TarvixCtl::pingError);
    connect(m_session, &PingSession::refused, this, &TarvixCtl::onStartRefused);
    connect(m_session, &PingSession::resolving, this, &TarvixCtl::onResolving);
    connect(m_engine, &PingEngine::started, this, &TarvixCtl::notifyChanges);
    connect(m_engine, &PingEngine::finished, this, &TarvixCtl::notifyChanges);
    // A run that was still starting ends with its failure alone.
    connect(m_engine, &PingEngine::proberFailed, this, &TarvixCtl::notifyChanges);
}

TarvixCtl::~TarvixCtl()
{
    // The session and its engine, children, go after this: the engine closes
    // its socket, nothing is reported any more, and a Ping still resolving (a
    // handler run during its wait destroyed us) stops waiting and sees that
    // it was overtaken.
    disconnect(m_session, nullptr, this, nullptr);
    disconnect(m_engine, nullptr, nullptr, nullptr);
    m_queue->dropUnraised();
    // QWidget's destructor still sends events (a focus out): the chart's
    // navigator, which asks this object about them, must no longer see them.
    removeEventFilter(m_display->navigator());
}

bool TarvixCtl::isActive() const
{
    return m_session->isActive();
}

QSize TarvixCtl::sizeHint() const
{
    return {32, 32};
}

DispResult TarvixCtl::invoke(qint32 dispId, DispKind kind, const QList<DispValue> &args)
{
    QPointer<TarvixCtl> self(this);
    m_queue->beginCall();
    const DispResult result = dispatch(dispId, kind, args);
    // Ping waits in a local event loop, in which the host may have destroyed us.
    if (self) {
        m_queue->endCall();
        notifyChanges();
    }
    return result;
}

void TarvixCtl::ping(const QString &host)
{
    invoke(qint32(DispId::Ping), DispKind::Method, {host});
}

void TarvixCtl::notifyChanges()
{
    QPointer<TarvixCtl> self(this);
    if (const bool active = isActive(); active != m_notifiedActive) {
        m_notifiedActive = active;
        emit activeChanged(active);
    }
    if (self && hostName() != m_notifiedHostName) {
        m_notifiedHostName = hostName();
        emit hostNameChanged(m_notifiedHostName);
    }
    if (self && ipAddress() != m_notifiedIpAddress) {
        m_notifiedIpAddress = ipAddress();
        emit ipAddressChanged(m_notifiedIpAddress);
    }
}

DispResult TarvixCtl::dispatch(qint32 dispId, DispKind kind, const QList<DispValue> &args)
{
    const std::optional<DispId> id = toDispId(dispId);
    if (!id)
        return DispResult::unknownMember(dispId);
    if (*id == DispId::Ping) {
        if (kind != DispKind::Method)
            return DispResult::wrongAccess(dispId, kind);
        return ping(args);
    }
    switch (kind) {
    case DispKind::PropertyGet:
        if (!args.isEmpty())
            return DispResult::wrongArgumentCount(dispId, 0, int(args.size()));
        return getProperty(*id);
    case DispKind::PropertyPut:
        if (args.size() != 1)
            return DispResult::wrongArgumentCount(dispId, 1, int(args.size()));
        return putProperty(*id, args.first());
    case DispKind::Method:
        break;
    }
    return DispResult::wrongAccess(dispId, kind);
}

DispResult TarvixCtl::getProperty(DispId id) const
{
    switch (id) {
    case DispId::PacketSize: return DispResult::success(m_settings.packetSize);
    case DispId::TimeToLive: return DispResult::success(m_settings.timeToLive);
    case DispId::Timeout: return DispResult::success(m_settings.timeout);
    case DispId::Continuous: return DispResult::success(m_settings.continuous);
    case DispId::Active: return DispResult::success(isActive() ? 1 : 0);
    case DispId::Count: return DispResult::success(m_settings.count);
    case DispId::HostName: return DispResult::success(hostName());
    case DispId::ResolveAddresses: return DispResult::success(m_settings.resolveAddresses);
    case DispId::IpAddress: return DispResult::success(ipAddress());
    case DispId::Ping: break;
    }
    return DispResult::wrongAccess(qint32(id), DispKind::PropertyGet);
}

DispResult TarvixCtl::putProperty(DispId id, const DispValue &value)
{
    if (id == DispId::HostName || id == DispId::IpAddress)
        return DispResult::wrongAccess(qint32(id), DispKind::PropertyPut);
    if (!value.isInt32())
        return DispResult::typeMismatch(qint32(id), DispValue::Kind::Int32, value);
    const qint32 v = value.toInt32();
    switch (id) {
    case DispId::PacketSize: m_settings.packetSize = v; break;
    case DispId::TimeToLive: m_settings.timeToLive = v; break;
    case DispId::Timeout: m_settings.timeout = v; break;
    case DispId::Continuous: m_settings.continuous = v; break;
    case DispId::Count: m_settings.count = v; break;
    case DispId::ResolveAddresses: m_settings.resolveAddresses = v; break;
    case DispId::Active:
        // Only 0 has a meaning: a run starts with Ping, which needs a host.
        if (v == 0)
            endRun();
        break;
    case DispId::Ping:
    case DispId::HostName:
    case DispId::IpAddress: break;
    }
    return DispResult::success();
}

DispResult TarvixCtl::ping(const QList<DispValue> &args)
{
    if (args.size() != 1)
        return DispResult::wrongArgumentCount(qint32(DispId::Ping), 1, int(args.size()));
    if (!args.first().isText())
        return DispResult::typeMismatch(qint32(DispId::Ping), DispValue::Kind::Text, args.first());

    endRun();
    // Old events of earlier runs that were not raised yet would land after this
    // Ping returns and be taken for the new run's.
    m_queue->dropUnraised();
    m_display->clearLine(); // the last run's, or why the last Ping started none
    QPointer<TarvixCtl> self(this);
    m_session->start(args.first().toText(), m_settings);
    if (self)
        m_display->refresh();
    return DispResult::success();
}

void TarvixCtl::onResolving()
{
    // Active reads non-zero from here until the wait ends; a handler told of
    // it may stop this Ping, start another one or destroy us.
    m_display->refresh();
    notifyChanges();
}

void TarvixCtl::onStartRefused(const QString &text, qint32 code)
{
    postError(text, code);
    m_display->refresh();
}

void TarvixCtl::endRun()
{
    if (m_engine->isActive()) {
        // What the run has not reported goes, but for the statistics its stop posts.
        m_queue->dropUnraised();
    }
    m_session->stop();
    m_display->refresh();
}

bool TarvixCtl::loadState(const QByteArray &stream)
{
    const std::optional<SavedState> state = SavedState::decode(stream);
    if (!state)
        return false;
    m_settings = state->settings;
    m_session->setHost(state->hostName, state->ipAddress);
    m_extentX = state->extentX;
    m_extentY = state->extentY;
    // The surface may now be another size, or show the other way.
    m_display->setChartWanted(m_settings.display != 0);
    update();
    notifyChanges();
    return true;
}

QByteArray TarvixCtl::saveState() const
{
    SavedState state;
    state.extentX = m_extentX;
    state.extentY = m_extentY;
    state.settings = m_settings;
    state.hostName = hostName();
    state.ipAddress = ipAddress();
    return state.encode();
}

void TarvixCtl::postError(const QString &text, qint32 code)
{
    m_queue->post(OnPingErrorEvent{text, code});
    // Where the surface is the only display (TarvixS), a Ping that started
    // no run must still say why.
    m_display->showLine(text);
}

void TarvixCtl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_display) // not while the display is being made: it sets the surface up
        m_display->resized();
}

void TarvixCtl::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (m_display)
        m_display->changed(event->type());
}

void TarvixCtl::paintEvent(QPaintEvent *)
{
    if (m_display)
        m_display->paint();
}
