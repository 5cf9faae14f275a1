// What the chart on the component's surface costs as a run grows: working
// the chart out when a request ends (live, and zoomed out to the whole run)
// and painting it, after 10, 100,000 and a day's 86,400 plus 100,000 requests,
// each as a ratio to the 10-request run measured in the same run. Painting
// should cost the same at any length; working out the whole run grows only
// with what the bounded history holds.
//
// Then the chart of one 100,000-request run (a Pinger on a fake network and
// clock) painted by the widget (render(), its paint event) and by the Qt
// Quick item (paint() into an image of the same size, as Qt Quick has it
// paint; the texture's upload that follows is the scene graph's, not
// counted), as a ratio to the widget's.
#include "benchreport.h"
#include "fakeclock.h"
#include "fakenetwork.h"
#include "pingchartitem.h"
#include "pinger_p.h"
#include "runview.h"

#include <tarvix/pingwidget.h>

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

// A continuous run of requests one a millisecond apart, each answered.
std::unique_ptr<Tarvix::Pinger> pingerWithRun(FakeClock &clock, FakeNetwork &network, qint64 requests)
{
    std::unique_ptr<Tarvix::Pinger> pinger{Tarvix::PingerPrivate::create(network.opener(), clock)};
    pinger->setContinuous(true);
    pinger->setInterval(1);
    pinger->start(QStringLiteral("192.0.2.7"));
    for (int turn = 0; turn < 1000 && network.sent().isEmpty(); ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (qint64 n = 0; n < requests && n < network.sent().size(); ++n) {
        const auto &request = network.sent().at(n);
        network.arrive(network.replyTo(request), request.at.monotonicNs + (200 + n % 50) * 1000);
        QCoreApplication::processEvents();
        clock.advance(1 * ms);
    }
    return pinger;
}

template<typename Paint>
double paintUs(Paint paint)
{
    constexpr int rounds = 200;
    paint(); // the first paint lays the chart out
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        paint();
    return double(timer.nsecsElapsed()) / rounds / 1000;
}

void compareSurfaces()
{
    constexpr qint64 requests = 100000;
    FakeClock clock;
    FakeNetwork network{clock, IpFamily::IPv4};
    const std::unique_ptr<Tarvix::Pinger> pinger = pingerWithRun(clock, network, requests);
    const QSize size(704, 224);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);

    Tarvix::PingWidget widget;
    widget.setPinger(pinger.get());
    widget.resize(size);
    Tarvix::PingChartItem item;
    item.setPinger(pinger.get());
    item.setSize(size);

    const double widgetUs = paintUs([&] { widget.render(&image); });
    const double itemUs = paintUs([&] {
        QPainter painter(&image);
        item.paint(&painter);
    });
    BenchReport::printLine(QStringLiteral("%1 requests (%2 in the run): widget paint %3 us, Qt Quick item paint %4 us "
                                          "(x%5 of the widget's)")
                               .arg(requests)
                               .arg(pinger->statistics().sent())
                               .arg(widgetUs, 0, 'f', 1)
                               .arg(itemUs, 0, 'f', 1)
                               .arg(itemUs / widgetUs, 0, 'f', 2));
    BenchReport::printLine(QStringLiteral("goal: the Qt Quick item paints within x1.0 of the widget"));
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
    compareSurfaces();
    return 0;
}
