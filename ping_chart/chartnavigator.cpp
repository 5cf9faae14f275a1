#include "chartnavigator.h"

#include "runstate.h"
#include "runtranscript.h"
#include "runview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

ChartNavigator::ChartNavigator(QObject *surface, const RunView &view, RunSource run, ChartShown chartShown)
    : QObject(surface), m_surface(surface), m_view(view), m_run(std::move(run)), m_chartShown(std::move(chartShown))
{
}

void ChartNavigator::goLive()
{
    changeWindow([](ChartWindow &w) { w.goLive(); });
    m_hoverCursor = false;
}

void ChartNavigator::changeWindow(const std::function<void(ChartWindow &)> &change)
{
    change(m_window);
    emit changed();
}

double ChartNavigator::pixelsPerRequest() const
{
    return double(qMax(1, m_view.chartRect().width())) / double(qMax<qint64>(1, m_window.span()));
}

void ChartNavigator::copyText() const
{
    if (const RunState *run = m_run())
        QGuiApplication::clipboard()->setText(RunTranscript::text(*run));
}

void ChartNavigator::copyCsv() const
{
    if (const RunState *run = m_run())
        QGuiApplication::clipboard()->setText(RunTranscript::csv(*run));
}

bool ChartNavigator::canGoLive() const
{
    return !m_window.isLive() || m_window.isZoomed() || m_window.cursor().has_value();
}

bool ChartNavigator::eventFilter(QObject *watched, QEvent *event)
{
    return watched == m_surface && handle(event);
}

bool ChartNavigator::handle(QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        return keyPressed(static_cast<QKeyEvent *>(event));
    if (!m_chartShown())
        return false;
    switch (event->type()) {
    case QEvent::Wheel: {
        auto *wheel = static_cast<QWheelEvent *>(event);
        // 120 units make one notch; touchpads send less at a time.
        m_wheelRemainder += wheel->angleDelta().y();
        const int steps = m_wheelRemainder / 120;
        m_wheelRemainder -= steps * 120;
        if (steps) {
            const QRect chart = m_view.chartRect();
            const double anchor = chart.width() > 0 ? (wheel->position().x() - chart.left()) / chart.width() : 1.0;
            changeWindow([&](ChartWindow &w) { w.zoom(steps, anchor); });
        }
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_dragging = true;
        m_pressPoint = mouse->position().toPoint();
        m_pressWindow = m_window;
        emit focusWanted();
        return true;
    }
    case QEvent::MouseMove:
    case QEvent::HoverMove: {
        auto *mouse = static_cast<QSinglePointEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        if (m_dragging && (mouse->buttons() & Qt::LeftButton)) {
            // Dragging right pulls the past into view.
            const qint64 requests = std::llround(double(at.x() - m_pressPoint.x()) / pixelsPerRequest());
            ChartWindow moved = m_pressWindow;
            moved.clearCursor();
            moved.scroll(-requests);
            changeWindow([&](ChartWindow &w) { w = moved; });
            return true;
        }
        const std::optional<qint64> ordinal =
            m_view.chartRect().contains(at) ? m_view.ordinalAt(at.x()) : std::nullopt;
        if (ordinal) {
            // A new column only: moving within one changes nothing.
            if (!m_hoverCursor || m_window.cursor() != ordinal) {
                m_hoverCursor = true;
                changeWindow([&](ChartWindow &w) { w.setCursor(*ordinal, false); });
            }
        } else if (m_hoverCursor) {
            m_hoverCursor = false;
            changeWindow([](ChartWindow &w) { w.clearCursor(); });
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        return false;
    case QEvent::MouseButtonDblClick:
        goLive();
        return true;
    case QEvent::Leave:
    case QEvent::HoverLeave:
        if (m_hoverCursor) {
            m_hoverCursor = false;
            changeWindow([](ChartWindow &w) { w.clearCursor(); });
        }
        return false;
    default:
        return false;
    }
}

bool ChartNavigator::keyPressed(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copyText();
        return true;
    }
    if (!m_chartShown() || m_window.total() == 0)
        return false;
    const qint64 half = qMax<qint64>(1, m_window.span() / 2);
    m_hoverCursor = false;
    switch (event->key()) {
    case Qt::Key_Left: changeWindow([](ChartWindow &w) { w.moveCursor(-1); }); return true;
    case Qt::Key_Right: changeWindow([](ChartWindow &w) { w.moveCursor(1); }); return true;
    case Qt::Key_Home: changeWindow([](ChartWindow &w) { w.setCursor(0); }); return true;
    case Qt::Key_PageUp: changeWindow([&](ChartWindow &w) { w.scroll(-half); }); return true;
    case Qt::Key_PageDown: changeWindow([&](ChartWindow &w) { w.scroll(half); }); return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal: changeWindow([](ChartWindow &w) { w.zoom(1); }); return true;
    case Qt::Key_Minus: changeWindow([](ChartWindow &w) { w.zoom(-1); }); return true;
    case Qt::Key_End: goLive(); return true;
    case Qt::Key_Escape:
        // Only when there is something to return from; otherwise the form's.
        if (m_window.isLive() && !m_window.isZoomed() && !m_window.cursor())
            return false;
        goLive();
        return true;
    default: return false;
    }
}
