// Form1 as it opens: design values, places, focus and tab order, the
// component's saved state.
#include "form1fixture.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

TEST(Form1Definition, SavedStateIsTheSeventySixByteStream)
{
    const QByteArray state = tarvixCtl1State();
    ASSERT_EQ(state.size(), 76);
    const QByteArray expected = QByteArray::fromHex("00030000" "4f030000" "4f030000" // version, extent 847 x 847
                                                    "0300" "20000000"                 // 32
                                                    "0300" "3c000000"                 // 60
                                                    "0300" "e8030000"                 // 1000
                                                    "0300" "00000000"                 // 0
                                                    "0300" "03000000"                 // 3
                                                    "0800" "02000000" "0000"          // ""
                                                    "0300" "00000000"                 // 0
                                                    "0800" "02000000" "0000"          // ""
                                                    "0300" "00000000"                 // 0
                                                    "0300" "01000000");               // 1
    EXPECT_EQ(state.toHex().toStdString(), expected.toHex().toStdString());
}

TEST(Form1Definition, IsSound)
{
    const FormDefinition definition = form1Definition();
    EXPECT_TRUE(definition.problems().isEmpty()) << definition.problems().join(u'\n').toStdString();
    EXPECT_EQ(definition.controls().size(), 19);
}

TEST_F(Form1Test, OpensIdleWithItsDesignValues)
{
    form().open();
    EXPECT_EQ(form().windowTitle(), u"Brontel Ping Sample"_s);
    EXPECT_EQ(form().size(), QSize(536, 332));
    EXPECT_EQ(form().palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));

    EXPECT_EQ(lamp(), LampGreen);
    EXPECT_TRUE(pingEnabled());
    EXPECT_FALSE(stopEnabled());
    EXPECT_FALSE(timerRunning());
    EXPECT_EQ(log(), QString());
    EXPECT_TRUE(messages.isEmpty());

    const QStringList names{u"Text2"_s, u"Text3"_s, u"Text4"_s, u"Text5"_s, u"Text6"_s};
    const QStringList texts{u"4"_s, u"32"_s, u"1000"_s, u"60"_s, u"dns.google"_s};
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(form().textBox(names[i]).text(), texts[i]) << names[i].toStdString();
    for (const QString &name : names.first(4))
        EXPECT_TRUE(qobject_cast<QLineEdit *>(widget(name))->alignment() & Qt::AlignRight);
    for (const QString &name : {u"Check1"_s, u"Check2"_s, u"Check3"_s})
        EXPECT_EQ(form().checkBox(name).value(), 0);

    ASSERT_NE(component, nullptr);
    EXPECT_EQ(component->loadedState(), tarvixCtl1State());
    EXPECT_EQ(qobject_cast<QPlainTextEdit *>(widget(u"Text1"_s))->font().pixelSize(), 13);
}

TEST_F(Form1Test, ControlsStandWhereTheTableSays)
{
    // Twips / 15: the Ping button, host box and TTL box share one top edge,
    // the log and the buttons one right edge.
    EXPECT_EQ(widget(u"Command1"_s)->geometry(), QRect(440, 168, 89, 25));
    EXPECT_EQ(widget(u"Command2"_s)->geometry(), QRect(440, 136, 89, 25));
    EXPECT_EQ(widget(u"Text6"_s)->geometry(), QRect(272, 168, 145, 25));
    EXPECT_EQ(widget(u"Text5"_s)->geometry(), QRect(8, 168, 49, 25));
    EXPECT_EQ(widget(u"Text1"_s)->geometry(), QRect(8, 200, 521, 129));
    EXPECT_EQ(widget(u"Check1"_s)->geometry(), QRect(232, 16, 153, 25));
    EXPECT_EQ(widget(u"Shape1"_s)->geometry(), QRect(464, 104, 41, 25));
    EXPECT_EQ(widget(u"TarvixCtl1"_s)->geometry(), QRect(488, 16, 32, 32));
    EXPECT_EQ(widget(u"Label3"_s)->geometry(), QRect(8, 104, 217, 17));
}

TEST_F(Form1Test, CaptionsFitTheirBoxes)
{
    for (const QString &name : {u"Label1"_s, u"Label2"_s, u"Label3"_s, u"Label4"_s, u"Label5"_s}) {
        const auto *label = qobject_cast<QLabel *>(widget(name));
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width()) << name.toStdString();
        EXPECT_LE(metrics.height(), label->height()) << name.toStdString();
    }
}

TEST_F(Form1Test, FocusStartsInTheHostBoxAndTabFollowsTheTabIndexes)
{
    form().open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    EXPECT_EQ(QApplication::focusWidget(), widget(u"Text6"_s));

    // The chain as defined, Stop included; tabbing passes it over while it is disabled.
    QStringList chain;
    QWidget *next = widget(u"Text6"_s);
    do {
        if (next->focusPolicy() & Qt::TabFocus)
            chain << next->objectName();
        next = next->nextInFocusChain();
    } while (next != widget(u"Text6"_s));
    EXPECT_EQ(chain, (QStringList{u"Text6"_s, u"Command1"_s, u"Command2"_s, u"Text2"_s, u"Text3"_s, u"Text4"_s,
                                  u"Text5"_s, u"Check1"_s, u"Check2"_s, u"Check3"_s, u"Text1"_s}));

    QTest::keyClick(widget(u"Text6"_s), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), widget(u"Command1"_s));
    QTest::keyClick(widget(u"Command1"_s), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), widget(u"Text2"_s));
    for (const QString &name : {u"Label1"_s, u"Label5"_s})
        EXPECT_EQ(widget(name)->focusPolicy(), Qt::NoFocus);
}

namespace {

QString accessibleText(QWidget *widget, QAccessible::Text which)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(which) : u"<not accessible>"_s;
}

} // namespace

TEST_F(Form1Test, AScreenReaderNamesEachBoxByItsLabelAndHearsTheLamp)
{
    form().open();
    const QList<std::pair<QString, QString>> named{
        {u"Text2"_s, u"Number of echo requests to send"_s}, {u"Text3"_s, u"Send buffer size."_s},
        {u"Text4"_s, u"Timeout in milliseconds to wait for each reply."_s}, {u"Text5"_s, u"Time To Live."_s},
        {u"Text6"_s, u"IP Address or Host Name to Ping"_s}};
    for (const auto &[box, label] : named) {
        EXPECT_EQ(accessibleText(widget(box), QAccessible::Name), label) << box.toStdString();
        EXPECT_EQ(accessibleText(widget(box), QAccessible::Value), form().textBox(box).text()) << box.toStdString();
    }

    // The log, which no label names, has a name of its own.
    EXPECT_EQ(accessibleText(widget(u"Text1"_s), QAccessible::Name), u"Ping output"_s);

    QWidget *lampShape = widget(u"Shape1"_s);
    EXPECT_EQ(accessibleText(lampShape, QAccessible::Name), u"Status lamp"_s);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(lampShape)->role(), QAccessible::Graphic);
    EXPECT_EQ(accessibleText(lampShape, QAccessible::Description), u"Green"_s);
    clickPing();
    EXPECT_EQ(lamp(), LampRed);
    EXPECT_EQ(accessibleText(lampShape, QAccessible::Description), u"Red"_s);
}
