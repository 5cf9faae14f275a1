// Runs the QML tests of the Tarvix module. Where a test network can be made
// (root), the process moves onto its client side and the tests get the
// host's addresses as testHost4 and testHost6; elsewhere those are empty and
// testNetworkUnavailable says why. testLanguage is the language the test
// runs in (TARVIX_TEST_LANGUAGE), for the tests of language/.
#include "testnetwork.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest/quicktest.h>

#include <memory>

class Setup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QString reason = TestNetwork::unavailableReason();
        QString host4;
        QString host6;
        if (reason.isEmpty() && !m_network) {
            m_network = std::make_unique<TestNetwork>();
            if (m_network->ok())
                m_scope = std::make_unique<TestNetwork::ClientScope>(*m_network);
            reason = !m_network->ok() ? m_network->error() : m_scope->ok() ? QString() : m_scope->error();
        }
        if (reason.isEmpty()) {
            host4 = TestNetwork::hostAddress(IpFamily::IPv4).toString();
            host6 = TestNetwork::hostAddress(IpFamily::IPv6).toString();
        }
        engine->rootContext()->setContextProperty(QStringLiteral("testHost4"), host4);
        engine->rootContext()->setContextProperty(QStringLiteral("testHost6"), host6);
        engine->rootContext()->setContextProperty(QStringLiteral("testNetworkUnavailable"), reason);
        engine->rootContext()->setContextProperty(QStringLiteral("testLanguage"),
                                                  qEnvironmentVariable("TARVIX_TEST_LANGUAGE"));
    }

    void cleanupTestCase()
    {
        m_scope.reset();
        m_network.reset();
    }

private:
    std::unique_ptr<TestNetwork> m_network;
    std::unique_ptr<TestNetwork::ClientScope> m_scope;
};

QUICK_TEST_MAIN_WITH_SETUP(ping_quick, Setup)

#include "main.moc"
