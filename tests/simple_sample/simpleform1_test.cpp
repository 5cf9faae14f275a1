// TarvixS's Form1 as it opens: design values, places, focus and tab order, the
// component's saved state.
#include "simpleform1fixture.h"
#include "tarvixctl.h"

#include <QApplication>
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::DispValue;
using namespace Qt::Literals::StringLiterals;

TEST(SimpleForm1Definition, SavedStateIsTheSeventySixByteStreamWithTheRunDisplayOn)
{
    const QByteArray state = tarvixCtl1State();
    ASSERT_EQ(state.size(), 76);
    const QByteArray expected = QByteArray::fromHex("00030000" "61240000" "930b0000" // version, extent 9313 x 2963
                                                    "0300" "20000000"                 // 32
                                                    "0300" "3c000000"                 // 60
                                                    "0300" "e8030000"                 // 1000
                                                    "0300" "00000000"                 // 0
                                                    "0300" "03000000"                 // 3
                                                    "0800" "02000000" "0000"          // ""
                                                    "0300" "00000000"                 // 0
                                                    "0800" "02000000" "0000"          // ""
                                                    "0300" "01000000"                 // 1
                                                    "0300" "01000000");               // 1
    EXPECT_EQ(state.toHex().toStdString(), expected.toHex().toStdString());
}

TEST(SimpleForm1Definition, TheRealComponentTakesItsRunSettingsFromTheSavedState)
{
    // The program writes no settings: what the component reads here is what
    // every run of TarvixS does.
    TarvixCtl control;
    ASSERT_TRUE(control.loadState(tarvixCtl1State()));
    PingSettings expected;
    expected.packetSize = 32;
    expected.timeToLive = 60;
    expected.timeout = 1000;
    expected.continuous = 0;
    expected.count = 3;
    expected.resolveAddresses = 0;
    expected.display = 1;
    expected.intervalMs = 1000;
    EXPECT_EQ(control.settings(), expected);
    EXPECT_EQ(control.invoke(qint32(DispId::HostName), DispKind::PropertyGet).value(), DispValue(QString()));
}

TEST(SimpleForm1Definition, HoldsItsFiveControlsInOrderAndNoTimer)
{
    const FormDefinition definition = form1Definition();
    EXPECT_TRUE(definition.problems().isEmpty()) << definition.problems().join(u'\n').toStdString();
    EXPECT_EQ(definition.caption(), u"Brontel Simple Ping Sample"_s);
    EXPECT_EQ(definition.startUpPosition(), StartUpPosition::CenterScreen);
    EXPECT_FALSE(definition.backColor().has_value());

    QStringList names;
    QList<ControlKind> kinds;
    QList<std::optional<int>> tabIndexes;
    for (const ControlDefinition &control : definition.controls()) {
        names << control.name();
        kinds << control.kind();
        tabIndexes << control.tabIndex();
    }
    EXPECT_EQ(names, (QStringList{u"Command2"_s, u"Command1"_s, u"Text1"_s, u"TarvixCtl1"_s, u"Label1"_s}));
    EXPECT_EQ(kinds, (QList<ControlKind>{ControlKind::CommandButton, ControlKind::CommandButton, ControlKind::TextBox,
                                         ControlKind::PingControl, ControlKind::Label}));
    EXPECT_EQ(tabIndexes, (QList<std::optional<int>>{4, 1, 0, 2, 3}));
}

TEST_F(SimpleForm1Test, OpensCentredWithItsDesignValues)
{
    form().open();
    EXPECT_EQ(form().windowTitle(), u"Brontel Simple Ping Sample"_s);
    EXPECT_EQ(form().size(), QSize(435, 189));
    const QRect screen = form().screen()->availableGeometry();
    EXPECT_LE((form().geometry().center() - screen.center()).manhattanLength(), 2);
    // The platform's own background.
    EXPECT_FALSE(form().testAttribute(Qt::WA_SetPalette));
    EXPECT_EQ(form().palette().color(QPalette::Window), QApplication::palette().color(QPalette::Window));

    EXPECT_EQ(host(), u"dns.google"_s);
    const auto *hostBox = qobject_cast<QLineEdit *>(widget(u"Text1"_s));
    ASSERT_NE(hostBox, nullptr);
    EXPECT_TRUE(hostBox->alignment() & Qt::AlignLeft);
    EXPECT_EQ(form().commandButton(u"Command1"_s).caption(), u"Ping"_s);
    EXPECT_EQ(form().commandButton(u"Command2"_s).caption(), u"Stop"_s);
    EXPECT_TRUE(qobject_cast<QPushButton *>(widget(u"Command1"_s))->isDefault());
    EXPECT_FALSE(qobject_cast<QPushButton *>(widget(u"Command2"_s))->isDefault());
    EXPECT_TRUE(pingEnabled());
    EXPECT_TRUE(stopEnabled());

    ASSERT_NE(component, nullptr);
    EXPECT_EQ(component->loadedState(), tarvixCtl1State());
    EXPECT_TRUE(component->isVisible());
    EXPECT_TRUE(component->calls().isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SimpleForm1Test, ControlsStandWhereTheTableSays)
{
    // Twips / 15: the host box and both buttons share one top edge; the
    // component below them is 352 x 112.
    EXPECT_EQ(widget(u"Label1"_s)->geometry(), QRect(40, 8, 169, 17));
    EXPECT_EQ(widget(u"Text1"_s)->geometry(), QRect(40, 24, 153, 25));
    EXPECT_EQ(widget(u"Command1"_s)->geometry(), QRect(224, 24, 57, 25));
    EXPECT_EQ(widget(u"Command2"_s)->geometry(), QRect(288, 24, 57, 25));
    EXPECT_EQ(widget(u"TarvixCtl1"_s)->geometry(), QRect(32, 64, 352, 112));
}

TEST_F(SimpleForm1Test, CaptionsFitTheirBoxes)
{
    const auto *label = qobject_cast<QLabel *>(widget(u"Label1"_s));
    const QFontMetrics metrics(label->font());
    EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width());
    EXPECT_LE(metrics.height(), label->height());
    for (const QString &name : {u"Command1"_s, u"Command2"_s}) {
        const auto *button = qobject_cast<QPushButton *>(widget(name));
        EXPECT_LT(QFontMetrics(button->font()).horizontalAdvance(button->text()), button->width())
            << name.toStdString();
    }
}

namespace {

// The widgets that Tab visits from start, in order, once round.
QStringList tabChain(QWidget *start)
{
    QStringList chain;
    QWidget *next = start;
    do {
        if (next->focusPolicy() & Qt::TabFocus)
            chain << next->objectName();
        next = next->nextInFocusChain();
    } while (next != start);
    return chain;
}

} // namespace

TEST_F(SimpleForm1Test, FocusStartsInTheHostBoxAndTabFollowsTheTabIndexes)
{
    form().open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    EXPECT_EQ(QApplication::focusWidget(), widget(u"Text1"_s));

    // The scripted component takes no focus, like the label: Stop follows Ping.
    EXPECT_EQ(tabChain(widget(u"Text1"_s)), (QStringList{u"Text1"_s, u"Command1"_s, u"Command2"_s}));
    EXPECT_EQ(widget(u"Label1"_s)->focusPolicy(), Qt::NoFocus);
    QTest::keyClick(widget(u"Text1"_s), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), widget(u"Command1"_s));
    QTest::keyClick(widget(u"Command1"_s), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), widget(u"Command2"_s));
    QTest::keyClick(widget(u"Command2"_s), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), widget(u"Text1"_s));
}

class SimpleForm1FocusableComponentTest : public SimpleForm1Test
{
protected:
    SimpleForm1FocusableComponentTest() : SimpleForm1Test(Qt::TabFocus) {}
};

TEST_F(SimpleForm1FocusableComponentTest, AComponentThatTakesFocusStandsBetweenPingAndStop)
{
    form().open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    EXPECT_EQ(QApplication::focusWidget(), widget(u"Text1"_s));
    EXPECT_EQ(tabChain(widget(u"Text1"_s)),
              (QStringList{u"Text1"_s, u"Command1"_s, u"TarvixCtl1"_s, u"Command2"_s}));
}

TEST_F(SimpleForm1Test, AScreenReaderNamesTheHostBoxByItsLabel)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget(u"Text1"_s));
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), u"Host Name or IP Address to ping"_s);
    EXPECT_EQ(qobject_cast<QLabel *>(widget(u"Label1"_s))->buddy(), widget(u"Text1"_s));
}
