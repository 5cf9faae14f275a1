// A multi-line box keeps its text as written, line ends and all, while the
// document only shows it; positions and the user's typing map between them.
#include "multilinebox.h"

#include <QCoreApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList shownLines(const MultiLineBox &box)
{
    QStringList lines;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

class MultiLineBoxTest : public ::testing::Test
{
protected:
    MultiLineBoxTest()
    {
        box.resize(300, 200);
        box.show();
    }

    void type(const QString &text) { QTest::keyClicks(&box, text); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&box, key, modifiers);
    }

    MultiLineBox box;
};

} // namespace

TEST_F(MultiLineBoxTest, TextKeepsEveryLineEndAndShowsEachAsABreak)
{
    const QString text = u"Pinging a\r\n\r\nReply\rlone CR\nlone LF\r\n"_s;
    box.setTextValue(text);
    EXPECT_EQ(box.textValue(), text);
    EXPECT_EQ(shownLines(box), (QStringList{u"Pinging a"_s, u""_s, u"Reply"_s, u"lone CR"_s, u"lone LF"_s, u""_s}));
}

TEST_F(MultiLineBoxTest, PositionsCountCrAndLfAsCharacters)
{
    box.setTextValue(u"ab\r\ncd\r\n"_s);

    box.setSelStart(4); // after "ab\r\n": the start of the second line
    EXPECT_EQ(box.selStart(), 4);
    EXPECT_EQ(box.selLength(), 0);
    EXPECT_EQ(box.textCursor().blockNumber(), 1);
    EXPECT_EQ(box.textCursor().positionInBlock(), 0);

    box.setSelStart(8);
    EXPECT_EQ(box.selStart(), 8);
    EXPECT_TRUE(box.textCursor().atEnd());

    box.setSelStart(500); // clamped to the end
    EXPECT_EQ(box.selStart(), 8);

    box.setSelStart(1);
    box.setSelLength(4); // "b\r\nc"
    EXPECT_EQ(box.selStart(), 1);
    EXPECT_EQ(box.selLength(), 4);
    EXPECT_EQ(box.textCursor().selectedText(), u"b\u2029c"_s);

    box.setSelLength(100); // clamped to the end
    EXPECT_EQ(box.selLength(), 7);
}

TEST_F(MultiLineBoxTest, WritingTextPutsTheCaretAtTheStart)
{
    box.setTextValue(u"one\r\ntwo"_s);
    box.setSelStart(8);
    box.setTextValue(u"three\r\nfour"_s);
    EXPECT_EQ(box.selStart(), 0);
    EXPECT_EQ(box.selLength(), 0);
}

TEST_F(MultiLineBoxTest, TypedTextAndLineBreaksBecomePartOfText)
{
    box.setTextValue(u"log\r\n"_s);
    box.setSelStart(5);
    type(u"hi"_s);
    EXPECT_EQ(box.textValue(), u"log\r\nhi"_s);

    press(Qt::Key_Return);
    EXPECT_EQ(box.textValue(), u"log\r\nhi\r\n"_s);
    press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(box.textValue(), u"log\r\nhi\r\n\r\n"_s);
    // Shift+Enter is an ordinary line break too, not a soft break inside a line.
    press(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(box.textValue(), u"log\r\nhi\r\n\r\n\r\n"_s);
    EXPECT_EQ(box.selStart(), int(box.textValue().size()));
}

TEST_F(MultiLineBoxTest, DeletingALineBreakRemovesCrAndLfTogether)
{
    box.setTextValue(u"ab\r\ncd"_s);
    box.setSelStart(4); // start of "cd"
    press(Qt::Key_Backspace);
    EXPECT_EQ(box.textValue(), u"abcd"_s);

    box.setTextValue(u"ab\r\ncd"_s);
    box.setSelStart(2); // end of "ab"
    press(Qt::Key_Delete);
    EXPECT_EQ(box.textValue(), u"abcd"_s);
}

TEST_F(MultiLineBoxTest, EditsLeaveLoneLineEndsElsewhereAlone)
{
    box.setTextValue(u"a\nb\rc"_s);
    box.setSelStart(5);
    type(u"d"_s);
    EXPECT_EQ(box.textValue(), u"a\nb\rcd"_s);

    box.setSelStart(0);
    type(u"z"_s);
    EXPECT_EQ(box.textValue(), u"za\nb\rcd"_s);
}

TEST_F(MultiLineBoxTest, TypingOverASelectionAcrossLinesReplacesItInText)
{
    box.setTextValue(u"ab\r\ncd\r\nef"_s);
    box.setSelStart(1);
    box.setSelLength(7); // "b\r\ncd\r\n"
    type(u"Z"_s);
    EXPECT_EQ(box.textValue(), u"aZef"_s);
}

TEST_F(MultiLineBoxTest, PastedLineEndsBecomeCrLfAndUndoRestoresText)
{
    box.setTextValue(u"x"_s);
    box.setSelStart(1);
    box.insertPlainText(u"\np\nq"_s);
    EXPECT_EQ(box.textValue(), u"x\r\np\r\nq"_s);

    box.undo();
    EXPECT_EQ(box.textValue(), u"x"_s);
}

namespace {

// What the window shows, from its backing store, against the box drawn anew.
bool showsWhatAFullPaintShows(MultiLineBox &box)
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QImage shown = box.screen()->grabWindow(box.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage fresh = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    return !shown.isNull() && shown == fresh;
}

class GrowingLogTest : public MultiLineBoxTest
{
protected:
    // What a log's handler does for each line: read the whole text, add the
    // line, write it back, put the caret after it.
    void addLine(const QString &line)
    {
        box.setTextValue(box.textValue() + line + u"\r\n"_s);
        box.setSelStart(int(box.textValue().size()));
        box.setSelLength(0);
    }
};

} // namespace

TEST_F(GrowingLogTest, AGrowingTextLooksExactlyAsIfRewrittenEachTime)
{
    // The same log in a box that is rewritten whole each time.
    MultiLineBox rewritten;
    rewritten.resize(box.size());
    rewritten.show();
    for (MultiLineBox *b : {&box, &rewritten})
        b->setScrollBars(true, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rewritten));
    for (int i = 0; i < 30; ++i) {
        const QString line = u"Reply from 127.0.0.1: bytes=32 time<10 TTL=%1"_s.arg(i);
        addLine(line);
        const QString text = box.textValue();
        rewritten.setTextValue(QString());
        rewritten.setTextValue(text);
        rewritten.setSelStart(int(text.size()));
        rewritten.setSelLength(0);
        ASSERT_TRUE(showsWhatAFullPaintShows(box)) << "after line " << i;
        ASSERT_EQ(box.verticalScrollBar()->maximum(), rewritten.verticalScrollBar()->maximum()) << "after line " << i;
        ASSERT_EQ(box.verticalScrollBar()->value(), rewritten.verticalScrollBar()->value()) << "after line " << i;
        ASSERT_EQ(box.grab().toImage(), rewritten.grab().toImage()) << "after line " << i;
    }
    EXPECT_EQ(box.document()->blockCount(), 31);
    EXPECT_EQ(shownLines(box).at(29), u"Reply from 127.0.0.1: bytes=32 time<10 TTL=29"_s);
    EXPECT_TRUE(box.textCursor().atEnd());
}

TEST_F(GrowingLogTest, LinesAddedUnderFixedScrollBarsPostNothingAndLeaveTheLayoutAlone)
{
    // Events Qt posts to the box arrive as queued calls.
    struct QueuedCalls : QObject
    {
        int count = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::MetaCall;
            return false;
        }
    } calls;
    box.setScrollBars(true, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QCoreApplication::processEvents();
    const auto barInBox = [this] {
        const QScrollBar *bar = box.verticalScrollBar();
        return QRect(bar->mapTo(&box, QPoint()), bar->size());
    };
    const QRect view = box.viewport()->geometry();
    const QRect bar = barInBox();
    box.installEventFilter(&calls);
    for (int i = 0; i < 20; ++i) {
        addLine(u"Reply from 127.0.0.1: bytes=32 time<10 TTL=%1"_s.arg(i));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(calls.count, 0);
    EXPECT_GT(box.verticalScrollBar()->maximum(), 0) << "the lines must overflow the view";
    EXPECT_TRUE(box.verticalScrollBar()->isVisible());
    EXPECT_FALSE(box.horizontalScrollBar()->isVisible());
    EXPECT_EQ(box.viewport()->geometry(), view);
    EXPECT_EQ(barInBox(), bar);

    // Resized, the box still lays its parts out.
    box.resize(360, 240);
    QCoreApplication::processEvents();
    EXPECT_EQ(barInBox().right(), bar.right() + 60);
    EXPECT_EQ(box.viewport()->height(), view.height() + 40);
}

TEST_F(MultiLineBoxTest, TheViewIsFilledWithTheBoxColourBelowItsText)
{
    QPalette colours = box.palette();
    colours.setColor(QPalette::Base, QColor(0x12, 0x34, 0x56));
    colours.setColor(QPalette::Window, QColor(0xfe, 0xdc, 0xba));
    box.setPalette(colours);
    box.setTextValue(u"one line"_s);
    const QImage shown = box.grab().toImage();
    const QPoint belowText = box.viewport()->geometry().bottomLeft() + QPoint(10, -10);
    EXPECT_EQ(shown.pixelColor(belowText), QColor(0x12, 0x34, 0x56));
    // And in the window, after the box scrolled its text.
    for (int i = 0; i < 30; ++i)
        box.setTextValue(box.textValue() + u"\r\nline"_s);
    box.setSelStart(int(box.textValue().size()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_TRUE(showsWhatAFullPaintShows(box));
}

TEST_F(GrowingLogTest, TheFrameFollowsTheFocusWhileTheLogGrows)
{
    // A second box to take the focus away.
    MultiLineBox other;
    other.show();
    box.setScrollBars(true, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    for (int i = 0; i < 6; ++i) {
        MultiLineBox &focused = i % 2 == 0 ? box : other;
        focused.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&focused));
        focused.setFocus();
        addLine(u"line %1"_s.arg(i));
        ASSERT_EQ(box.hasFocus(), &focused == &box);
        ASSERT_TRUE(showsWhatAFullPaintShows(box)) << "line " << i << (box.hasFocus() ? ", focused" : "");
    }
    // With both scroll bars shown.
    box.setScrollBars(true, true);
    addLine(QString(200, u'x'));
    EXPECT_TRUE(box.horizontalScrollBar()->isVisible());
    EXPECT_TRUE(showsWhatAFullPaintShows(box));
}

TEST_F(GrowingLogTest, AnAppendedTextLeavesTheCaretAtTheStartAsARewriteDoes)
{
    box.setTextValue(u"one\r\n"_s);
    box.setSelStart(2);
    box.setSelLength(2);
    box.setTextValue(u"one\r\ntwo\r\n"_s);
    EXPECT_EQ(box.selStart(), 0);
    EXPECT_EQ(box.selLength(), 0);
    // And for real once the event loop turns: typing goes to the start.
    QCoreApplication::processEvents();
    EXPECT_EQ(box.textCursor().position(), 0);
    EXPECT_FALSE(box.textCursor().hasSelection());
    type(u">"_s);
    EXPECT_EQ(box.textValue(), u">one\r\ntwo\r\n"_s);

    // Typed at once after an append, before the event loop turned: the same.
    box.setTextValue(u">one\r\ntwo\r\nthree"_s);
    type(u"#"_s);
    EXPECT_EQ(box.textValue(), u"#>one\r\ntwo\r\nthree"_s);
}

TEST_F(GrowingLogTest, AppendedLinesCannotBeUndoneAndLineEndsStayAsWritten)
{
    box.setTextValue(u"a\r"_s);
    box.setTextValue(u"a\r\nb\n"_s); // the CR LF pair is split across the two writes
    EXPECT_EQ(box.textValue(), u"a\r\nb\n"_s);
    EXPECT_EQ(shownLines(box), (QStringList{u"a"_s, u"b"_s, u""_s}));
    box.setSelStart(int(box.textValue().size()));
    EXPECT_TRUE(box.textCursor().atEnd());
    box.setTextValue(u"a\r\nb\nc\r"_s);
    EXPECT_EQ(shownLines(box), (QStringList{u"a"_s, u"b"_s, u"c"_s, u""_s}));
    // Like a rewrite, an append leaves nothing to undo.
    box.undo();
    EXPECT_EQ(box.textValue(), u"a\r\nb\nc\r"_s);
    // A text that does not extend the old one is written anew.
    box.setTextValue(u"x"_s);
    EXPECT_EQ(shownLines(box), QStringList{u"x"_s});
}
