#pragma once

#include "testnetwork.h"

#include <memory>

// A test's own test network with the calling thread on its client: what a
// fixture sets up before putting a component or prober on the client, and
// takes down in the right order afterwards (first back to the thread's own
// namespace, then the namespaces go).
class ClientNetwork
{
public:
    // Skips the running test when namespaces cannot be made here, and fails
    // it when setting up fails; check the test's state before going on.
    void setUp(quint32 pingGroupLow, quint32 pingGroupHigh);
    void tearDown();

    TestNetwork &network() { return *m_network; }

private:
    std::unique_ptr<TestNetwork> m_network;
    std::unique_ptr<TestNetwork::ClientScope> m_scope;
};
