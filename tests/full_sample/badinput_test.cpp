// Every settings box and the host box of Tarvix fed with bad input, against
// the real component: each case gives a run or a clear message, never a crash,
// a hang, or a run that quietly does something else. The form sits on the
// client of a test network, where no DNS server can be reached, so names that
// do go to the resolver fail there and no query leaves.
#include "form1.h"
#include "form1definition.h"
#include <tarvix/tarvixctlfactory.h>
#include "testnetwork.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint32 LampGreen = 65280;

enum class Outcome {
    Run,               // replies in the log
    ConversionMessage, // one message naming the text and the box's label; Ping never called
    ComponentMessage,  // the component's error in the log, no reply
};

struct BadInput
{
    const char *box;
    QString text;
    Outcome outcome;
    QString expected; // a piece of the message or of the reply line
};

void PrintTo(const BadInput &input, std::ostream *out)
{
    *out << input.box << " holding \"" << input.text.left(20).toStdString() << (input.text.size() > 20 ? "...\"" : "\"");
}

QString labelOf(const char *box)
{
    const QString name = QString::fromLatin1(box);
    if (name == u"Text2"_s)
        return u"Number of echo requests to send"_s;
    if (name == u"Text3"_s)
        return u"Send buffer size."_s;
    if (name == u"Text4"_s)
        return u"Timeout in milliseconds to wait for each reply."_s;
    return u"Time To Live."_s;
}

QList<BadInput> settingsCases()
{
    // What each box makes of a negative number or zero, which do convert.
    struct Box { const char *name; const char *option; bool zeroRuns; };
    const Box boxes[] = {{"Text2", "Count", false}, {"Text3", "PacketSize", true},
                         {"Text4", "Timeout", false}, {"Text5", "TimeToLive", false}};
    QList<BadInput> cases;
    for (const Box &box : boxes) {
        for (const QString &text : {u"abc"_s, u"1e3"_s, u"12.5"_s, u"2147483648"_s, u"-2147483649"_s,
                                    QString(300, u'7'), u"\u0661\u0662"_s /* Arabic-Indic digits */, u"zwölf"_s})
            cases.append({box.name, text, Outcome::ConversionMessage, text.left(20)});
        // Nothing to quote: the message says the box is empty.
        for (const QString &text : {u""_s, u"   "_s})
            cases.append({box.name, text, Outcome::ConversionMessage, u"empty"_s});
        const QString badValue = u"Bad value for option %1: "_s.arg(QLatin1String(box.option));
        cases.append({box.name, u"-1"_s, Outcome::ComponentMessage, badValue + u"-1."_s});
        if (box.zeroRuns)
            cases.append({box.name, u"0"_s, Outcome::Run, u"bytes=0 "_s});
        else
            cases.append({box.name, u"0"_s, Outcome::ComponentMessage, badValue + u"0."_s});
    }
    return cases;
}

QList<BadInput> hostCases()
{
    const QString couldNotFind = u"Ping request could not find host %1. Please check the name and try again."_s;
    const QString longName = QString(300, u'a');
    return {
        {"Text6", u""_s, Outcome::ComponentMessage, u"No host to ping"_s},
        {"Text6", u"   "_s, Outcome::ComponentMessage, u"No host to ping"_s},
        {"Text6", u"::1"_s, Outcome::Run, u"Reply from ::1: bytes=32"_s},
        {"Text6", u"[::1]"_s, Outcome::Run, u"Reply from ::1: bytes=32"_s},
        {"Text6", u"127.0.0.1"_s, Outcome::Run, u"Reply from 127.0.0.1: bytes=32"_s},
        {"Text6", u"256.1.1.1"_s, Outcome::ComponentMessage, couldNotFind.arg(u"256.1.1.1"_s)},
        // What other tools would take for 0.0.3.231.
        {"Text6", u"999"_s, Outcome::ComponentMessage, u"999 is not an IP address as written here; other programs read it as 0.0.3.231."_s},
        // The component repeats 255 characters of what it was given, then an ellipsis.
        {"Text6", longName, Outcome::ComponentMessage, couldNotFind.arg(longName.left(255) + u'\u2026')},
        {"Text6", u"my host"_s, Outcome::ComponentMessage, couldNotFind.arg(u"my host"_s)},
        {"Text6", u"bücher.invalid"_s, Outcome::ComponentMessage, couldNotFind.arg(u"bücher.invalid"_s)},
    };
}

class BadInputTest : public ::testing::TestWithParam<BadInput>
{
protected:
    static void SetUpTestSuite()
    {
        if (TestNetwork::unavailableReason().isEmpty())
            s_network = std::make_unique<TestNetwork>();
    }
    static void TearDownTestSuite() { s_network.reset(); }

    void SetUp() override
    {
        if (!s_network)
            GTEST_SKIP() << qPrintable(TestNetwork::unavailableReason());
        ASSERT_TRUE(s_network->ok()) << qPrintable(s_network->error());
        m_scope = std::make_unique<TestNetwork::ClientScope>(*s_network);
        ASSERT_TRUE(m_scope->ok()) << qPrintable(m_scope->error());
        m_registry.add(QString::fromLatin1(Tarvix::TarvixCtlClassName), Tarvix::tarvixCtlFactory());
        m_form1 = std::make_unique<Form1>(m_registry);
        form().setErrorReporter([this](const QString &message) { m_messages << message; });
        form().open();
    }

    void TearDown() override
    {
        m_form1.reset();
        m_scope.reset();
    }

    Form &form() { return m_form1->form(); }

    // Types into a box as a user would: select all, type. What is not on a
    // plain keyboard comes as an input method's commit.
    void retype(const QString &name, const QString &text)
    {
        QWidget *box = form().controlWidget(name);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClicks(box, QString(c));
            } else {
                QInputMethodEvent composed;
                composed.setCommitString(QString(c));
                QCoreApplication::sendEvent(box, &composed);
            }
        }
    }

    // Clicks Ping and waits, bounded, until the form is idle again.
    void clickPingAndWait()
    {
        QTest::mouseClick(form().controlWidget(u"Command1"_s), Qt::LeftButton);
        const CommandButton ping = form().commandButton(u"Command1"_s);
        if (!QTest::qWaitFor([&] { return ping.enabled(); }, 15000))
            ADD_FAILURE() << "the form did not come back to idle: a hang";
        QCoreApplication::processEvents();
    }

    QString log() { return form().textBox(u"Text1"_s).text(); }

    // One network for the whole table: each case only needs the client side.
    static std::unique_ptr<TestNetwork> s_network;
    std::unique_ptr<TestNetwork::ClientScope> m_scope;
    ComponentRegistry m_registry;
    std::unique_ptr<Form1> m_form1;
    QStringList m_messages;
};

std::unique_ptr<TestNetwork> BadInputTest::s_network;

} // namespace

TEST_P(BadInputTest, GivesARunOrAClearMessage)
{
    const BadInput &input = GetParam();
    const QString box = QString::fromLatin1(input.box);
    // One request to loopback unless the case is about the host or the count.
    if (box != u"Text6"_s)
        retype(u"Text6"_s, u"127.0.0.1"_s);
    if (box != u"Text2"_s)
        retype(u"Text2"_s, u"1"_s);
    retype(box, input.text);
    ASSERT_EQ(form().textBox(box).text(), input.text) << "the box did not take the text as typed";

    clickPingAndWait();

    EXPECT_EQ(form().shape(u"Shape1"_s).fillColor(), LampGreen);
    EXPECT_FALSE(form().commandButton(u"Command2"_s).enabled());
    switch (input.outcome) {
    case Outcome::Run:
        EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(u'\n').toStdString();
        EXPECT_TRUE(log().contains(input.expected)) << log().toStdString();
        EXPECT_EQ(log().count(u"Reply from"_s), 1) << log().toStdString();
        break;
    case Outcome::ConversionMessage:
        ASSERT_EQ(m_messages.size(), 1) << log().toStdString();
        EXPECT_TRUE(m_messages.first().contains(input.expected)) << m_messages.first().toStdString();
        EXPECT_TRUE(m_messages.first().contains(labelOf(input.box))) << m_messages.first().toStdString();
        EXPECT_TRUE(log().isEmpty()) << "Ping was called: " << log().toStdString();
        break;
    case Outcome::ComponentMessage:
        EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(u'\n').toStdString();
        EXPECT_TRUE(log().contains(input.expected + u"\r\n"_s) || log().contains(input.expected))
            << log().toStdString();
        EXPECT_FALSE(log().contains(u"Reply from"_s)) << log().toStdString();
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(SettingsBoxes, BadInputTest, ::testing::ValuesIn(settingsCases()));
INSTANTIATE_TEST_SUITE_P(HostBox, BadInputTest, ::testing::ValuesIn(hostCases()));
