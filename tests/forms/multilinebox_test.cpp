// A multi-line box keeps its text as written, line ends and all, while the
// document only shows it; positions and the user's typing map between them.
#include "multilinebox.h"

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
