#include "tarvixctl.h"

#include "chartnavigator.h"
#include "eventqueue.h"
#include "hostresolver.h"
#include "pingengine.h"
#include "pingtext.h"
#include "runreporter.h"
#include "savedstate.h"
#include "systemclock.h"
#include "tarvixctlaccessible.h"

#include <QAccessible>

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
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
    : TarvixWidget(parent)
    , m_events(new PingEvents(this))
    , m_session(new PingSession(std::move(openProber), clock, this))
    , m_engine(m_session->engine())
    , m_queue(new EventQueue(m_events, this))
    , m_navigator(new ChartNavigator(
          this, m_view, [this] { return m_engine->run(); },
          [this] { return showsFullDisplay(); }))
{
    static const bool accessible = [] {
        QAccessible::installFactory(&TarvixCtlAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
    // Every pixel is painted each time: nothing to erase first, nothing to flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A stop in the form's tab order, as hosts list it there; a click on the
    // chart gives it the keys too.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Ping control"));
    auto *reporter = new RunReporter(m_engine, m_queue, this);
    connect(reporter, &RunReporter::lineReported, this, &TarvixCtl::showLine);
    connect(m_engine, &PingEngine::finished, this, &TarvixCtl::rescaleChart);
    connect(m_navigator, &ChartNavigator::changed, this, &TarvixCtl::rescaleChart);
    // The chart's axis follows the samples as they come: a new run, and each
    // request's end however it ended. Painting only reads it.
    connect(m_engine, &PingEngine::started, m_navigator, &ChartNavigator::goLive);
    connect(m_engine, &PingEngine::started, this, &TarvixCtl::rescaleChart);
    connect(m_engine, &PingEngine::replied, this, &TarvixCtl::rescaleChart);
    connect(m_engine, &PingEngine::timedOut, this, &TarvixCtl::rescaleChart);
    connect(m_engine, &PingEngine::requestFailed, this, &TarvixCtl::rescaleChart);
    connect(m_engine, &PingEngine::transmitFailed, this, &TarvixCtl::rescaleChart);
    describe();
    // The typed interface: the events once more as its signals, and Active's changes.
    connect(m_events, &PingEvents::OnPing, this, &TarvixWidget::pinged);
    connect(m_events, &PingEvents::OnPingStr, this, &TarvixWidget::pingLine);
    connect(m_events, &PingEvents::OnPingError, this, &TarvixWidget::pingError);
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
    // QWidget's destructor still sends events (a focus out): the navigator,
    // which asks this object about them, must no longer see them.
    removeEventFilter(m_navigator);
}

bool TarvixCtl::isActive() const
{
    return m_session->isActive();
}

bool TarvixCtl::showsFullDisplay() const
{
    return m_settings.display != 0 && RunView::fitsFullDisplay(size());
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
    m_lastLine.clear(); // the last run's, or why the last Ping started none
    QPointer<TarvixCtl> self(this);
    m_session->start(args.first().toText(), m_settings);
    if (self)
        refresh();
    return DispResult::success();
}

void TarvixCtl::onResolving()
{
    // Active reads non-zero from here until the wait ends; a handler told of
    // it may stop this Ping, start another one or destroy us.
    refresh();
    notifyChanges();
}

void TarvixCtl::onStartRefused(const QString &text, qint32 code)
{
    postError(text, code);
    refresh();
}

void TarvixCtl::endRun()
{
    if (m_engine->isActive()) {
        // What the run has not reported goes, but for the statistics its stop posts.
        m_queue->dropUnraised();
    }
    m_session->stop();
    refresh();
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
    m_lampLook.reset(); // the surface may now be another size
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
    showLine(text);
}

void TarvixCtl::showLine(const QString &line)
{
    m_lastLine = line.trimmed();
    refresh();
}

void TarvixCtl::rescaleChart()
{
    // The chart's width decides which samples are in view; the painter's
    // font is the widget's, so its lines are as high as fontMetrics() says.
    const RunState *run = m_engine->run();
    const int lineHeight = fontMetrics().height();
    m_navigator->setTotal(run ? run->history().total() : 0, RunView::roomyColumns(rect(), lineHeight));
    m_view.update(run, m_navigator->window(), rect(), lineHeight);
    refresh();
}

void TarvixCtl::refresh()
{
    describe();
    // Each reply of a run moves the chart; the lamp changes only when a
    // request is lost after one was answered, or the other way round.
    std::optional<RunView::LampLook> look;
    if (!showsFullDisplay())
        look = RunView::lampLook(snapshot());
    if (!look || look != m_lampLook)
        update();
    m_lampLook = look;
}

void TarvixCtl::describe()
{
    // Worded afresh for every reply, the description cost more than the rest
    // of the reply's bookkeeping. TarvixCtlAccessible words it when a screen
    // reader asks; only a listening one is told that it changed.
    if (QAccessible::isActive())
        setAccessibleDescription(description());
}

QString TarvixCtl::description() const
{
    if (!m_view.readout().isEmpty())
        return m_view.readout();
    const RunView::Snapshot now = snapshot();
    QString text;
    switch (now.phase) {
    case RunView::Phase::Idle: text = m_lastLine.isEmpty() ? tr("Idle, no run yet") : tr("Idle"); break;
    case RunView::Phase::Resolving: text = tr("Looking up the host"); break;
    case RunView::Phase::Starting: text = tr("Starting"); break;
    case RunView::Phase::Running: text = tr("Running"); break;
    case RunView::Phase::Finished: text = tr("Finished"); break;
    }
    if (!now.run && !m_lastLine.isEmpty())
        text += QStringLiteral(": ") + m_lastLine;
    if (now.run) {
        const RunState::Target &target = now.run->target();
        const RunStatistics &s = now.run->statistics();
        text += tr(": host %1, address %2; sent %3, received %4, loss %5%")
                    .arg(PingText::echoed(target.hostName.isEmpty() ? target.hostText : target.hostName),
                         target.address.toString())
                    .arg(s.sent())
                    .arg(s.received())
                    .arg(QString::number(s.lossPercent(), 'f', s.lossPercent() == int(s.lossPercent()) ? 0 : 1));
        if (s.sent() > 0)
            text += now.run->lastRequestReplied() ? tr("; last request answered") : tr("; last request lost");
    }
    return text;
}

RunView::Snapshot TarvixCtl::snapshot() const
{
    RunView::Snapshot snapshot;
    snapshot.run = m_engine->run();
    if (m_session->isResolving())
        snapshot.phase = RunView::Phase::Resolving;
    else if (m_engine->isStarting())
        snapshot.phase = RunView::Phase::Starting;
    else if (m_engine->isActive())
        snapshot.phase = RunView::Phase::Running;
    else if (snapshot.run)
        snapshot.phase = RunView::Phase::Finished;
    if (snapshot.run) {
        const RunState::Target &target = snapshot.run->target();
        const QString address = target.address.toString();
        snapshot.title = target.hostName.isEmpty()
            ? address
            : QStringLiteral("%1 (%2)").arg(PingText::echoed(target.hostName), address);
    }
    snapshot.lastLine = m_lastLine;
    return snapshot;
}

void TarvixCtl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    rescaleChart();
}

void TarvixCtl::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        rescaleChart();
}

void TarvixCtl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_view.paint(painter, rect(), palette(), snapshot(), showsFullDisplay());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
