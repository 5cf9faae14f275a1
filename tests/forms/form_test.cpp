// A form built from its definition: window, places, fonts, focus and tab
// order, and the properties of its controls.
#include "testform.h"

#include "paintcounter.h"
#include "runtimeerror.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

TEST_F(FormTest, WindowTakesCaptionClientAreaAndColourFromTheDefinition)
{
    EXPECT_EQ(form->windowTitle(), u"Test form"_s);
    EXPECT_EQ(form->size(), QSize(400, 300));
    // 0x00FF8040 is blue FF, green 80, red 40.
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(0x40, 0x80, 0xFF));
    EXPECT_TRUE(form->autoFillBackground());
}

TEST_F(FormTest, ControlsStandAtTheirTwipRectangles)
{
    EXPECT_EQ(form->controlWidget(u"Host"_s)->geometry(), QRect(8, 24, 160, 25));
    EXPECT_EQ(form->controlWidget(u"Log"_s)->geometry(), QRect(8, 100, 380, 187));
    EXPECT_EQ(form->controlWidget(u"Lamp"_s)->geometry(), QRect(200, 60, 40, 25));
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(component->parentWidget(), form.get());
    EXPECT_EQ(component->geometry(), QRect(253, 60, 32, 32));
    EXPECT_EQ(form->controlWidget(u"Tick"_s), nullptr);
}

TEST_F(FormTest, ControlsShowTheirDesignValues)
{
    auto *count = qobject_cast<QLineEdit *>(form->controlWidget(u"Count"_s));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->text(), u"4"_s);
    EXPECT_TRUE(count->alignment() & Qt::AlignRight);

    auto *log = qobject_cast<QPlainTextEdit *>(form->controlWidget(u"Log"_s));
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    // 9.75 points at 96 dpi.
    EXPECT_EQ(log->font().pixelSize(), 13);
    EXPECT_TRUE(QFontInfo(log->font()).fixedPitch());

    auto *go = qobject_cast<QPushButton *>(form->controlWidget(u"Go"_s));
    auto *halt = qobject_cast<QPushButton *>(form->controlWidget(u"Halt"_s));
    ASSERT_TRUE(go && halt);
    EXPECT_TRUE(go->isDefault());
    EXPECT_TRUE(go->isEnabled());
    EXPECT_FALSE(halt->isEnabled());
    EXPECT_EQ(form->shape(u"Lamp"_s).fillColor(), 65280);
    EXPECT_EQ(component->loadedState(), QByteArray("saved"));
}

TEST_F(FormTest, OpensWithFocusInTabIndexZeroAndTabsInIndexOrder)
{
    form->open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->controlWidget(u"Host"_s));

    // Labels, shapes, disabled controls and a component that takes no focus are passed over.
    const QStringList expected{u"Go"_s, u"Count"_s, u"Flag"_s, u"Log"_s, u"Host"_s};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(form->controlWidget(u"HostLabel"_s)->focusPolicy(), Qt::NoFocus);
}

TEST_F(FormTest, OpensCentredOnTheScreen)
{
    form->open();
    const QRect screen = form->screen()->availableGeometry();
    EXPECT_LE(qAbs(form->geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(qAbs(form->geometry().center().y() - screen.center().y()), 1);
}

TEST_F(FormTest, ALogThatGrowsFasterThanFramesIsPaintedOncePerFrameAndShowsItsLastLine)
{
    form->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto *log = qobject_cast<QPlainTextEdit *>(form->controlWidget(u"Log"_s));
    ASSERT_NE(log, nullptr);
    PaintCounter paints(log->viewport());
    QTest::qWait(100);
    const int before = paints.count;

    const TextBox box = form->textBox(u"Log"_s);
    QElapsedTimer elapsed;
    elapsed.start();
    constexpr int Lines = 100;
    for (int i = 0; i < Lines; ++i) {
        box.setText(box.text() + u"Reply from 127.0.0.1: bytes=32 time<1ms TTL=%1\r\n"_s.arg(i));
        QCoreApplication::processEvents();
        QTest::qSleep(1);
    }
    const qint64 ms = elapsed.elapsed();
    // No screen is paced faster than a frame of 4 ms; unpaced, every line is painted.
    EXPECT_LE(paints.count - before, ms / 4 + 2) << Lines << " lines in " << ms << " ms";
    // What the window holds catches up with the log as it stands.
    const auto shown = [&] {
        const QImage held = form->screen()
                                ->grabWindow(form->winId(), log->x(), log->y(), log->width(), log->height())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
        return held == log->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_TRUE(QTest::qWaitFor(shown, 1000));
}

TEST_F(FormTest, CheckBoxValueIsZeroOneOrTwo)
{
    const CheckBox flag = form->checkBox(u"Flag"_s);
    auto *widget = qobject_cast<QCheckBox *>(flag.widget());
    EXPECT_EQ(flag.value(), 0);

    flag.setValue(1);
    EXPECT_EQ(widget->checkState(), Qt::Checked);
    EXPECT_EQ(flag.value(), 1);
    flag.setValue(2);
    EXPECT_EQ(widget->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(flag.value(), 2);
    flag.setValue(0);
    EXPECT_EQ(widget->checkState(), Qt::Unchecked);

    EXPECT_THROW(flag.setValue(3), RunTimeError);
    EXPECT_THROW(flag.setValue(-1), RunTimeError);
    EXPECT_EQ(flag.value(), 0);
}

TEST_F(FormTest, UserClicksToggleCheckedAndUncheckedButNeverGray)
{
    form->open();
    const CheckBox flag = form->checkBox(u"Flag"_s);
    flag.setValue(2);
    QList<int> seen;
    for (int i = 0; i < 3; ++i) {
        // A click on the wrapped caption's second line, far from the indicator.
        QTest::mouseClick(flag.widget(), Qt::LeftButton, {}, QPoint(flag.widget()->width() - 5, 20));
        seen << flag.value();
    }
    EXPECT_EQ(seen, (QList<int>{1, 0, 1}));
}

TEST_F(FormTest, SingleLineBoxTextAndSelection)
{
    const TextBox host = form->textBox(u"Host"_s);
    host.setText(u"a long host name"_s);
    EXPECT_EQ(host.selStart(), 0);
    host.setSelStart(2);
    host.setSelLength(4);
    EXPECT_EQ(host.selStart(), 2);
    EXPECT_EQ(host.selLength(), 4);
    EXPECT_EQ(qobject_cast<QLineEdit *>(host.widget())->selectedText(), u"long"_s);
    host.setSelLength(1000);
    EXPECT_EQ(host.selLength(), 14);
    host.setSelStart(1000);
    EXPECT_EQ(host.selStart(), 16);
    EXPECT_EQ(host.selLength(), 0);
    EXPECT_THROW(host.setSelStart(-1), RunTimeError);
    EXPECT_THROW(host.setSelLength(-1), RunTimeError);

    const QString longText(40000, u'x');
    host.setText(longText);
    EXPECT_EQ(host.text(), longText);
}

TEST_F(FormTest, MultiLineTextThroughTheHandleKeepsCrLf)
{
    const TextBox log = form->textBox(u"Log"_s);
    log.setText(u"one\r\ntwo\r\n"_s);
    log.setSelStart(int(log.text().size()));
    EXPECT_EQ(log.text(), u"one\r\ntwo\r\n"_s);
    EXPECT_EQ(log.selStart(), 10);
    EXPECT_TRUE(qobject_cast<QPlainTextEdit *>(log.widget())->textCursor().atEnd());
}

TEST_F(FormTest, TextConversionNamesTheBoxByItsLabelOrElseByName)
{
    const TextBox host = form->textBox(u"Host"_s);
    host.setText(u"12x"_s);
    EXPECT_EQ(runTimeErrorOf([&] { host.toInt32(); }),
              u"\"12x\" in \"Host to ask\" is not a whole number."_s);

    const TextBox count = form->textBox(u"Count"_s);
    count.setText(u" -17 "_s);
    EXPECT_EQ(count.toInt32(), -17);
    count.setText(u""_s);
    EXPECT_EQ(runTimeErrorOf([&] { count.toInt32(); }), u"\"Count\" is empty; it needs a whole number."_s);
}

TEST_F(FormTest, ShapeFillColourIsBgr)
{
    const Shape lamp = form->shape(u"Lamp"_s);
    lamp.setFillColor(255);
    EXPECT_EQ(lamp.fillColor(), 255);
    const QImage image = lamp.widget()->grab().toImage();
    // The middle of the circle is filled red; a corner of the box lies outside it.
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(255, 0, 0));
    EXPECT_NE(image.pixelColor(1, 1), QColor(255, 0, 0));
    EXPECT_THROW(lamp.setFillColor(0x1000000), RunTimeError);
    EXPECT_THROW(lamp.setFillColor(-1), RunTimeError);
    EXPECT_EQ(lamp.fillColor(), 255);
}

TEST_F(FormTest, HandlesAreTypedByKind)
{
    EXPECT_THROW(form->textBox(u"Go"_s), std::invalid_argument);
    EXPECT_THROW(form->checkBox(u"Nothing"_s), std::invalid_argument);
    EXPECT_NO_THROW(form->label(u"HostLabel"_s));
    EXPECT_EQ(form->label(u"HostLabel"_s).caption(), u"Host to ask"_s);
    EXPECT_EQ(form->commandButton(u"Go"_s).caption(), u"Go"_s);
}

TEST(FormDefinitionProblems, AFaultyDefinitionIsRefused)
{
    using C = ControlDefinition;
    FormDefinition definition(u"Bad"_s, u"Bad"_s, 1000, 1000);
    definition << C::textBox(u"A"_s, {}, {}, 0) << C::textBox(u"A"_s, {}, {}, 1)
               << C::checkBox(u"B"_s, {}, {}, 1).setValue(3) << C::label(u"L"_s, {}, {}, 2).setNames(u"Z"_s)
               << C::shape(u"S"_s, {}).setFillColor(-5) << C::timer(u"T"_s).setInterval(-1)
               << C::commandButton(u"D1"_s, {}, {}, 3).setDefault(true)
               << C::commandButton(u"D2"_s, {}, {}, 4).setDefault(true);
    const QStringList problems = definition.problems();
    EXPECT_EQ(problems.size(), 7) << problems.join(u'\n').toStdString();
    ComponentRegistry none;
    EXPECT_THROW(Form(definition, none), std::invalid_argument);

    EXPECT_TRUE(testFormDefinition().problems().isEmpty());
}

namespace {

// The font a multi-line box on a form of the default font gets from its definition.
QFont boxFontFor(const FontDefinition &font)
{
    FormDefinition definition(u"Fonts"_s, u"Fonts"_s, 3000, 3000);
    definition << ControlDefinition::textBox(u"Box"_s, {}, {0, 0, 3000, 3000}, 0).setMultiLine(true).setFont(font);
    const ComponentRegistry none;
    const Form form(definition, none);
    return form.controlWidget(u"Box"_s)->font();
}

std::string familyOf(const QFont &font)
{
    return QFontInfo(font).family().toStdString();
}

} // namespace

TEST(FormFonts, AMissingFixedPitchFamilyFallsBackToAFixedPitchFont)
{
    QList<FontDefinition> definitions{{u"Tarvix No Such Mono"_s, 9.75, false, false, FontPitch::Fixed}};
    // The classic names are fixed-pitch without saying so; those this machine lacks show the stand-in.
    for (const QString &classic : {u"Courier"_s, u"courier new"_s, u"Lucida Console"_s, u"Consolas"_s}) {
        if (!QFontDatabase::hasFamily(classic))
            definitions.append({classic, 9.75});
    }
    for (const FontDefinition &definition : std::as_const(definitions)) {
        const QFont font = boxFontFor(definition);
        const QFontMetrics metrics(font);
        const std::string seen = definition.family.toStdString() + " became " + familyOf(font);
        EXPECT_EQ(font.pixelSize(), 13) << seen;
        EXPECT_TRUE(QFontInfo(font).fixedPitch()) << seen;
        EXPECT_EQ(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W')) << seen;
    }
}

TEST(FormFonts, AMissingVariablePitchFamilyFallsBackToAVariablePitchFont)
{
    for (const FontPitch pitch : {FontPitch::Default, FontPitch::Variable}) {
        const QFont font = boxFontFor({u"Tarvix No Such Sans"_s, 9.75, false, false, pitch});
        EXPECT_FALSE(QFontInfo(font).fixedPitch()) << familyOf(font);
    }
}

TEST(FormFonts, AFamilyThatIsThereIsKeptWhateverItsPitch)
{
    // All three come with scripts/install-deps.sh.
    EXPECT_EQ(familyOf(boxFontFor({u"Liberation Mono"_s, 9.75})), "Liberation Mono");
    EXPECT_EQ(familyOf(boxFontFor({u"DejaVu Sans Mono"_s, 9.75, false, false, FontPitch::Fixed})), "DejaVu Sans Mono");
    EXPECT_EQ(familyOf(boxFontFor({u"Liberation Serif"_s, 9.75, false, false, FontPitch::Fixed})), "Liberation Serif");
}

TEST(FormFonts, CourierHasCouriersWidthAndIsNotNarrowedLikeTheDefaultFont)
{
    // Every character of Courier is 0.6 em wide: 7.8 px at 9.75 points.
    const QFont log = boxFontFor({u"Courier"_s, 9.75});
    EXPECT_EQ(QFontMetrics(log).horizontalAdvance(u'i'), 8) << familyOf(log);
    EXPECT_EQ(QFontMetrics(log).horizontalAdvance(u'W'), 8) << familyOf(log);
    // Large enough that a face merely close to Courier shows: 0.602 em would be 301 px here.
    const QFont large = boxFontFor({u"Courier"_s, 375});
    EXPECT_EQ(QFontMetrics(large).horizontalAdvance(u"WiWi"_s), 4 * 300) << familyOf(large);
}
