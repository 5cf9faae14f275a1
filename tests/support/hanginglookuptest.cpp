#include "hanginglookuptest.h"

#include "twips.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

#include <iostream>

void HangingLookupTest::SetUp()
{
    for (const QString &reason : {TestNetwork::unavailableReason(), DesktopSession::unavailableReason()}) {
        if (!reason.isEmpty())
            GTEST_SKIP() << qPrintable(reason);
    }
    m_network = std::make_unique<TestNetwork>();
    ASSERT_TRUE(m_network->ok()) << qPrintable(m_network->error());
    // The programs run without capabilities: the unprivileged ICMP socket is
    // the one they may open.
    ASSERT_TRUE(m_network->setPingGroupRange(0, 2147483647)) << qPrintable(m_network->error());
    // Names go to the host, to DNS only after /etc/hosts, whatever this
    // machine's own configuration says. One attempt, with a time-out long
    // enough that waiting for it cannot be mistaken for anything else.
    const QByteArray resolvConf = QStringLiteral("nameserver %1\noptions timeout:%2 attempts:1\n")
                                      .arg(TestNetwork::hostAddress(IpFamily::IPv4).toString())
                                      .arg(ResolverTimeoutSeconds)
                                      .toLatin1();
    ASSERT_TRUE(m_network->setClientFile(QStringLiteral("resolv.conf"), resolvConf)) << qPrintable(m_network->error());
    ASSERT_TRUE(m_network->setClientFile(QStringLiteral("nsswitch.conf"),
                                         "passwd: files\ngroup: files\nhosts: files dns\n"))
        << qPrintable(m_network->error());
    ResponderOptions options;
    options.dnsSink = true;
    ASSERT_TRUE(m_network->startResponder(options)) << qPrintable(m_network->error());
    m_desktop = std::make_unique<DesktopSession>();
    ASSERT_TRUE(m_desktop->ok()) << qPrintable(m_desktop->error());
}

void HangingLookupTest::TearDown()
{
    if (m_desktop && HasFailure())
        std::cout << "What " << qPrintable(m_program) << " wrote:\n" << qPrintable(m_desktop->output()) << '\n';
    if (m_network && HasFailure())
        std::cout << "The responder's log:\n" << qPrintable(m_network->responderLog()) << '\n';
    m_desktop.reset();
    m_network.reset();
}

void HangingLookupTest::startProgram(const QString &program, const FormDefinition &form)
{
    m_program = QFileInfo(program).fileName();
    m_form = std::make_unique<FormDefinition>(form);
    ASSERT_TRUE(m_desktop->start(*m_network, program)) << qPrintable(m_desktop->error());
}

QRect HangingLookupTest::controlArea(const QString &control) const
{
    if (m_form) {
        for (const ControlDefinition &definition : m_form->controls()) {
            if (definition.name() == control)
                return twipsToPixels(definition.rect());
        }
    }
    ADD_FAILURE() << qPrintable(m_program) << "'s form has no control " << qPrintable(control);
    return {};
}

void HangingLookupTest::enterHost(const QString &host)
{
    ASSERT_TRUE(m_desktop->key({QStringLiteral("ctrl+a")}) && m_desktop->type(host)
                && m_desktop->key({QStringLiteral("Return")}))
        << qPrintable(m_desktop->error());
}

void HangingLookupTest::pingHangingName()
{
    ASSERT_NO_FATAL_FAILURE(enterHost(hangingName()));
    const QString query = QStringLiteral("name=%1 ").arg(hangingName());
    ASSERT_TRUE(waitForLog([&](const QString &log) { return log.contains(query); }, PromptMs))
        << "the name server got no query for " << qPrintable(hangingName());
}

void HangingLookupTest::closeAndExpectAPromptExit()
{
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(m_desktop->requestClose()) << qPrintable(m_desktop->error());
    const bool clean = m_desktop->waitForCleanExit((ResolverTimeoutSeconds + 15) * 1000);
    const qint64 ms = clock.elapsed();
    ASSERT_TRUE(clean) << qPrintable(m_program) << (m_desktop->isRunning() ? " did not end" : " did not end cleanly")
                       << " after the close request";
    std::cout << qPrintable(m_program) << " ended " << ms << " ms after the close request\n";
    RecordProperty("close_to_exit_ms", std::to_string(ms));
    EXPECT_LT(ms, PromptMs) << qPrintable(m_program) << " waited for the lookup (the resolver gives up after "
                            << ResolverTimeoutSeconds << " s) before it ended";
}

bool HangingLookupTest::waitForLog(const std::function<bool(const QString &)> &condition, int timeoutMs)
{
    return QTest::qWaitFor([&] { return condition(m_network->responderLog()); }, timeoutMs);
}
