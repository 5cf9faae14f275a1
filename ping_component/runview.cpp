#include "runview.h"

#include "chartscale.h"
#include "pingtext.h"

#include <QPainter>
#include <QPalette>

namespace {

constexpr int Margin = 4;
constexpr int Gap = 3;

const QColor frameColor(0x9a, 0xa0, 0xa6);
const QColor chartBackground(0xf5, 0xf7, 0xf9);
const QColor gridColor(0xd9, 0xde, 0xe3);
const QColor replyColor(0x2e, 0x9e, 0x4f);
const QColor lostFill(0xf5, 0xc4, 0xc4);
const QColor lostMark(0xd2, 0x3c, 0x3c);
const QColor errorFill(0xfa, 0xdb, 0xae);
const QColor errorMark(0xde, 0x86, 0x00);
const QColor runningColor(0x20, 0x60, 0xd0);
const QColor idleLamp(0xb0, 0xb0, 0xb0);
const QColor quietText(0x5f, 0x66, 0x6d);

QString phaseText(RunView::Phase phase)
{
    switch (phase) {
    case RunView::Phase::Idle: return QStringLiteral("Idle");
    case RunView::Phase::Resolving: return QStringLiteral("Resolving\u2026");
    case RunView::Phase::Running: return QStringLiteral("Running");
    case RunView::Phase::Finished: return QStringLiteral("Finished");
    }
    return {};
}

// Below this the chart is neither drawn nor scaled.
bool chartFits(const QRect &chart)
{
    return chart.height() >= 8 && chart.width() >= 8;
}

// How many of the newest requests the chart has room for.
int samplesInView(const RunState *run, const QRect &chart)
{
    return run ? qMin(run->history().size(), chart.width() / RunView::BarPitch) : 0;
}

// "20 ms", "0.5 ms", "2 s": an axis label.
QString axisLabel(qint64 ns)
{
    if (ns >= 1000000000)
        return QStringLiteral("%1 s").arg(double(ns) / 1e9);
    return QStringLiteral("%1 ms").arg(double(ns) / 1e6);
}

} // namespace

bool RunView::fitsFullDisplay(const QSize &size)
{
    return size.width() >= 240 && size.height() >= 90;
}

RunView::Layout RunView::layout(const QRect &area, int lineHeight)
{
    const QRect inner = area.adjusted(Margin, Margin, -Margin, -Margin);
    Layout parts;
    parts.header = QRect(inner.left(), inner.top(), inner.width(), lineHeight);
    parts.footer = QRect(inner.left(), inner.bottom() - lineHeight + 1, inner.width(), lineHeight);
    parts.statistics = QRect(inner.left(), parts.footer.top() - Gap - 2 * lineHeight, inner.width(), 2 * lineHeight);
    parts.chart = QRect(QPoint(inner.left(), parts.header.bottom() + 1 + Gap),
                        QPoint(inner.right(), parts.statistics.top() - 1 - Gap));
    return parts;
}

QStringList RunView::statisticsLines(const RunStatistics &s)
{
    const QString loss = QString::number(s.lossPercent(), 'f', s.lossPercent() == int(s.lossPercent()) ? 0 : 1);
    QString first = QStringLiteral("Sent %1   Received %2   Loss %3%").arg(s.sent()).arg(s.received()).arg(loss);
    if (s.errors())
        first += QStringLiteral("   Errors %1").arg(s.errors());
    if (!s.received())
        return {first, QStringLiteral("min/avg/max \u2013   jitter \u2013")};
    return {first, QStringLiteral("min/avg/max %1/%2/%3 ms   jitter %4 ms")
                       .arg(PingText::milliseconds(s.minNs()), PingText::milliseconds(qint64(s.meanNs())),
                            PingText::milliseconds(s.maxNs()), PingText::milliseconds(qint64(s.jitterNs())))};
}

void RunView::updateScale(const RunState *run, const QRect &area, int lineHeight)
{
    const QRect chart = layout(area, lineHeight).chart;
    if (!chartFits(chart))
        return;
    const int visible = samplesInView(run, chart);
    qint64 largestNs = 0;
    for (int i = 0; i < visible; ++i) {
        const RunHistory::Sample &sample = run->history().at(run->history().size() - 1 - i);
        if (sample.kind == RunHistory::Sample::Kind::Reply)
            largestNs = qMax(largestNs, sample.rttNs);
    }
    m_scaleTopNs = ChartScale::next(m_scaleTopNs, largestNs);
}

void RunView::paint(QPainter &painter, const QRect &area, const QPalette &palette, const Snapshot &snapshot,
                    bool full) const
{
    if (!full) {
        painter.fillRect(area, palette.window());
        paintLamp(painter, area, snapshot);
        return;
    }
    painter.fillRect(area, palette.base());
    painter.setPen(frameColor);
    painter.drawRect(area.adjusted(0, 0, -1, -1));

    const QFontMetrics metrics = painter.fontMetrics();
    const Layout parts = layout(area, metrics.height());

    // Header: the run's host on the left, its phase on the right.
    const QString phase = phaseText(snapshot.phase);
    const int phaseWidth = metrics.horizontalAdvance(phase);
    painter.setPen(snapshot.phase == Phase::Running || snapshot.phase == Phase::Resolving ? runningColor : quietText);
    painter.drawText(parts.header, Qt::AlignRight | Qt::AlignVCenter, phase);
    painter.save();
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(palette.color(QPalette::Text));
    const QString title = snapshot.title.isEmpty() ? QStringLiteral("No run yet") : snapshot.title;
    painter.drawText(parts.header.adjusted(0, 0, -phaseWidth - 8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(bold).elidedText(title, Qt::ElideMiddle, parts.header.width() - phaseWidth - 8));
    painter.restore();

    paintChart(painter, parts.chart, snapshot);

    painter.setPen(palette.color(QPalette::Text));
    const QStringList lines = snapshot.run ? statisticsLines(snapshot.run->statistics()) : QStringList();
    for (int i = 0; i < lines.size(); ++i) {
        const QRect line(parts.statistics.left(), parts.statistics.top() + i * metrics.height(),
                         parts.statistics.width(), metrics.height());
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(lines[i], Qt::ElideRight, line.width()));
    }
    painter.setPen(quietText);
    painter.drawText(parts.footer, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(snapshot.lastLine, Qt::ElideRight, parts.footer.width()));
}

void RunView::paintChart(QPainter &painter, const QRect &chart, const Snapshot &snapshot) const
{
    painter.fillRect(chart, chartBackground);
    if (!chartFits(chart))
        return;
    const RunHistory *history = snapshot.run ? &snapshot.run->history() : nullptr;
    const int visible = samplesInView(snapshot.run, chart);
    // Never 0 once updated; a view painted before any update still divides safely.
    const qint64 topNs = qMax(m_scaleTopNs, ChartScale::MinimumTopNs);

    // Grid at the top and the middle of the axis, labelled small once there
    // is something to measure against it.
    QFont small = painter.font();
    if (small.pixelSize() > 0)
        small.setPixelSize(qMax(8, small.pixelSize() * 85 / 100));
    else
        small.setPointSizeF(small.pointSizeF() * 0.85);
    painter.setPen(gridColor);
    const int middle = chart.top() + chart.height() / 2;
    if (visible > 0) {
        painter.drawLine(chart.left(), middle, chart.right(), middle);
        painter.drawLine(chart.left(), chart.top(), chart.right(), chart.top());
    }

    const int barWidth = BarPitch - 1;
    for (int i = 0; i < visible; ++i) {
        const RunHistory::Sample &sample = history->at(history->size() - 1 - i);
        const int x = chart.right() - (i + 1) * BarPitch + 1;
        switch (sample.kind) {
        case RunHistory::Sample::Kind::Reply: {
            const double share = qMin(1.0, double(sample.rttNs) / double(topNs));
            const int height = qMax(1, int(share * chart.height() + 0.5));
            painter.fillRect(QRect(x, chart.bottom() - height + 1, barWidth, height), replyColor);
            break;
        }
        case RunHistory::Sample::Kind::Lost:
        case RunHistory::Sample::Kind::Error: {
            const bool error = sample.kind == RunHistory::Sample::Kind::Error;
            painter.fillRect(QRect(x, chart.top(), barWidth, chart.height()), error ? errorFill : lostFill);
            painter.fillRect(QRect(x, chart.top(), barWidth, 3), error ? errorMark : lostMark);
            break;
        }
        }
    }

    painter.save();
    painter.setFont(small);
    painter.setPen(quietText);
    const QRect labels = chart.adjusted(3, 1, -3, -1);
    if (visible > 0) {
        painter.drawText(labels, Qt::AlignLeft | Qt::AlignTop, axisLabel(topNs));
        painter.drawText(QRect(labels.left(), middle + 1, labels.width(), labels.bottom() - middle),
                         Qt::AlignLeft | Qt::AlignTop, axisLabel(topNs / 2));
    } else {
        const QString empty = snapshot.phase == Phase::Idle ? QStringLiteral("Round trips of the next run show here")
                                                            : QStringLiteral("Waiting for the first reply");
        painter.drawText(chart, Qt::AlignCenter, empty);
    }
    painter.restore();
}

void RunView::paintLamp(QPainter &painter, const QRect &area, const Snapshot &snapshot) const
{
    // Grey before any request ended, green when the last one was answered,
    // red when it was lost; a blue ring while a run is in progress.
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = idleLamp;
    if (snapshot.run && snapshot.run->statistics().sent() > 0)
        fill = snapshot.run->lastRequestReplied() ? replyColor : lostMark;
    const bool busy = snapshot.phase == Phase::Running || snapshot.phase == Phase::Resolving;
    const int side = qMin(area.width(), area.height()) - 4;
    const QRectF lamp(area.left() + (area.width() - side) / 2.0, area.top() + (area.height() - side) / 2.0, side, side);
    painter.setPen(QPen(busy ? runningColor : QColor(0x60, 0x60, 0x60), busy ? 3 : 1));
    painter.setBrush(fill);
    painter.drawEllipse(lamp);
}
