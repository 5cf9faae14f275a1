#pragma once

#include "testnetwork.h"

#include <QString>

#include <optional>

// A benchmark's test network: made at construction, with the unprivileged ICMP
// datagram socket allowed in its client namespace (the path most users'
// pings take), and removed at destruction.
class BenchNetwork
{
public:
    // Call first thing in main, before the QApplication: puts Qt on the
    // offscreen platform, and gives the exit status Skipped, having said why,
    // when this process cannot make network namespaces.
    static std::optional<int> prepareProcess();

    BenchNetwork();
    Q_DISABLE_COPY_MOVE(BenchNetwork)

    TestNetwork &network() { return m_network; }

    // Moves this thread into the client namespace for the lifetime of this
    // object; sockets opened meanwhile are the client's.
    bool enterClient();

    // Says on stderr what failed first and gives the exit status for it.
    int fail() const;

private:
    TestNetwork m_network;
    std::optional<TestNetwork::ClientScope> m_scope;
};
