// Tarvix end to end: Form1 hosting the real ping component, a run of two echo
// requests against loopback driven by the user's clicks and the form's own
// poll, and the log it leaves, line by line.
#include "form1.h"
#include "form1definition.h"
#include "prober.h"
#include <tarvix/tarvixctlfactory.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString CrLf = u"\r\n"_s;
constexpr qint32 LampGreen = 65280;

class Form1LoopbackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const Prober::Opened opened = Prober::open(IpFamily::IPv4, Prober::Preference::Auto); !opened)
            GTEST_SKIP() << "no ICMP socket may be opened here: " << qPrintable(opened.error());
        m_registry.add(QString::fromLatin1(Tarvix::TarvixCtlClassName), Tarvix::tarvixCtlFactory());
        m_form1 = std::make_unique<Form1>(m_registry);
        form().setErrorReporter([this](const QString &message) { messages << message; });
        form().open();
    }

    Form &form() { return m_form1->form(); }
    QWidget *widget(const QString &name) { return form().controlWidget(name); }

    void retype(const QString &name, const QString &text)
    {
        QTest::keyClick(widget(name), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(widget(name), text);
    }

    // Two requests to 127.0.0.1, as a user asks for them; the form's timer
    // runs for real. Gives the log's lines once Ping is enabled again.
    QStringList pingLoopbackTwice()
    {
        retype(u"Text6"_s, u"127.0.0.1"_s);
        retype(u"Text2"_s, u"2"_s);
        QTest::mouseClick(widget(u"Command1"_s), Qt::LeftButton);
        const CommandButton ping = form().commandButton(u"Command1"_s);
        // Two requests a second apart; the bound only keeps a broken run from hanging.
        if (!QTest::qWaitFor([&] { return ping.enabled(); }, 20000))
            ADD_FAILURE() << "the run did not end";
        // The closing events were queued before the poll read Active as 0.
        QCoreApplication::processEvents();
        return lines(form().textBox(u"Text1"_s).text());
    }

    // Splits a log into its lines, each of which must end in CR LF.
    static QStringList lines(const QString &log)
    {
        if (!log.endsWith(CrLf)) {
            ADD_FAILURE() << "the log does not end in CR LF: " << log.toStdString();
            return {};
        }
        QStringList result = log.chopped(CrLf.size()).split(CrLf);
        for (const QString &line : std::as_const(result)) {
            if (line.contains(u'\r') || line.contains(u'\n'))
                ADD_FAILURE() << "a line break other than CR LF in: " << line.toStdString();
        }
        return result;
    }

    void expectIdle()
    {
        EXPECT_EQ(form().shape(u"Shape1"_s).fillColor(), LampGreen);
        EXPECT_TRUE(form().commandButton(u"Command1"_s).enabled());
        EXPECT_FALSE(form().commandButton(u"Command2"_s).enabled());
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    }

    QStringList messages;

private:
    ComponentRegistry m_registry;
    std::unique_ptr<Form1> m_form1;
};

} // namespace

TEST_F(Form1LoopbackTest, TwoRepliesFollowTheHeader)
{
    const QStringList log = pingLoopbackTwice();
    // A literal address has no HostName unless Check2 asks for one, so the
    // header names the host box text.
    ASSERT_EQ(log.size(), 4) << log.join(u'|').toStdString();
    EXPECT_EQ(log[0], u"Pinging 127.0.0.1 with 32bytes of data:"_s);
    EXPECT_EQ(log[1], QString());
    // How long a round trip takes is not ours to assert: either time part.
    const QRegularExpression reply(u"^Reply from 127\\.0\\.0\\.1: bytes=32 time(<10|=[0-9]+) TTL=([0-9]+)$"_s);
    for (const QString &line : log.mid(2)) {
        const QRegularExpressionMatch match = reply.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        EXPECT_GE(match.captured(2).toInt(), 1) << line.toStdString();
        EXPECT_LE(match.captured(2).toInt(), 255) << line.toStdString();
    }
    expectIdle();
}

TEST_F(Form1LoopbackTest, PreFormattedShowsTheComponentsOwnLines)
{
    form().checkBox(u"Check3"_s).setValue(1);
    const QStringList log = pingLoopbackTwice();
    ASSERT_EQ(log.size(), 8) << log.join(u'|').toStdString();
    EXPECT_EQ(log[0], u"PING 127.0.0.1 (127.0.0.1) 32(60) bytes of data."_s);
    // As run here, as root or in a namespace of the test's own, the socket
    // takes transmit timestamps.
    EXPECT_EQ(log[1], u"Round trips from the kernel's send and receive timestamps, where it gives them."_s);
    const QRegularExpression reply(u"^[0-9]+ bytes from 127\\.0\\.0\\.1: icmp_seq=([0-9]+) ttl=[0-9]+ time=[0-9.]+ ms$"_s);
    const QRegularExpressionMatch first = reply.match(log[2]);
    const QRegularExpressionMatch second = reply.match(log[3]);
    ASSERT_TRUE(first.hasMatch()) << log[2].toStdString();
    ASSERT_TRUE(second.hasMatch()) << log[3].toStdString();
    EXPECT_EQ(second.captured(1).toInt(), first.captured(1).toInt() + 1);
    // The statistics block.
    EXPECT_EQ(log[4], QString());
    EXPECT_EQ(log[5], u"--- 127.0.0.1 ping statistics ---"_s);
    EXPECT_TRUE(log[6].startsWith(u"2 packets transmitted, 2 received"_s)) << log[6].toStdString();
    EXPECT_TRUE(log[7].startsWith(u"rtt min/avg/max/mdev = "_s)) << log[7].toStdString();
    expectIdle();
}
