// A paced window is painted at most once per frame however often it
// changes, shows its last change within a frame, and paints a change that
// follows a quiet frame at once.
#include "framepacer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Shows a number as a shade of grey and remembers what it painted.
class Swatch : public QWidget
{
public:
    using QWidget::QWidget;

    void show(int value)
    {
        m_value = value;
        update();
    }
    int paints() const { return m_paints; }
    int painted() const { return m_painted; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(m_value % 256, m_value % 256, m_value % 256));
        ++m_paints;
        m_painted = m_value;
    }

private:
    int m_value = -1;
    int m_paints = 0;
    int m_painted = -2;
};

class FramePacerTest : public ::testing::Test
{
protected:
    FramePacerTest() : window(std::make_unique<QWidget>())
    {
        window->resize(200, 120);
        swatch = new Swatch(window.get());
        swatch->setGeometry(10, 10, 100, 100);
        pacer = new FramePacer(window.get());
        window->show();
    }

    void SetUp() override
    {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // Whatever showing the window asked for is painted before we count.
        QTest::qWait(3 * pacer->frameIntervalMs());
    }

    std::unique_ptr<QWidget> window;
    Swatch *swatch = nullptr;
    FramePacer *pacer = nullptr;
};

} // namespace

TEST_F(FramePacerTest, ChangesFasterThanFramesArePaintedOncePerFrameAndTheLastOneShows)
{
    const int frame = pacer->frameIntervalMs();
    EXPECT_GE(frame, 4);
    EXPECT_LE(frame, 50);

    const int before = swatch->paints();
    QElapsedTimer elapsed;
    elapsed.start();
    constexpr int Changes = 200;
    for (int i = 0; i < Changes; ++i) {
        swatch->show(i);
        QCoreApplication::processEvents();
        QTest::qSleep(1);
    }
    const qint64 ms = elapsed.elapsed();
    const int paints = swatch->paints() - before;
    // Unpaced, every change would be painted: one per turn of the loop.
    EXPECT_LE(paints, ms / frame + 2) << Changes << " changes in " << ms << " ms";
    EXPECT_GE(paints, 1);
    // The last change is held, never lost.
    EXPECT_TRUE(QTest::qWaitFor([&] { return swatch->painted() == Changes - 1; }, 1000));
}

TEST_F(FramePacerTest, AChangeAfterAQuietFrameIsPaintedAtOnce)
{
    QTest::qWait(2 * pacer->frameIntervalMs());
    swatch->show(7);
    // Qt posts the window's paint; two turns of the loop deliver it.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(swatch->painted(), 7);
}

TEST_F(FramePacerTest, APaintHeldAcrossHidingDoesNotStallLaterOnesNorOutliveItsWindow)
{
    swatch->show(1);
    QCoreApplication::processEvents();
    swatch->show(2); // within the frame: held
    QCoreApplication::processEvents();
    window->hide();
    QTest::qWait(2 * pacer->frameIntervalMs());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    swatch->show(3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return swatch->painted() == 3; }, 1000));

    // Gone with a paint held: its timer goes with the window.
    swatch->show(4);
    QCoreApplication::processEvents();
    swatch->show(5);
    QCoreApplication::processEvents();
    const int frame = pacer->frameIntervalMs();
    window.reset();
    QTest::qWait(3 * frame);
}
