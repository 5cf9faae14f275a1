#include "benchnetwork.h"

#include "benchreport.h"

#include <cstdio>

std::optional<int> BenchNetwork::prepareProcess()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString unavailable = TestNetwork::unavailableReason();
    if (!unavailable.isEmpty())
        return BenchReport::skip(unavailable);
    return std::nullopt;
}

BenchNetwork::BenchNetwork()
{
    if (m_network.ok())
        m_network.setPingGroupRange(0, 2147483647);
}

bool BenchNetwork::enterClient()
{
    if (!m_network.ok())
        return false;
    m_scope.emplace(m_network);
    return m_scope->ok();
}

int BenchNetwork::fail() const
{
    const QString why = !m_network.ok() ? m_network.error()
        : m_scope && !m_scope->ok()     ? m_scope->error()
                                        : QStringLiteral("unknown failure");
    std::fprintf(stderr, "test network: %s\n", qPrintable(why));
    return 1;
}
