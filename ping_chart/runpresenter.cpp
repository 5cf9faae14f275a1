#include "runpresenter.h"

#include "chartnavigator.h"
#include "pinger_p.h"
#include "pingengine.h"
#include "pingsession.h"
#include "pingtext.h"

#include <QAccessible>
#include <QPainter>

RunPresenter::RunPresenter(ChartSurface *surface, const PingSession *session, bool chartWanted, QObject *parent)
    : QObject(parent)
    , m_surface(surface)
    , m_session(session)
    , m_chartWanted(chartWanted)
    , m_navigator(new ChartNavigator(
          parent, m_view, [this] { return m_session->engine()->run(); }, [this] { return showsChart(); }))
{
    connect(m_navigator, &ChartNavigator::changed, this, &RunPresenter::rescale);
    follow();
}

void RunPresenter::setSession(const PingSession *session)
{
    if (session == m_session)
        return;
    m_session = session;
    follow();
    m_navigator->goLive();
    rescale();
}

void RunPresenter::followPinger(Tarvix::Pinger *pinger)
{
    using Tarvix::Pinger;
    for (const auto &connection : std::as_const(m_pingerLines))
        disconnect(connection);
    m_pingerLines.clear();
    m_pingerLines << connect(pinger, &Pinger::activeChanged, this,
                             [this](bool active) {
                                 // A new start: the last run's line goes.
                                 if (active)
                                     clearLine();
                                 refresh();
                             })
                  << connect(pinger, &Pinger::resultReady, this,
                             [this](const Tarvix::PingResult &result) { showLine(result.line()); })
                  << connect(pinger, &Pinger::errorOccurred, this,
                             [this, pinger] { showLine(pinger->errorString()); });
    setSession(Tarvix::PingerPrivate::get(pinger)->session);
}

void RunPresenter::follow()
{
    for (const auto &connection : std::as_const(m_followed))
        disconnect(connection);
    m_followed.clear();
    // The chart's axis follows the samples as they come: a new run, and each
    // request's end however it ended. Painting only reads it.
    const PingEngine *engine = m_session->engine();
    m_followed << connect(engine, &PingEngine::finished, this, &RunPresenter::rescale)
               << connect(engine, &PingEngine::started, m_navigator, &ChartNavigator::goLive)
               << connect(engine, &PingEngine::started, this, &RunPresenter::rescale)
               << connect(engine, &PingEngine::replied, this, &RunPresenter::rescale)
               << connect(engine, &PingEngine::timedOut, this, &RunPresenter::rescale)
               << connect(engine, &PingEngine::requestFailed, this, &RunPresenter::rescale)
               << connect(engine, &PingEngine::transmitFailed, this, &RunPresenter::rescale);
}

void RunPresenter::setChartWanted(bool wanted)
{
    m_chartWanted = wanted;
    forgetLamp();
}

bool RunPresenter::showsChart() const
{
    return m_chartWanted && RunView::fitsFullDisplay(m_surface->surfaceRect().size());
}

void RunPresenter::showLine(const QString &line)
{
    m_lastLine = line.trimmed();
    refresh();
}

void RunPresenter::rescale()
{
    // The chart's width decides which samples are in view.
    const RunState *run = m_session->engine()->run();
    const QRect area = m_surface->surfaceRect();
    const int lineHeight = m_surface->lineHeight();
    m_navigator->setTotal(run ? run->history().total() : 0, RunView::roomyColumns(area, lineHeight));
    m_view.update(run, m_navigator->window(), area, lineHeight);
    refresh();
}

void RunPresenter::refresh()
{
    describe();
    // Each reply of a run moves the chart; the lamp changes only when a
    // request is lost after one was answered, or the other way round.
    std::optional<RunView::LampLook> look;
    if (!showsChart())
        look = RunView::lampLook(snapshot());
    if (!look || look != m_lampLook)
        m_surface->repaintSurface();
    m_lampLook = look;
}

void RunPresenter::describe()
{
    // Worded afresh for every reply, the description cost more than the rest
    // of the reply's bookkeeping. The accessible interface words it when a
    // screen reader asks; only a listening one is told that it changed.
    if (QAccessible::isActive())
        m_surface->describeSurface(description());
}

QString RunPresenter::description() const
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

RunView::Snapshot RunPresenter::snapshot() const
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

void RunPresenter::paint(QPainter &painter, const QPalette &palette) const
{
    m_view.paint(painter, m_surface->surfaceRect(), palette, snapshot(), showsChart());
}
