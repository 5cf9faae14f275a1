// The reply log: one piece per event, the time part, the 1024-character
// limit, the display modes, the caret and the user's own typing.
#include "form1fixture.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString CrLf = u"\r\n"_s;

} // namespace

class ReplyLogTest : public Form1Test
{
protected:
    QString header() { return u"Pinging dns.google with 32bytes of data:"_s + CrLf + CrLf; }
    void expectCaretAtEnd()
    {
        const TextBox text1 = form().textBox(u"Text1"_s);
        EXPECT_EQ(text1.selStart(), int(log().size()));
        EXPECT_EQ(text1.selLength(), 0);
        EXPECT_TRUE(qobject_cast<QPlainTextEdit *>(text1.widget())->textCursor().atEnd());
    }
};

TEST_F(ReplyLogTest, ReplyLineHasEveryPartInPlace)
{
    clickPing();
    component->raiseOnPing(u"192.0.2.7"_s, 32, 15, 128);
    EXPECT_EQ(log(), header() + u"Reply from 192.0.2.7: bytes=32 time=15 TTL=128"_s + CrLf);
}

TEST_F(ReplyLogTest, TimePartBelowTenIsLessThanTen)
{
    const std::pair<qint32, QString> cases[] = {
        {9, u" time<10"_s}, {10, u" time=10"_s}, {0, u" time<10"_s}, {-1, u" time<10"_s}, {-250, u" time<10"_s},
        {2147483647, u" time=2147483647"_s},
    };
    for (const auto &[time, part] : cases) {
        setText(u"Text1"_s, QString());
        component->raiseOnPing(u"::1"_s, 56, time, 64);
        EXPECT_EQ(log(), u"Reply from ::1: bytes=56"_s + part + u" TTL=64"_s + CrLf) << time;
    }
}

TEST_F(ReplyLogTest, MinusOneBytesIsATimeOutWhateverTimeAndTtlHold)
{
    component->raiseOnPing(u"192.0.2.7"_s, -1, 12345, 255);
    component->raiseOnPing(QString(), -1, 0, 0);
    EXPECT_EQ(log(), u"Request timed out."_s + CrLf + u"Request timed out."_s + CrLf);
    // Other negative sizes are printed as they come.
    setText(u"Text1"_s, QString());
    component->raiseOnPing(u"a"_s, -2, 5, -3);
    EXPECT_EQ(log(), u"Reply from a: bytes=-2 time<10 TTL=-3"_s + CrLf);
}

TEST_F(ReplyLogTest, OnPingEmptiesALogLongerThan1024BeforeAddingItsLine)
{
    const QString exactly1024(1024, u'x');
    setText(u"Text1"_s, exactly1024);
    component->raiseOnPing(u"b"_s, 32, 1, 64);
    const QString line = u"Reply from b: bytes=32 time<10 TTL=64"_s + CrLf;
    EXPECT_EQ(log(), exactly1024 + line);

    // Now over the limit: the next reply starts the log afresh, with no header.
    component->raiseOnPing(u"b"_s, 32, 1, 64);
    EXPECT_EQ(log(), line);
}

TEST_F(ReplyLogTest, TheLogGrowsPastTheLimitUntilTheNextOnPing)
{
    setText(u"Text1"_s, QString(1020, u'x'));
    component->raiseOnPingError(QString(100, u'e'), 0);
    EXPECT_EQ(log().size(), 1120);
    setCheck(u"Check3"_s, 1);
    component->raiseOnPingStr(QString(100, u's'));
    EXPECT_EQ(log().size(), 1220);

    // In pre-formatted mode OnPing still empties the log, and adds nothing.
    component->raiseOnPing(u"b"_s, 32, 1, 64);
    EXPECT_EQ(log(), QString());
}

TEST_F(ReplyLogTest, ErrorTextsAreAddedUnchangedInEveryMode)
{
    for (int mode : {0, 1, 2}) {
        setCheck(u"Check3"_s, mode);
        setText(u"Text1"_s, u"before"_s);
        component->raiseOnPingError(u"Destination host unreachable."_s, 11003);
        component->raiseOnPingError(u" second"_s + CrLf, 0);
        EXPECT_EQ(log(), u"beforeDestination host unreachable. second"_s + CrLf) << mode;
        expectCaretAtEnd();
    }
}

TEST_F(ReplyLogTest, PreFormattedLinesShowOnlyWhenTheCheckBoxIsExactlyOne)
{
    const QString line = u"Reply from 127.0.0.1: bytes=32 time<1ms TTL=64"_s + CrLf;
    for (int mode : {0, 2}) {
        setCheck(u"Check3"_s, mode);
        component->raiseOnPingStr(line);
        EXPECT_EQ(log(), QString()) << mode;
    }
    setCheck(u"Check3"_s, 1);
    component->raiseOnPingStr(line);
    component->raiseOnPingStr(u"no line end"_s);
    EXPECT_EQ(log(), line + u"no line end"_s);
    // OnPing adds nothing in this mode.
    component->raiseOnPing(u"127.0.0.1"_s, 32, 0, 64);
    EXPECT_EQ(log(), line + u"no line end"_s);
}

TEST_F(ReplyLogTest, SwitchingTheModeDuringARunSwitchesTheDisplayAtOnce)
{
    clickPing();
    component->raiseOnPing(u"c"_s, 32, 20, 50);
    component->raiseOnPingStr(u"[pre]"_s);
    setCheck(u"Check3"_s, 1);
    component->raiseOnPing(u"c"_s, 32, 20, 50);
    component->raiseOnPingStr(u"[pre]"_s);
    EXPECT_EQ(log(), header() + u"Reply from c: bytes=32 time=20 TTL=50"_s + CrLf + u"[pre]"_s);
}

TEST_F(ReplyLogTest, TheCaretStandsAtTheEndAfterEveryAdditionAndTheNewestLineIsShown)
{
    form().open();
    clickPing();
    auto *box = qobject_cast<QPlainTextEdit *>(widget(u"Text1"_s));
    for (int i = 0; i < 20; ++i) {
        // The user puts the caret elsewhere between events.
        form().textBox(u"Text1"_s).setSelStart(3);
        if (i % 3 == 2)
            component->raiseOnPingError(u"error"_s + CrLf, 1);
        else
            component->raiseOnPing(u"d"_s, 32, i, 60);
        expectCaretAtEnd();
    }
    QScrollBar *bar = box->verticalScrollBar();
    EXPECT_GT(bar->value(), 0);
    EXPECT_TRUE(box->viewport()->rect().contains(box->cursorRect()));
}

TEST_F(ReplyLogTest, WhatTheUserTypesIntoTheLogIsCarriedAlong)
{
    clickPing();
    component->raiseOnPing(u"e"_s, 32, 11, 60);
    QTest::keyClicks(widget(u"Text1"_s), u"my note"_s);
    QTest::keyClick(widget(u"Text1"_s), Qt::Key_Return);
    component->raiseOnPing(u"e"_s, 32, 12, 60);
    const QString line1 = u"Reply from e: bytes=32 time=11 TTL=60"_s + CrLf;
    const QString line2 = u"Reply from e: bytes=32 time=12 TTL=60"_s + CrLf;
    EXPECT_EQ(log(), header() + line1 + u"my note"_s + CrLf + line2);
    expectCaretAtEnd();
}
