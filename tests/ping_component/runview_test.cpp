#include "runview.h"

#include "pingtext.h"

#include <QImage>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

namespace {

constexpr qint64 ms = 1000000;
constexpr qint64 s = 1000 * ms;
constexpr qint64 base = 1765000000 * s;

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
    // Requests one second apart. As the control does, each request's end
    // brings the window and the chart up to date.
    void send() { run.markSent(run.nextSequence(), base + run.history().total() * s, 0); }
    void reply(qint64 rtt, bool update = true)
    {
        send();
        run.completeWithReply(rtt, 32, 64);
        if (update)
            rescale();
    }
    void lose(bool error, bool update = true)
    {
        send();
        run.completeLost(error, error ? QStringLiteral("Reply from 10.0.0.254: Destination host unreachable.\r\n") : QString());
        if (update)
            rescale();
    }
    void rescale()
    {
        const QRect area(QPoint(), surface);
        const int lineHeight = QFontMetrics(font()).height();
        window.setTotal(run.history().total(), RunView::roomyColumns(area, lineHeight));
        view.update(&run, window, area, lineHeight);
    }

    QImage paint(const QSize &size, bool full, bool withRun = true, const QPalette &palette = QPalette())
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        painter.setFont(font());
        RunView::Snapshot snapshot;
        snapshot.phase = RunView::Phase::Running;
        snapshot.title = QStringLiteral("h (10.0.0.1)");
        snapshot.run = withRun ? &run : nullptr;
        view.paint(painter, image.rect(), palette, snapshot, full);
        return image;
    }

    // The column of the request i places back from the newest, in the middle.
    const RunView::Column &column(int i) const { return view.columns().at(size_t(i)); }
    QColor at(const QImage &image, int i, double fromBottom) const
    {
        const QRect chart = view.chartRect();
        return image.pixelColor(column(i).x + column(i).width / 2, chart.bottom() - int(fromBottom * chart.height()));
    }

    RunState run;
    ChartWindow window;
    RunView view;
    QSize surface{352, 112};
};

} // namespace

TEST_F(RunViewTest, ChartShowsRoundTripsLossesAndErrorsWhereTheyBelong)
{
    surface = {704, 224};
    for (int i = 0; i < 10; ++i)
        reply(20 * ms);
    lose(false); // fifth from the newest
    lose(true);  // fourth
    for (int i = 0; i < 3; ++i)
        reply(40 * ms); // the newest three

    const QImage image = paint(surface, true);
    ASSERT_GT(view.chartRect().height(), 40);
    // 40 ms is the largest in view: the axis goes to 50 ms and a 40 ms bar
    // reaches four fifths up.
    EXPECT_EQ(view.scaleTopNs(), 50 * ms);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(isGreen(at(image, i, 0.05))) << i;
        EXPECT_TRUE(isGreen(at(image, i, 0.7))) << i;
        EXPECT_FALSE(isGreen(at(image, i, 0.9))) << i;
    }
    // A loss and an error fill their column, marked at the top.
    EXPECT_TRUE(isOrange(image.pixelColor(column(3).x + 1, view.chartRect().top() + 1)));
    EXPECT_TRUE(isRed(image.pixelColor(column(4).x + 1, view.chartRect().top() + 1)));
    EXPECT_TRUE(near(at(image, 4, 0.5), QColor(0xf5, 0xc4, 0xc4)));
    // 20 ms bars reach two fifths.
    EXPECT_TRUE(isGreen(at(image, 6, 0.3)));
    EXPECT_FALSE(isGreen(at(image, 6, 0.5)));
    // Every pixel of the surface is painted.
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_NE(image.pixelColor(x, y), QColor(Qt::magenta)) << x << "," << y;
}

TEST_F(RunViewTest, AShortRunFillsMostOfTheChartInColumnsThatNeverOverlap)
{
    // 45 requests on TarvixS's surface, a loss every seventh.
    surface = {704, 224};
    for (int i = 1; i <= 45; ++i)
        i % 7 == 0 ? lose(false) : reply(20 * ms);
    const auto &columns = view.columns();
    ASSERT_EQ(columns.size(), 45u);
    const QRect chart = view.chartRect();
    // The oldest column sits in the left fifth of the chart, the newest at its right edge.
    EXPECT_LT(columns.back().x - chart.left(), chart.width() / 5);
    EXPECT_EQ(columns.front().x + columns.front().width, chart.right() + 1 - (chart.width() / 50 - columns.front().width));
    for (size_t i = 0; i + 1 < columns.size(); ++i) {
        EXPECT_GE(columns[i].width, 2);
        EXPECT_LE(columns[i + 1].x + columns[i + 1].width, columns[i].x) << i; // newest first, a gap between
        EXPECT_EQ(columns[i].end - columns[i].first, 1);
    }
}

TEST_F(RunViewTest, TheTimeAxisCountsBackFromTheNewestRequest)
{
    surface = {704, 224};
    for (int i = 0; i < 45; ++i)
        reply(20 * ms);
    const auto &ticks = view.ticks();
    ASSERT_GE(ticks.size(), 3u);
    EXPECT_EQ(ticks[0].label, QStringLiteral("now"));
    EXPECT_EQ(ticks[1].label, QStringLiteral("-10 s"));
    EXPECT_EQ(ticks[2].label, QStringLiteral("-20 s"));
    // Each label stands over the request sent that long before the newest.
    EXPECT_EQ(ticks[0].x, column(0).x + (view.chartRect().width() / 50) / 2);
    EXPECT_EQ(ticks[1].x, column(10).x + (view.chartRect().width() / 50) / 2);
    EXPECT_GT(ticks[1].x - ticks[2].x, 60);

    // An hour later, zoomed out to the whole run: minutes.
    for (int i = 0; i < 3600; ++i)
        reply(20 * ms, false);
    rescale();
    window.zoom(-20);
    rescale();
    ASSERT_GE(view.ticks().size(), 2u);
    EXPECT_TRUE(view.ticks()[1].label.endsWith(QStringLiteral(" min"))) << qPrintable(view.ticks()[1].label);
}

TEST_F(RunViewTest, AWholeDayInFewColumnsKeepsEveryLossInView)
{
    surface = {704, 224};
    for (int i = 0; i < 86400; ++i)
        i == 100 || i == 40000 ? lose(false, false) : reply((i == 200 ? 700 : 20) * ms, false);
    rescale();
    window.zoom(-40);
    rescale();
    const auto &columns = view.columns();
    EXPECT_LE(columns.size(), size_t(view.chartRect().width() / RunView::MinimumPitch));
    EXPECT_GT(columns.size(), 100u);
    qint64 lost = 0;
    qint64 covered = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        EXPECT_GE(columns[i].width, 2);
        if (i + 1 < columns.size()) {
            EXPECT_LT(columns[i + 1].x + columns[i + 1].width, columns[i].x + 1);
        }
        lost += columns[i].summary.lost;
        covered += columns[i].end - columns[i].first;
    }
    EXPECT_EQ(covered, 86400);
    EXPECT_GE(lost, 2); // the two losses of the day, however coarse
    // The old spike sets the axis.
    EXPECT_EQ(view.scaleTopNs(), 1000 * ms);
    // Red shows at both places.
    const QImage image = paint(surface, true);
    int redColumns = 0;
    for (size_t i = 0; i < columns.size(); ++i)
        redColumns += isRed(image.pixelColor(columns[i].x, view.chartRect().top() + 1));
    EXPECT_GE(redColumns, 2);
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
    rescale();
    const QImage image = paint({352, 112}, true, false);
    const QRect chart = view.chartRect();
    for (int x = chart.left(); x <= chart.right(); ++x)
        EXPECT_FALSE(isGreen(image.pixelColor(x, chart.bottom() - 1))) << x;
}

TEST_F(RunViewTest, PaintingChangesNothingAndTheWindowDecidesWhatIsInView)
{
    // A spike long ago, then 1000 replies: live, the spike is out of view.
    reply(400 * ms);
    for (int i = 0; i < 1000; ++i)
        reply(20 * ms, false);
    rescale();
    EXPECT_EQ(view.scaleTopNs(), 50 * ms);
    const QImage first = paint(surface, true);
    paint({240, 112}, true);
    paint({32, 32}, false);
    EXPECT_EQ(view.scaleTopNs(), 50 * ms);
    EXPECT_EQ(paint(surface, true), first);

    // Scrolled back to it, it is.
    window.scroll(-2000);
    rescale();
    EXPECT_EQ(view.scaleTopNs(), 500 * ms);
    EXPECT_EQ(view.columns().back().first, 0);
}

TEST_F(RunViewTest, TheCursorsRequestIsReadOutAndFramed)
{
    surface = {704, 224};
    for (int i = 0; i < 10; ++i)
        reply((20 + i) * ms);
    lose(true);
    reply(25 * ms);
    EXPECT_TRUE(view.readout().isEmpty());

    window.moveCursor(-1); // the newest
    window.moveCursor(-1); // the error
    window.moveCursor(-1); // the tenth reply
    rescale();
    const QString at = PingText::timeOfDay(base + 9 * s);
    EXPECT_EQ(view.readout(), at + QStringLiteral("  40 bytes from 10.0.0.1: icmp_seq=10 ttl=64 time=29.000 ms"));
    window.moveCursor(1);
    rescale();
    EXPECT_EQ(view.readout(), PingText::timeOfDay(base + 10 * s)
                                  + QStringLiteral("  icmp_seq=11: Reply from 10.0.0.254: Destination host unreachable."));
    // The hovered x finds the same request.
    EXPECT_EQ(view.ordinalAt(column(1).x + 1), 10);
    EXPECT_EQ(view.ordinalAt(view.chartRect().left() - 10), std::nullopt);

    // The cursor is framed in blue on the chart.
    const QImage image = paint(surface, true);
    const QColor frame = image.pixelColor(column(1).x - 1, view.chartRect().center().y());
    EXPECT_TRUE(frame.blue() > 150 && frame.red() < 100) << qPrintable(frame.name());
    window.clearCursor();
    rescale();
    EXPECT_TRUE(view.readout().isEmpty());
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

TEST_F(RunViewTest, TextsAndMarksStandOutOnALightAndADarkPalette)
{
    QPalette light(Qt::black, QColor(0xef, 0xef, 0xef), Qt::white, Qt::darkGray, Qt::gray, Qt::black, Qt::white);
    QPalette dark(QColor(0xe6, 0xe6, 0xe6), QColor(0x35, 0x35, 0x35), QColor(0x50, 0x50, 0x50), Qt::black,
                  QColor(0x40, 0x40, 0x40), QColor(0xe6, 0xe6, 0xe6), QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
    surface = {704, 224};
    for (int i = 0; i < 10; ++i)
        reply(20 * ms);
    lose(false);
    lose(true);
    for (const QPalette &palette : {light, dark}) {
        const RunView::Colors c = RunView::colors(palette);
        SCOPED_TRACE(qPrintable(c.background.name()));
        for (const QColor &ground : {c.background, c.chart}) {
            EXPECT_GE(RunView::contrast(c.text, ground), 4.5);
            EXPECT_GE(RunView::contrast(c.quietText, ground), 4.5);
            EXPECT_GE(RunView::contrast(c.active, ground), 4.5);
        }
        for (const QColor &mark : {c.reply, c.replySpread, c.lostMark, c.errorMark, c.active})
            EXPECT_GE(RunView::contrast(mark, c.chart), 3.0) << qPrintable(mark.name());

        // As painted: the chart stands on the palette's own ground, and a
        // reply's column, a loss's mark and an error's mark stand out of it.
        const QImage image = paint(surface, true, true, palette);
        const QRect chart = view.chartRect();
        const QColor ground = image.pixelColor(chart.left() + 1, chart.bottom());
        EXPECT_EQ(ground.rgb(), c.chart.rgb());
        EXPECT_LT(RunView::contrast(ground, c.background), 1.3);
        EXPECT_GE(RunView::contrast(at(image, 2, 0.1), ground), 3.0);
        EXPECT_GE(RunView::contrast(image.pixelColor(column(1).x + 1, chart.top() + 1), ground), 3.0);
        EXPECT_GE(RunView::contrast(image.pixelColor(column(0).x + 1, chart.top() + 1), ground), 3.0);
    }
}

TEST(RunViewText, StatisticsLines)
{
    RunStatistics s;
    EXPECT_EQ(RunView::statisticsLines(s), (QStringList{QStringLiteral("Sent 0   Received 0   Loss 0%"),
                                                        QStringLiteral("min/avg/max/p95 \u2013   jitter \u2013")}));
    for (int i = 1; i <= 19; ++i)
        s.addReply(20 * ms);
    s.addReply(80 * ms);
    s.addLost(true);
    EXPECT_EQ(RunView::statisticsLines(s),
              (QStringList{QStringLiteral("Sent 21   Received 20   Loss 4.8%   Errors 1"),
                           QStringLiteral("min/avg/max/p95 20.000/23.000/80.000/20.000 ms   jitter 3.158 ms")}));
}
