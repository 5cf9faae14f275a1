// Scroll bars drawn in bands look exactly as their style draws them whole,
// and a box's scroll bar keeps following the application's style.
#include "bandedscrollbarstyle.h"
#include "multilinebox.h"
#include "qtprinters.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionSlider>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

struct BarState
{
    int height;
    int value;
    QStyle::State state;
    QStyle::SubControls active;
};

QImage drawn(const QStyle &style, const BarState &bar, qreal scale, const QColor &background)
{
    QStyleOptionSlider option;
    option.orientation = Qt::Vertical;
    option.rect = QRect(0, 0, 16, bar.height);
    option.minimum = 0;
    option.maximum = 100;
    option.pageStep = 20;
    option.singleStep = 1;
    option.sliderPosition = bar.value;
    option.sliderValue = bar.value;
    option.subControls = QStyle::SC_All;
    option.activeSubControls = bar.active;
    option.state = bar.state;
    option.palette = QApplication::palette();
    QImage image(QSize(16, bar.height) * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(background);
    QPainter painter(&image);
    style.drawComplexControl(QStyle::CC_ScrollBar, &option, &painter);
    return image;
}

// A program's own style, built on one of Qt's.
class OwnStyle : public QProxyStyle
{
public:
    OwnStyle() : QProxyStyle(QStyleFactory::create(u"Fusion"_s)) {}
};

} // namespace

TEST(BandedScrollBarStyleTest, DrawsTheSamePixelsAsTheStyleItCopies)
{
    const std::unique_ptr<QStyle> plain(QStyleFactory::create(QApplication::style()->name()));
    const std::unique_ptr<BandedScrollBarStyle> banded(BandedScrollBarStyle::copying(plain.get()));
    ASSERT_TRUE(banded) << "the application's style is made by name";
    const QStyle::State enabled = QStyle::State_Enabled;
    // Normal, the slider held down, the mouse over the lower arrow, disabled.
    const QList<QPair<QStyle::State, QStyle::SubControls>> states = {
        {enabled, QStyle::SC_None},
        {enabled | QStyle::State_Sunken, QStyle::SC_ScrollBarSlider},
        {enabled | QStyle::State_MouseOver, QStyle::SC_ScrollBarAddLine},
        {QStyle::State_None, QStyle::SC_None},
    };
    // Shorter than a band, just over the thread pool's threshold, a last band
    // cut short, several bands; the slider at the top, across bands, at the
    // bottom. Scales 3 and 1.5 are drawn whole, which the check covers too.
    // Over nothing, and over a window's background as in a form.
    for (const QColor &background : {QColor(Qt::transparent), QApplication::palette().window().color()})
        for (const qreal scale : {1.0, 2.0, 3.0, 1.5})
            for (const int height : {40, 97, 150, 300, 333, 419})
                for (const int value : {0, 37, 50, 100})
                    for (const auto &[state, active] : states) {
                        const BarState bar{height, value, state, active};
                        ASSERT_EQ(drawn(*banded, bar, scale, background), drawn(*plain, bar, scale, background))
                            << "height " << height << ", value " << value << ", state " << int(state) << ", scale "
                            << scale << ", background " << qPrintable(background.name(QColor::HexArgb));
                    }
}

TEST(BandedScrollBarStyleTest, AStyleThatCannotBeMadeByNameIsNotCopied)
{
    OwnStyle own;
    EXPECT_EQ(BandedScrollBarStyle::copying(&own), nullptr);
    EXPECT_EQ(BandedScrollBarStyle::copying(nullptr), nullptr);
}

TEST(BandedScrollBarStyleTest, ABoxsScrollBarFollowsTheApplicationsStyle)
{
    // The kind of style a scroll bar is drawn with, where it is banded.
    const auto bandedKind = [](const QScrollBar *bar) {
        const auto *banded = dynamic_cast<const BandedScrollBarStyle *>(bar->style());
        return banded ? banded->baseStyle()->name() : QString();
    };
    const QString original = QApplication::style()->name();
    // The rest of the program's tests run with the style they started with.
    const auto restore = qScopeGuard([&] { QApplication::setStyle(original); });
    MultiLineBox box;
    box.setScrollBars(true, false);
    const QScrollBar *bar = box.verticalScrollBar();
    EXPECT_EQ(bandedKind(bar), original);
    const QPointer<QStyle> first = bar->style();

    QApplication::setStyle(QStringLiteral("Windows"));
    EXPECT_EQ(bandedKind(bar), u"windows"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "the copy of the old style goes";

    // A style set on the box itself is not its scroll bar's, which goes on
    // following the application's.
    QStyle *own = QStyleFactory::create(u"Windows"_s);
    own->setParent(&box);
    box.setStyle(own);
    EXPECT_EQ(bandedKind(bar), u"windows"_s);
    QApplication::setStyle(u"Fusion"_s);
    EXPECT_EQ(bandedKind(bar), u"fusion"_s);

    // A program's own style is not copied: the bar draws with it.
    QApplication::setStyle(new OwnStyle);
    EXPECT_EQ(bar->style(), QApplication::style());

    QApplication::setStyle(original);
    EXPECT_EQ(bandedKind(bar), original);
}
