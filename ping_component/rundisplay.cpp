#include "rundisplay.h"

#include "chartnavigator.h"
#include "pingengine.h"
#include "pingsession.h"
#include "pingtext.h"
#include "rundisplayaccessible.h"

#include <QAccessible>
#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWidget>

RunDisplay::RunDisplay(QWidget *surface, const PingSession *session, bool chartWanted)
    : QObject(surface)
    , m_surface(surface)
    , m_session(session)
    , m_chartWanted(chartWanted)
    , m_navigator(new ChartNavigator(
          surface, m_view, [this] { return m_session->engine()->run(); }, [this] { return showsChart(); }))
{
    static const bool accessible = [] {
        QAccessible::installFactory(&RunDisplayAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
    // Every pixel is painted each time: nothing to erase first, nothing to flicker.
    surface->setAttribute(Qt::WA_OpaquePaintEvent);
    // A stop in the form's tab order; a click on the chart gives it the keys too.
    surface->setFocusPolicy(Qt::StrongFocus);
    connect(m_navigator, &ChartNavigator::changed, this, &RunDisplay::rescale);
    follow();
    describe();
}

RunDisplay::~RunDisplay()
{
    // QWidget's destructor still sends events (a focus out): the navigator,
    // which asks the surface about them, must no longer see them.
    m_surface->removeEventFilter(m_navigator);
}

RunDisplay *RunDisplay::of(QObject *surface)
{
    return surface ? surface->findChild<RunDisplay *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void RunDisplay::setSession(const PingSession *session)
{
    if (session == m_session)
        return;
    m_session = session;
    follow();
    m_navigator->goLive();
    rescale();
}

void RunDisplay::follow()
{
    for (const auto &connection : std::as_const(m_followed))
        disconnect(connection);
    m_followed.clear();
    // The chart's axis follows the samples as they come: a new run, and each
    // request's end however it ended. Painting only reads it.
    const PingEngine *engine = m_session->engine();
    m_followed << connect(engine, &PingEngine::finished, this, &RunDisplay::rescale)
               << connect(engine, &PingEngine::started, m_navigator, &ChartNavigator::goLive)
               << connect(engine, &PingEngine::started, this, &RunDisplay::rescale)
               << connect(engine, &PingEngine::replied, this, &RunDisplay::rescale)
               << connect(engine, &PingEngine::timedOut, this, &RunDisplay::rescale)
               << connect(engine, &PingEngine::requestFailed, this, &RunDisplay::rescale)
               << connect(engine, &PingEngine::transmitFailed, this, &RunDisplay::rescale);
}

void RunDisplay::setChartWanted(bool wanted)
{
    m_chartWanted = wanted;
    forgetLamp();
}

bool RunDisplay::showsChart() const
{
    return m_chartWanted && RunView::fitsFullDisplay(m_surface->size());
}

void RunDisplay::showLine(const QString &line)
{
    m_lastLine = line.trimmed();
    refresh();
}

void RunDisplay::rescale()
{
    // The chart's width decides which samples are in view; the painter's
    // font is the widget's, so its lines are as high as fontMetrics() says.
    const RunState *run = m_session->engine()->run();
    const QRect area = m_surface->rect();
    const int lineHeight = m_surface->fontMetrics().height();
    m_navigator->setTotal(run ? run->history().total() : 0, RunView::roomyColumns(area, lineHeight));
    m_view.update(run, m_navigator->window(), area, lineHeight);
    refresh();
}

void RunDisplay::refresh()
{
    describe();
    // Each reply of a run moves the chart; the lamp changes only when a
    // request is lost after one was answered, or the other way round.
    std::optional<RunView::LampLook> look;
    if (!showsChart())
        look = RunView::lampLook(snapshot());
    if (!look || look != m_lampLook)
        m_surface->update();
    m_lampLook = look;
}

void RunDisplay::describe()
{
    // Worded afresh for every reply, the description cost more than the rest
    // of the reply's bookkeeping. The accessible interface words it when a
    // screen reader asks; only a listening one is told that it changed.
    if (QAccessible::isActive())
        m_surface->setAccessibleDescription(description());
}

QString RunDisplay::description() const
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

RunView::Snapshot RunDisplay::snapshot() const
{
    const PingEngine *engine = m_session->engine();
    RunView::Snapshot snapshot;
    snapshot.run = engine->run();
    if (m_session->isResolving())
        snapshot.phase = RunView::Phase::Resolving;
    else if (engine->isStarting())
        snapshot.phase = RunView::Phase::Starting;
    else if (engine->isActive())
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

void RunDisplay::changed(int eventType)
{
    if (eventType == QEvent::FontChange)
        rescale();
}

void RunDisplay::paint()
{
    QPainter painter(m_surface);
    m_view.paint(painter, m_surface->rect(), m_surface->palette(), snapshot(), showsChart());
    if (m_surface->hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(m_surface);
        option.rect = m_surface->rect().adjusted(2, 2, -2, -2);
        m_surface->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, m_surface);
    }
}
