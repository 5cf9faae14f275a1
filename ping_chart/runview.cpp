#include "runview.h"

#include "chartscale.h"
#include "pingtext.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Margin = 4;
constexpr int Gap = 3;

// The lamp's fills carry their meaning on any palette: grey before any
// request ended, green for an answer, red for a loss.
const QColor idleLamp(0xb0, 0xb0, 0xb0);
const QColor replyLamp(0x2e, 0x9e, 0x4f);
const QColor lostLamp(0xd2, 0x3c, 0x3c);

// WCAG 2.1's relative luminance.
double luminance(const QColor &color)
{
    const auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

QColor mix(const QColor &a, const QColor &b, double shareOfB)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * shareOfB),
                            float(a.greenF() + (b.greenF() - a.greenF()) * shareOfB),
                            float(a.blueF() + (b.blueF() - a.blueF()) * shareOfB));
}

// color, moved toward the end of the scale away from background (black on a
// light one, white on a dark one) in small steps until it stands ratio:1
// against it.
QColor standingOut(QColor color, const QColor &background, double ratio)
{
    const QColor away = luminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 0; step < 40 && RunView::contrast(color, background) < ratio; ++step)
        color = mix(color, away, 0.05);
    return color;
}

constexpr qint64 second = 1000000000;

QString phaseText(RunView::Phase phase)
{
    switch (phase) {
    case RunView::Phase::Idle: return RunView::tr("Idle");
    case RunView::Phase::Resolving: return RunView::tr("Resolving…");
    case RunView::Phase::Starting: return RunView::tr("Starting…");
    case RunView::Phase::Running: return RunView::tr("Running");
    case RunView::Phase::Finished: return RunView::tr("Finished");
    }
    return {};
}

// Below this the chart is neither drawn nor worked out.
bool chartFits(const QRect &chart)
{
    return chart.height() >= 8 && chart.width() >= 8;
}

// "20 ms", "0.5 ms", "2 s": a y-axis label.
QString axisLabel(qint64 ns)
{
    if (ns >= second)
        return QStringLiteral("%1 s").arg(double(ns) / 1e9);
    return QStringLiteral("%1 ms").arg(double(ns) / 1e6);
}

// "-30 s", "-2 min", "-1 h", "-2 d": a time-axis label, before the newest request.
QString agoLabel(qint64 ns)
{
    if (ns <= 0)
        return RunView::tr("now");
    const qint64 s = ns / second;
    if (s < 60)
        return QStringLiteral("-%1 s").arg(s);
    if (s < 3600)
        return s % 60 ? QStringLiteral("-%1 min %2 s").arg(s / 60).arg(s % 60) : QStringLiteral("-%1 min").arg(s / 60);
    if (s < 86400)
        return s % 3600 ? QStringLiteral("-%1 h %2 min").arg(s / 3600).arg(s % 3600 / 60)
                        : QStringLiteral("-%1 h").arg(s / 3600);
    return s % 86400 ? QStringLiteral("-%1 d %2 h").arg(s / 86400).arg(s % 86400 / 3600)
                     : QStringLiteral("-%1 d").arg(s / 86400);
}

QFont smallFont(QFont font)
{
    if (font.pixelSize() > 0)
        font.setPixelSize(qMax(8, font.pixelSize() * 85 / 100));
    else
        font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

} // namespace

bool RunView::fitsFullDisplay(const QSize &size)
{
    return size.width() >= 240 && size.height() >= 90;
}

RunView::Layout RunView::layout(const QRect &area, int lineHeight)
{
    const QRect inner = area.adjusted(Margin, Margin, -Margin, -Margin);
    // The axis labels are in a font of 85%.
    const int axisHeight = qMax(8, lineHeight * 85 / 100);
    Layout parts;
    parts.header = QRect(inner.left(), inner.top(), inner.width(), lineHeight);
    parts.footer = QRect(inner.left(), inner.bottom() - lineHeight + 1, inner.width(), lineHeight);
    parts.statistics = QRect(inner.left(), parts.footer.top() - Gap - 2 * lineHeight, inner.width(), 2 * lineHeight);
    parts.timeAxis = QRect(inner.left(), parts.statistics.top() - Gap - axisHeight, inner.width(), axisHeight);
    parts.chart = QRect(QPoint(inner.left(), parts.header.bottom() + 1 + Gap),
                        QPoint(inner.right(), parts.timeAxis.top() - 1));
    return parts;
}

qint64 RunView::roomyColumns(const QRect &area, int lineHeight)
{
    return qMax(1, layout(area, lineHeight).chart.width() / RoomyPitch);
}

QStringList RunView::statisticsLines(const RunStatistics &s)
{
    const QString loss = QString::number(s.lossPercent(), 'f', s.lossPercent() == int(s.lossPercent()) ? 0 : 1);
    QString first = tr("Sent %1   Received %2   Loss %3%").arg(s.sent()).arg(s.received()).arg(loss);
    if (s.errors())
        first += tr("   Errors %1").arg(s.errors());
    if (!s.received())
        return {first, tr("min/avg/max/p95 –   jitter –")};
    return {first, tr("min/avg/max/p95 %1/%2/%3/%4 ms   jitter %5 ms")
                       .arg(PingText::milliseconds(s.minNs()), PingText::milliseconds(qint64(s.meanNs())),
                            PingText::milliseconds(s.maxNs()), PingText::milliseconds(s.percentileNs(95)),
                            PingText::milliseconds(qint64(s.jitterNs())))};
}

void RunView::update(const RunState *run, const ChartWindow &window, const QRect &area, int lineHeight)
{
    m_chart = layout(area, lineHeight).chart;
    m_columns.clear();
    m_ticks.clear();
    m_cursorColumn.reset();
    m_readout.clear();
    if (!chartFits(m_chart) || !run || run->history().isEmpty())
        return;
    const RunHistory &history = run->history();
    const qint64 span = window.span();
    const qint64 end = qMin(window.end(), history.total());
    const int width = m_chart.width();
    const int right = m_chart.right() + 1;

    // One request per column while each gets MinimumPitch pixels; past that,
    // each column sums up the requests of its share of the window.
    const qint64 most = width / MinimumPitch;
    const bool single = span <= most;
    const qint64 count = single ? span : most;
    const int pitch = single ? int(width / span) : MinimumPitch;
    const int barWidth = pitch >= 6 ? pitch - 2 : pitch - 1;
    m_pitch = pitch;
    qint64 largestNs = 0;
    for (qint64 c = 0; c < count; ++c) {
        Column column;
        column.end = single ? end - c : end - c * span / count;
        column.first = single ? column.end - 1 : end - (c + 1) * span / count;
        if (column.end <= 0)
            break;
        column.first = qMax<qint64>(column.first, 0);
        if (column.first >= column.end)
            continue;
        column.summary = history.summary(column.first, column.end);
        column.x = right - int(c + 1) * pitch;
        column.width = barWidth;
        largestNs = qMax(largestNs, column.summary.maxRttNs);
        m_columns.push_back(column);
    }
    m_scaleTopNs = ChartScale::next(m_scaleTopNs, largestNs);
    updateTicks(history, qMax<qint64>(0, end - span), end, double(pitch) * double(count) / double(span));

    const std::optional<qint64> &cursor = window.cursor();
    if (!cursor)
        return;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const Column &column = m_columns[i];
        if (*cursor < column.first || *cursor >= column.end)
            continue;
        m_cursorColumn = i;
        const RunHistory::Sample *sample = column.end - column.first == 1 ? history.exact(column.first) : nullptr;
        m_readout = sample ? PingText::requestReadout(run->target(), run->settings().timeout, *sample)
                           : PingText::summaryReadout(column.summary);
        break;
    }
}

void RunView::updateTicks(const RunHistory &history, qint64 begin, qint64 end, double pixelsPerRequest)
{
    if (end <= begin)
        return;
    const qint64 nowNs = history.timeOf(history.total() - 1);
    const qint64 leftNs = history.timeOf(begin);
    const qint64 rightNs = history.timeOf(end - 1);
    const int right = m_chart.right() + 1;
    const auto xOf = [&](qint64 ordinal) {
        // The middle of the request's column.
        return right - int(std::lround((double(end - ordinal) - 0.5) * pixelsPerRequest));
    };
    const double shownPixels = double(end - begin) * pixelsPerRequest;
    const qint64 shownNs = rightNs - leftNs;
    // Labels about 70 pixels apart at least, on round times before now.
    static constexpr qint64 steps[] = {
        1 * second,    2 * second,     5 * second,     10 * second,    15 * second,    30 * second,
        60 * second,   120 * second,   300 * second,   600 * second,   900 * second,   1800 * second,
        3600 * second, 7200 * second,  10800 * second, 21600 * second, 43200 * second, 86400 * second,
        2 * 86400 * second, 7 * 86400 * second, 30 * 86400 * second};
    qint64 step = steps[std::size(steps) - 1];
    if (shownNs > 0) {
        for (qint64 candidate : steps) {
            if (double(candidate) / double(shownNs) * shownPixels >= 70) {
                step = candidate;
                break;
            }
        }
    }
    const qint64 firstK = (nowNs - rightNs + step - 1) / step;
    for (qint64 k = firstK; nowNs - k * step >= leftNs && m_ticks.size() < 64; ++k) {
        const qint64 ordinal = history.ordinalAt(nowNs - k * step);
        if (ordinal < begin || ordinal >= end)
            continue;
        const int x = xOf(ordinal);
        if (!m_ticks.empty() && m_ticks.back().x - x < 40)
            continue; // irregular sending crowded two labels together
        m_ticks.push_back({x, agoLabel(k * step)});
    }
}

std::optional<qint64> RunView::ordinalAt(int x) const
{
    for (const Column &column : m_columns) {
        if (x >= column.x && x < column.x + m_pitch)
            return column.end - 1;
    }
    return std::nullopt;
}

double RunView::contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

RunView::Colors RunView::colors(const QPalette &palette)
{
    Colors c;
    c.background = palette.color(QPalette::Base);
    c.text = palette.color(QPalette::Text);
    const bool dark = luminance(c.background) <= 0.18;
    c.chart = mix(c.background, c.text, 0.04);
    c.grid = mix(c.chart, c.text, 0.14);
    c.frame = mix(c.background, c.text, 0.4);
    // Quiet, yet readable on the chart and on the base.
    c.quietText = standingOut(standingOut(mix(c.background, c.text, 0.6), c.chart, 4.6), c.background, 4.6);
    // The colours that mean something, in a shade for the ground they stand on.
    c.reply = standingOut(dark ? QColor(0x4c, 0xc3, 0x6e) : QColor(0x2e, 0x9e, 0x4f), c.chart, 3.1);
    c.replySpread = standingOut(dark ? c.reply.lighter(130) : c.reply.darker(130), c.chart, 3.1);
    c.lostMark = standingOut(dark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xd2, 0x3c, 0x3c), c.chart, 3.1);
    c.errorMark = standingOut(dark ? QColor(0xff, 0xa8, 0x2e) : QColor(0xc7, 0x77, 0x00), c.chart, 3.1);
    c.lostFill = mix(c.chart, c.lostMark, 0.3);
    c.errorFill = mix(c.chart, c.errorMark, 0.3);
    c.active = standingOut(standingOut(dark ? QColor(0x7a, 0xb0, 0xff) : QColor(0x20, 0x60, 0xd0), c.chart, 4.6),
                           c.background, 4.6);
    c.lampFrame = mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.6);
    return c;
}

void RunView::paint(QPainter &painter, const QRect &area, const QPalette &palette, const Snapshot &snapshot,
                    bool full) const
{
    const Colors colors = RunView::colors(palette);
    if (!full) {
        painter.fillRect(area, palette.window());
        paintLamp(painter, area, snapshot, colors);
        return;
    }
    painter.fillRect(area, colors.background);
    painter.setPen(colors.frame);
    painter.drawRect(area.adjusted(0, 0, -1, -1));

    const QFontMetrics metrics = painter.fontMetrics();
    const Layout parts = layout(area, metrics.height());

    // Header: the run's host on the left, its phase on the right.
    const QString phase = phaseText(snapshot.phase);
    const int phaseWidth = metrics.horizontalAdvance(phase);
    painter.setPen(snapshot.phase != Phase::Idle && snapshot.phase != Phase::Finished ? colors.active
                                                                                       : colors.quietText);
    painter.drawText(parts.header, Qt::AlignRight | Qt::AlignVCenter, phase);
    painter.save();
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(colors.text);
    const QString title = snapshot.title.isEmpty() ? tr("No run yet") : snapshot.title;
    painter.drawText(parts.header.adjusted(0, 0, -phaseWidth - 8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(bold).elidedText(title, Qt::ElideMiddle, parts.header.width() - phaseWidth - 8));
    painter.restore();

    paintChart(painter, parts.chart, snapshot, colors);
    paintTimeAxis(painter, parts.timeAxis, colors);

    painter.setPen(colors.text);
    const QStringList lines = snapshot.run ? statisticsLines(snapshot.run->statistics()) : QStringList();
    for (int i = 0; i < lines.size(); ++i) {
        const QRect line(parts.statistics.left(), parts.statistics.top() + i * metrics.height(),
                         parts.statistics.width(), metrics.height());
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(lines[i], Qt::ElideRight, line.width()));
    }
    // The picked request replaces the last line while the cursor is on it.
    painter.setPen(m_readout.isEmpty() ? colors.quietText : colors.active);
    painter.drawText(parts.footer, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(m_readout.isEmpty() ? snapshot.lastLine : m_readout, Qt::ElideRight,
                                        parts.footer.width()));
}

void RunView::paintChart(QPainter &painter, const QRect &chart, const Snapshot &snapshot, const Colors &colors) const
{
    painter.fillRect(chart, colors.chart);
    if (!chartFits(chart))
        return;
    // Never 0 once updated; a view painted before any update still divides safely.
    const qint64 topNs = qMax(m_scaleTopNs, ChartScale::MinimumTopNs);
    const bool any = !m_columns.empty() && snapshot.run;

    painter.setPen(colors.grid);
    const int middle = chart.top() + chart.height() / 2;
    if (any) {
        painter.drawLine(chart.left(), middle, chart.right(), middle);
        painter.drawLine(chart.left(), chart.top(), chart.right(), chart.top());
        for (const Tick &tick : m_ticks)
            painter.drawLine(tick.x, chart.top(), tick.x, chart.bottom());
    }

    painter.setClipRect(chart);
    for (const Column &column : m_columns) {
        const RunHistory::Summary &s = column.summary;
        if (s.lost > 0) {
            // Any loss fills the column, marked at the top; an error is orange.
            const bool error = s.errors > 0 && s.errors == s.lost;
            painter.fillRect(QRect(column.x, chart.top(), column.width, chart.height()), error ? colors.errorFill : colors.lostFill);
            painter.fillRect(QRect(column.x, chart.top(), column.width, 3), error ? colors.errorMark : colors.lostMark);
        }
        if (s.replies() > 0) {
            const auto heightOf = [&](qint64 ns) {
                const double share = qMin(1.0, double(ns) / double(topNs));
                return qMax(1, int(share * chart.height() + 0.5));
            };
            const int high = heightOf(s.maxRttNs);
            painter.fillRect(QRect(column.x, chart.bottom() - high + 1, column.width, high), colors.reply);
            // A column of many requests shows their spread: darker up to the smallest.
            if (s.count > 1 && s.minRttNs < s.maxRttNs) {
                const int low = heightOf(s.minRttNs);
                painter.fillRect(QRect(column.x, chart.bottom() - low + 1, column.width, low), colors.replySpread);
            }
        }
    }
    if (m_cursorColumn) {
        const Column &column = m_columns[*m_cursorColumn];
        painter.setPen(QPen(colors.active, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(column.x - 1, chart.top(), column.width + 1, chart.height() - 1));
    }
    painter.setClipping(false);

    painter.save();
    painter.setFont(smallFont(painter.font()));
    painter.setPen(colors.quietText);
    const QRect labels = chart.adjusted(3, 1, -3, -1);
    if (any) {
        painter.drawText(labels, Qt::AlignLeft | Qt::AlignTop, axisLabel(topNs));
        painter.drawText(QRect(labels.left(), middle + 1, labels.width(), labels.bottom() - middle),
                         Qt::AlignLeft | Qt::AlignTop, axisLabel(topNs / 2));
    } else {
        const QString empty = snapshot.phase == Phase::Idle ? tr("Round trips of the next run show here")
                                                            : tr("Waiting for the first reply");
        painter.drawText(chart, Qt::AlignCenter, empty);
    }
    painter.restore();
}

void RunView::paintTimeAxis(QPainter &painter, const QRect &axis, const Colors &colors) const
{
    painter.save();
    painter.setFont(smallFont(painter.font()));
    painter.setPen(colors.quietText);
    const QFontMetrics metrics = painter.fontMetrics();
    for (const Tick &tick : m_ticks) {
        const int width = metrics.horizontalAdvance(tick.label);
        // Centred on its line, kept inside the axis.
        const int left = qBound(axis.left(), tick.x - width / 2, axis.right() + 1 - width);
        painter.drawText(QRect(left, axis.top(), width, axis.height()), Qt::AlignCenter, tick.label);
    }
    painter.restore();
}

RunView::LampLook RunView::lampLook(const Snapshot &snapshot)
{
    // Grey before any request ended, green when the last one was answered,
    // red when it was lost; a blue ring while a run is in progress.
    LampLook look;
    look.fill = idleLamp.rgb();
    if (snapshot.run && snapshot.run->statistics().sent() > 0)
        look.fill = (snapshot.run->lastRequestReplied() ? replyLamp : lostLamp).rgb();
    look.busy = snapshot.phase != Phase::Idle && snapshot.phase != Phase::Finished;
    return look;
}

void RunView::paintLamp(QPainter &painter, const QRect &area, const Snapshot &snapshot, const Colors &colors) const
{
    const LampLook look = lampLook(snapshot);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(area.width(), area.height()) - 4;
    const QRectF lamp(area.left() + (area.width() - side) / 2.0, area.top() + (area.height() - side) / 2.0, side, side);
    painter.setPen(QPen(look.busy ? colors.active : colors.lampFrame, look.busy ? 3 : 1));
    painter.setBrush(QColor(look.fill));
    painter.drawEllipse(lamp);
}
