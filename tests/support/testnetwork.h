#pragma once

#include "hostaddress.h"
#include "responderoptions.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class QProcess;

// A test network of our own: a "client" and a "host" network namespace joined
// by a veth pair, made at construction and removed by the destructor, so a
// failing test leaves nothing behind. Leftovers of test processes that died
// without cleaning up are swept at construction. Each instance has names of
// its own (tarvix-test-<pid>-<n>-client and -host), so tests run in parallel.
// The interfaces are created directly inside the namespaces, so their names
// need not be unique and nothing is ever added to the root namespace.
//
//   client 10.231.0.1/24  fd00:7a::1/64  ==veth==  host 10.231.0.2/24  fd00:7a::2/64
//
// The host forwards, and the client routes two more networks through it:
//
// - routedAddress() (10.231.99.1, fd00:7a:99::1): the host has a route onward,
//   via a gateway on a link of its own where nobody answers ARP or neighbour
//   solicitations. What its kernel sends back (seen with iputils ping):
//     TTL / hop limit 1: at once, "time exceeded in transit" (ICMP 11/0,
//       ICMPv6 3/0), because forwarding checks the TTL before anything else;
//     otherwise, once neighbour resolution fails (13 to 20 ms after the
//     request on this project's machines):
//       "destination host unreachable" (ICMP 3/1) or "address unreachable"
//       (ICMPv6 1/3).
// - unroutedAddress() (10.231.98.1, fd00:7a:98::1): the host has no route at
//   all. The route lookup comes before the TTL check, so whatever the TTL the
//   answer is "destination net unreachable" (ICMP 3/0) or "no route" (ICMPv6
//   1/0). The IPv4 kernel rate-limits these per sender with settings that
//   exist only in the root namespace (net.ipv4.route.error_cost and
//   error_burst, left alone here): a burst of 5, then one a second.
// The host's per-namespace ICMP rate limits (net.ipv4.icmp_ratelimit,
// net.ipv6.icmp.ratelimit) are off, so every other error above is sent.
//
// Needs root (or CAP_SYS_ADMIN and CAP_NET_ADMIN); see unavailableReason().
class TestNetwork
{
public:
    struct CommandResult
    {
        bool finished = false; // false: did not start, or killed at the time-out
        int exitCode = -1;
        QString output;        // stdout
        QString errorOutput;   // stderr
    };

    // Moves the calling thread into the client namespace for its lifetime and
    // back afterwards. Sockets opened meanwhile stay in the client namespace,
    // which is how a component under test is put "on the client". Only this
    // thread moves; end the scope before the network goes.
    class ClientScope
    {
    public:
        explicit ClientScope(const TestNetwork &network);
        ~ClientScope();
        Q_DISABLE_COPY_MOVE(ClientScope)

        bool ok() const { return m_error.isEmpty(); }
        QString error() const { return m_error; }

    private:
        int m_original = -1; // this thread's own namespace
        bool m_entered = false;
        QString m_error;
    };

    TestNetwork();
    ~TestNetwork();
    Q_DISABLE_COPY_MOVE(TestNetwork)

    // Empty when this process can make network namespaces, otherwise a reason
    // for GTEST_SKIP(). Checked once per process.
    static QString unavailableReason();

    // False once setting up or any later change failed; error() says what
    // failed first.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    QString clientNamespace() const { return m_client; }
    QString hostNamespace() const { return m_host; }

    // family: IpFamily::IPv4 or IPv6Protocol.
    static HostAddress clientAddress(IpFamily family);
    static HostAddress hostAddress(IpFamily family);
    static HostAddress routedAddress(IpFamily family);
    static HostAddress unroutedAddress(IpFamily family);

    // net.ipv4.ping_group_range of the client namespace, which decides whether
    // the unprivileged ICMP datagram socket opens there (for IPv6 too). A new
    // namespace starts at "1 0": nobody.
    //
    // In a user namespace of our own (see usernamespace.h) only our own group
    // is mapped, and the kernel takes only mapped groups: a range that allows
    // us becomes "0 0", and one that allows nobody stands only where nothing
    // was allowed yet (a new namespace). Once allowed, it cannot be forbidden
    // again there: such a call fails, and forbidAgainUnavailable() says why.
    bool setPingGroupRange(quint32 low, quint32 high);
    // Empty where the group range can be set to anything; otherwise why not,
    // for GTEST_SKIP() in tests that forbid datagram sockets after allowing them.
    static QString forbidAgainUnavailable();
    // Whether this process runs as root of a user namespace of its own
    // rather than as real root.
    static bool inOwnUserNamespace();
    // Whether the host's kernel answers echo requests itself (IPv4 and IPv6).
    // On at first.
    bool setHostKernelEcho(bool on);
    // Lets both kernels answer echo requests to broadcast and multicast
    // addresses (net.ipv4.icmp_echo_ignore_broadcasts=0; IPv6 answers its
    // groups anyway), and routes IPv4 multicast from the client onto the
    // link. The client answers its own such requests too: they loop back.
    bool answerGroupPings();

    // Runs tarvix_test_responder in the host namespace and waits for it to be
    // ready; the host kernel's own echo is off while it runs. A running
    // responder is stopped first.
    bool startResponder(const ResponderOptions &options = {});
    // Stops it (SIGTERM) and waits; true if it ended cleanly. Restores the
    // host kernel's echo setting.
    bool stopResponder();
    // What the responder logged so far: one line per request it saw.
    QString responderLog() const;

    // Runs a program in the client namespace and waits for it (LC_ALL=C).
    CommandResult runInClient(const QStringList &command, int timeoutMs = 10000) const;
    // The same outside the test network, in this process's own namespaces,
    // with NAME=VALUE assignments added to the environment.
    static CommandResult runHere(const QStringList &command, int timeoutMs = 10000,
                                 const QStringList &environment = {});
    // The command line that runs command in the client namespace, for programs
    // a test starts itself and keeps running.
    QStringList clientCommand(const QStringList &command) const;
    // Puts a file of the client's own in place of /etc/<name> for what runs
    // there through runInClient() or clientCommand() (ip netns exec mounts
    // /etc/netns/<client>/<name> over it), e.g. resolv.conf to choose its
    // name server. /etc/<name> must exist. Removed with the namespace.
    bool setClientFile(const QString &name, const QByteArray &contents);

private:
    bool setUp();
    bool ip(const QString &netns, const QStringList &arguments);
    bool sysctl(const QString &netns, const QStringList &assignments);
    void fail(const QString &what);

    QString m_client;
    QString m_host;
    int m_instance = -1;
    QString m_error;
    bool m_hostKernelEcho = true;
    bool m_pingGroupAllowed = false; // in a user namespace of our own: see setPingGroupRange
    std::unique_ptr<QProcess> m_responder;
    std::unique_ptr<QTemporaryDir> m_logDirectory;
};
