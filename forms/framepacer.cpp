#include "framepacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

constexpr double FallbackRefreshHz = 60.0;
constexpr int ShortestFrameMs = 4;
constexpr int LongestFrameMs = 50;

} // namespace

FramePacer::FramePacer(QWidget *window) : QObject(window), m_window(window)
{
    m_held.setSingleShot(true);
    m_held.setTimerType(Qt::PreciseTimer);
    connect(&m_held, &QTimer::timeout, this, &FramePacer::paintHeld);
    m_window->installEventFilter(this);
}

int FramePacer::frameIntervalMs() const
{
    const QScreen *screen = m_window->screen();
    const double hz = screen && screen->refreshRate() > 1.0 ? screen->refreshRate() : FallbackRefreshHz;
    return std::clamp(int(std::lround(1000.0 / hz)), ShortestFrameMs, LongestFrameMs);
}

bool FramePacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_passing)
        return false;
    const int frame = frameIntervalMs();
    if (!m_sinceLastPaint.isValid() || m_sinceLastPaint.elapsed() >= frame) {
        if (m_held.isActive())
            m_held.stop();
        m_sinceLastPaint.start();
        return false;
    }
    // Qt asks once for all the changes until it has painted: the held
    // request stands for every change until the frame is due.
    if (!m_held.isActive())
        m_held.start(int(std::max<qint64>(0, frame - m_sinceLastPaint.elapsed())));
    return true;
}

void FramePacer::paintHeld()
{
    m_sinceLastPaint.start();
    m_passing = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_passing = false;
}
