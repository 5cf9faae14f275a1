// What the chart on the component's surface costs as a run grows: working
// the chart out when a request ends (live, and zoomed out to the whole run)
// and painting it, after 10, 100,000 and a day's 86,400 plus 100,000 requests,
// each as a ratio to the 10-request run measured in the same run. Painting
// should cost the same at any length; working out the whole run grows only
// with what the bounded history holds.
#include "benchreport.h"
#include "runview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include <memory>

namespace {

constexpr qint64 ms = 1000000;
constexpr qint64 s = 1000 * ms;

std::unique_ptr<RunState> runOf(qint64 requests)
{
    PingSettings settings;
    settings.continuous = 1;
    auto run = std::make_unique<RunState>(
        settings, RunState::Target{QStringLiteral("h"), {}, HostAddress(QStringLiteral("192.0.2.7"))}, 1, 1);
    for (qint64 i = 0; i < requests; ++i) {
        run->markSent(run->nextSequence(), 1765000000 * s + i * s, i * s);
        if (i % 7 == 6)
            run->completeLost(false);
        else
            run->completeWithReply((20 + i % 5) * ms, 32, 64);
    }
    return run;
}

struct Cost
{
    double updateLiveUs = 0;
    double updateWholeUs = 0;
    double paintUs = 0;
};

Cost measure(const RunState &run)
{
    const QRect area(0, 0, 704, 224);
    QImage image(area.size(), QImage::Format_RGB32);
    QFont font;
    font.setPixelSize(12);
    const int lineHeight = QFontMetrics(font).height();
    ChartWindow live;
    live.setTotal(run.history().total(), RunView::roomyColumns(area, lineHeight));
    ChartWindow whole = live;
    whole.zoom(-60);
    RunView view;
    RunView::Snapshot snapshot;
    snapshot.phase = RunView::Phase::Running;
    snapshot.run = &run;
    constexpr int rounds = 200;
    Cost cost;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        view.update(&run, whole, area, lineHeight);
    cost.updateWholeUs = double(timer.nsecsElapsed()) / rounds / 1000;
    timer.restart();
    for (int i = 0; i < rounds; ++i)
        view.update(&run, live, area, lineHeight);
    cost.updateLiveUs = double(timer.nsecsElapsed()) / rounds / 1000;
    timer.restart();
    for (int i = 0; i < rounds; ++i) {
        QPainter painter(&image);
        painter.setFont(font);
        view.paint(painter, area, QPalette(), snapshot, true);
    }
    cost.paintUs = double(timer.nsecsElapsed()) / rounds / 1000;
    return cost;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchReport::printHeader(QStringLiteral("Chart cost by run length"), app.arguments());
    measure(*runOf(10)); // warms the caches and the font engine up
    const Cost baseline = measure(*runOf(10));
    for (qint64 requests : {qint64(10), qint64(100000), qint64(186400)}) {
        const Cost cost = measure(*runOf(requests));
        BenchReport::printLine(
            QStringLiteral("%1 requests: paint %2 us (x%3), update live %4 us (x%5), update whole run %6 us (x%7)")
                .arg(requests)
                .arg(cost.paintUs, 0, 'f', 1)
                .arg(cost.paintUs / baseline.paintUs, 0, 'f', 2)
                .arg(cost.updateLiveUs, 0, 'f', 1)
                .arg(cost.updateLiveUs / baseline.updateLiveUs, 0, 'f', 2)
                .arg(cost.updateWholeUs, 0, 'f', 1)
                .arg(cost.updateWholeUs / baseline.updateWholeUs, 0, 'f', 2));
    }
    BenchReport::printLine(QStringLiteral("goal: paint within x1.5 of the 10-request run at any length"));
    return 0;
}
