#include "runview.h"

#include <QImage>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

namespace {

constexpr qint64 ms = 1000000;

bool near(QColor actual, QColor expected, int tolerance = 40)
{
    return std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance;
}

bool isGreen(QColor c) { return c.green() > 120 && c.red() < 100 && c.blue() < 120; }
bool isRed(QColor c) { return c.red() > 180 && c.green() < 110 && c.blue() < 110; }
bool isOrange(QColor c) { return c.red() > 190 && c.green() > 100 && c.green() < 170 && c.blue() < 60; }

class RunViewTest : public ::testing::Test
{
protected:
    RunViewTest() : run(continuous(), {QStringLiteral("h"), {}, HostAddress(QStringLiteral("10.0.0.1"))}, 1, 1) {}

    static PingSettings continuous()
    {
        PingSettings s;
        s.continuous = 1;
        return s;
    }
    static QFont font()
    {
        QFont font;
        font.setPixelSize(11);
        return font;
    }
    // As the control does: each request's end moves the axis, for the surface
    // the chart has then.
    void reply(qint64 rtt)
    {
        run.markSent(run.nextSequence(), 0, 0);
        run.completeWithReply(rtt);
        rescale();
    }
    void lose(bool error)
    {
        run.markSent(run.nextSequence(), 0, 0);
        run.completeLost(error);
        rescale();
    }
    void rescale() { view.updateScale(&run, QRect(QPoint(), surface), QFontMetrics(font()).height()); }

    QImage paint(const QSize &size, bool full, bool withRun = true)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        painter.setFont(font());
        m_lineHeight = painter.fontMetrics().height();
        RunView::Snapshot snapshot;
        snapshot.phase = RunView::Phase::Running;
        snapshot.title = QStringLiteral("h (10.0.0.1)");
        snapshot.run = withRun ? &run : nullptr;
        view.paint(painter, image.rect(), QPalette(), snapshot, full);
        return image;
    }

    // The middle column of the bar of the request i places back from the newest.
    static int barX(const QRect &chart, int i) { return chart.right() - (i + 1) * RunView::BarPitch + 1 + 1; }

    RunState run;
    RunView view;
    QSize surface{352, 112};
    int m_lineHeight = 0;
};

} // namespace

TEST_F(RunViewTest, ChartShowsRoundTripsLossesAndErrorsWhereTheyBelong)
{
    for (int i = 0; i < 10; ++i)
        reply(20 * ms);
    lose(false); // fourth from the newest
    lose(true);  // third
    for (int i = 0; i < 3; ++i)
        reply(40 * ms); // the newest three

    const QImage image = paint({352, 112}, true);
    const QRect chart = RunView::layout(image.rect(), m_lineHeight).chart;
    ASSERT_GT(chart.height(), 20);
    // 40 ms is the largest in view: the axis goes to 50 ms and a 40 ms bar
    // reaches four fifths up.
    EXPECT_EQ(view.scaleTopNs(), 50 * ms);
    const auto at = [&](int i, double fromBottom) {
        return image.pixelColor(barX(chart, i), chart.bottom() - int(fromBottom * chart.height()));
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(isGreen(at(i, 0.05))) << i;
        EXPECT_TRUE(isGreen(at(i, 0.7))) << i;
        EXPECT_FALSE(isGreen(at(i, 0.9))) << i;
    }
    // A loss and an error fill their column, marked at the top.
    EXPECT_TRUE(isOrange(image.pixelColor(barX(chart, 3), chart.top() + 1)));
    EXPECT_TRUE(isRed(image.pixelColor(barX(chart, 4), chart.top() + 1)));
    EXPECT_TRUE(near(at(4, 0.5), QColor(0xf5, 0xc4, 0xc4)));
    // 20 ms bars reach two fifths.
    EXPECT_TRUE(isGreen(at(6, 0.3)));
    EXPECT_FALSE(isGreen(at(6, 0.5)));
    // Left of the oldest request the chart is empty.
    EXPECT_FALSE(isGreen(at(20, 0.05)));
    // Every pixel of the surface is painted.
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_NE(image.pixelColor(x, y), QColor(Qt::magenta)) << x << "," << y;
}

TEST_F(RunViewTest, AxisHoldsStillWhileRepliesWander)
{
    for (qint64 rtt : {20 * ms, 31 * ms, 18 * ms, 27 * ms, 22 * ms, 35 * ms, 19 * ms}) {
        reply(rtt);
        paint({352, 112}, true);
        EXPECT_EQ(view.scaleTopNs(), 50 * ms) << "after " << rtt / ms << " ms";
    }
}

TEST_F(RunViewTest, BeforeAnyRunTheChartIsEmpty)
{
    const QImage image = paint({352, 112}, true, false);
    const QRect chart = RunView::layout(image.rect(), m_lineHeight).chart;
    for (int x = chart.left(); x <= chart.right(); ++x)
        EXPECT_FALSE(isGreen(image.pixelColor(x, chart.bottom() - 1))) << x;
}

TEST_F(RunViewTest, OnlyTheRequestsInViewArePainted)
{
    // A long run: the chart shows its newest requests, the oldest long gone.
    for (int i = 0; i < 100000; ++i)
        reply(i < 99000 ? 400 * ms : 20 * ms);
    paint({352, 112}, true);
    // The 400 ms replies are out of view, so they do not stretch the axis.
    EXPECT_EQ(view.scaleTopNs(), 50 * ms);
}

TEST_F(RunViewTest, PaintingLeavesTheAxisAloneAndTheWidthDecidesWhatIsInView)
{
    // A spike, then 60 replies: on 352 pixels (86 bars) it is still in view,
    // on 240 (58 bars) it has scrolled out.
    reply(400 * ms);
    for (int i = 0; i < 60; ++i)
        reply(20 * ms);
    EXPECT_EQ(view.scaleTopNs(), 500 * ms);

    // However often and at whatever size it is painted, the axis stays, and
    // the same samples give the same picture.
    const QImage first = paint({352, 112}, true);
    paint({240, 112}, true);
    paint({32, 32}, false);
    EXPECT_EQ(view.scaleTopNs(), 500 * ms);
    EXPECT_EQ(paint({352, 112}, true), first);

    // A narrower surface updates the axis (the control does so on resize).
    surface = {240, 112};
    rescale();
    EXPECT_EQ(view.scaleTopNs(), 50 * ms);
    surface = {352, 112};
    rescale();
    EXPECT_EQ(view.scaleTopNs(), 500 * ms);
}

TEST_F(RunViewTest, SmallSurfacesGetALamp)
{
    EXPECT_FALSE(RunView::fitsFullDisplay({32, 32}));
    EXPECT_TRUE(RunView::fitsFullDisplay({352, 112}));

    const QColor idle = paint({32, 32}, false, false).pixelColor(16, 16);
    EXPECT_FALSE(isGreen(idle));
    EXPECT_FALSE(isRed(idle));
    reply(ms);
    EXPECT_TRUE(isGreen(paint({32, 32}, false).pixelColor(16, 16)));
    lose(false);
    EXPECT_TRUE(isRed(paint({32, 32}, false).pixelColor(16, 16)));
}

TEST(RunViewText, StatisticsLines)
{
    RunStatistics s;
    EXPECT_EQ(RunView::statisticsLines(s),
              (QStringList{QStringLiteral("Sent 0   Received 0   Loss 0%"), QStringLiteral("min/avg/max \u2013   jitter \u2013")}));
    s.addReply(20 * ms);
    s.addReply(22 * ms);
    s.addLost(true);
    EXPECT_EQ(RunView::statisticsLines(s),
              (QStringList{QStringLiteral("Sent 3   Received 2   Loss 33.3%   Errors 1"),
                           QStringLiteral("min/avg/max 20.000/21.000/22.000 ms   jitter 2.000 ms")}));
}
