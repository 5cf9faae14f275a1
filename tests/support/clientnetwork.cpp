#include "clientnetwork.h"

#include <gtest/gtest.h>

void ClientNetwork::setUp(quint32 pingGroupLow, quint32 pingGroupHigh)
{
    const QString unavailable = TestNetwork::unavailableReason();
    if (!unavailable.isEmpty())
        GTEST_SKIP() << qPrintable(unavailable);
    m_network = std::make_unique<TestNetwork>();
    ASSERT_TRUE(m_network->ok()) << qPrintable(m_network->error());
    ASSERT_TRUE(m_network->setPingGroupRange(pingGroupLow, pingGroupHigh)) << qPrintable(m_network->error());
    m_scope = std::make_unique<TestNetwork::ClientScope>(*m_network);
    ASSERT_TRUE(m_scope->ok()) << qPrintable(m_scope->error());
}

void ClientNetwork::tearDown()
{
    m_scope.reset();
    m_network.reset();
}
