// Self-tests of the test network and the responder. Where possible they use
// Debian's iputils ping, so what they show does not depend on our own ICMP
// code; the rest reads the responder's packets with a bare raw socket.
#include "testnetwork.h"

#include "dnssink.h"

#include "checksum.h"
#include "icmpmessage.h"
#include "ipv4header.h"
#include "quotedrequest.h"
#include "receivedcontrol.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
// After netinet/in.h: the kernel's header then leaves the IPv6 types to glibc.
#include <linux/icmp.h>

namespace {

using Family = IpFamily;
constexpr Family V4 = IpFamily::IPv4;
constexpr Family V6 = IpFamily::IPv6;

const QString netnsDirectory = QStringLiteral("/var/run/netns");

std::string familyName(const ::testing::TestParamInfo<Family> &info)
{
    return info.param == V4 ? "IPv4" : "IPv6";
}

qint64 realtimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool namespaceExists(const QString &name)
{
    return QFile::exists(netnsDirectory + QLatin1Char('/') + name);
}

// Debian's ping from iputils, or an empty string.
QString iputilsPing()
{
    static const QString program = [] {
        const QString path = QStandardPaths::findExecutable(QStringLiteral("ping"));
        if (path.isEmpty())
            return QString();
        QProcess version;
        version.start(path, {QStringLiteral("-V")});
        version.waitForFinished(5000);
        return version.readAllStandardOutput().contains("iputils") ? path : QString();
    }();
    return program;
}

// What iputils ping printed, taken apart.
struct PingRun
{
    QString text;
    int transmitted = -1;
    int received = -1;
    int duplicates = 0;
    double minMs = -1;
    double maxMs = -1;

    explicit PingRun(const TestNetwork::CommandResult &result)
        : text(result.output + result.errorOutput)
    {
        static const QRegularExpression counts(
            QStringLiteral("(\\d+) packets transmitted, (\\d+) received(?:, \\+(\\d+) duplicates)?"));
        static const QRegularExpression times(
            QStringLiteral("rtt min/avg/max/mdev = ([\\d.]+)/([\\d.]+)/([\\d.]+)/([\\d.]+) ms"));
        if (const auto m = counts.match(text); m.hasMatch()) {
            transmitted = m.captured(1).toInt();
            received = m.captured(2).toInt();
            duplicates = m.captured(3).toInt();
        }
        if (const auto m = times.match(text); m.hasMatch()) {
            minMs = m.captured(1).toDouble();
            maxMs = m.captured(3).toDouble();
        }
    }

    bool answered(int sequence) const
    {
        return text.contains(QStringLiteral("icmp_seq=%1 ttl=").arg(sequence));
    }
};

// Tests on a test network of their own; they skip where none can be made.
class TestNetworkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString reason = TestNetwork::unavailableReason();
        if (!reason.isEmpty())
            GTEST_SKIP() << qPrintable(reason);
        m_network = std::make_unique<TestNetwork>();
        ASSERT_TRUE(m_network->ok()) << qPrintable(m_network->error());
    }

    TestNetwork &network() { return *m_network; }

    std::unique_ptr<TestNetwork> m_network;
};

// Tests that also need iputils ping, run in the client namespace.
class IputilsTest : public TestNetworkTest, public ::testing::WithParamInterface<Family>
{
protected:
    void SetUp() override
    {
        if (iputilsPing().isEmpty())
            GTEST_SKIP() << "iputils ping is not installed (Debian package iputils-ping)";
        TestNetworkTest::SetUp();
    }

    // Requests 200 ms apart, each waiting up to half a second; -n: no DNS.
    PingRun ping(const HostAddress &target, const QStringList &extra = {}, int count = 3)
    {
        const QStringList command = QStringList{iputilsPing(), QStringLiteral("-n"), QStringLiteral("-c"),
                                                QString::number(count), QStringLiteral("-i"), QStringLiteral("0.2"),
                                                QStringLiteral("-W"), QStringLiteral("0.5")}
            + extra + QStringList{target.toString()};
        const auto result = network().runInClient(command);
        EXPECT_TRUE(result.finished) << qPrintable(result.errorOutput);
        return PingRun(result);
    }
};

// One raw ICMP or ICMPv6 socket in the client namespace: sends echo requests
// and reads whatever echo replies and errors come back, as they came.
class RawProbe
{
public:
    struct Received
    {
        IcmpMessage message;
        HostAddress source;
        bool checksumOk = true; // IPv6: the kernel drops bad checksums before we see them
        int hops = -1;
        qint64 receivedNs = 0;
    };

    RawProbe(const TestNetwork &network, Family family)
        : m_family(family)
    {
        const TestNetwork::ClientScope scope(network);
        if (!scope.ok()) {
            m_error = scope.error();
            return;
        }
        const bool v4 = family == V4;
        m_socket = ::socket(v4 ? AF_INET : AF_INET6, SOCK_RAW | SOCK_CLOEXEC, v4 ? int(IPPROTO_ICMP) : int(IPPROTO_ICMPV6));
        const int on = 1;
        bool configured = m_socket >= 0 && setsockopt(m_socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0;
        if (configured && v4) {
            // ICMP_FILTER's bits block types: replies and errors only.
            const icmp_filter filter{~((1U << Icmp4::EchoReply) | (1U << Icmp4::DestinationUnreachable)
                                       | (1U << Icmp4::TimeExceeded) | (1U << Icmp4::ParameterProblem))};
            configured = setsockopt(m_socket, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) == 0;
        } else if (configured) {
            icmp6_filter filter{};
            ICMP6_FILTER_SETBLOCKALL(&filter);
            for (const quint8 type : {Icmp6::EchoReply, Icmp6::DestinationUnreachable, Icmp6::PacketTooBig,
                                      Icmp6::TimeExceeded, Icmp6::ParameterProblem})
                ICMP6_FILTER_SETPASS(type, &filter);
            configured = setsockopt(m_socket, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) == 0
                && setsockopt(m_socket, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on) == 0;
        }
        if (!configured)
            m_error = QStringLiteral("raw socket: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    }

    ~RawProbe()
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }

    Q_DISABLE_COPY_MOVE(RawProbe)

    QString error() const { return m_error; }

    // CLOCK_REALTIME of the send, or -1.
    qint64 send(const HostAddress &to, quint16 identifier, quint16 sequence, const QByteArray &payload)
    {
        const bool v4 = m_family == V4;
        const IcmpMessage request = IcmpMessage::echo(v4 ? quint8(Icmp4::EchoRequest) : quint8(Icmp6::EchoRequest), identifier,
                                                      sequence, payload);
        // The kernel computes ICMPv6 checksums itself.
        const QByteArray bytes = v4 ? request.encodeWithChecksum() : request.encode();
        sockaddr_storage address{};
        socklen_t length = 0;
        if (v4) {
            auto *in = reinterpret_cast<sockaddr_in *>(&address);
            in->sin_family = AF_INET;
            in->sin_addr.s_addr = htonl(to.toIPv4Address());
            length = sizeof(sockaddr_in);
        } else {
            auto *in6 = reinterpret_cast<sockaddr_in6 *>(&address);
            in6->sin6_family = AF_INET6;
            const Ipv6Bytes a = to.toIPv6Address();
            std::memcpy(&in6->sin6_addr, a.c, 16);
            length = sizeof(sockaddr_in6);
        }
        const qint64 now = realtimeNs();
        if (::sendto(m_socket, bytes.constData(), size_t(bytes.size()), 0, reinterpret_cast<sockaddr *>(&address),
                     length) != bytes.size())
            return -1;
        return now;
    }

    // Everything that arrives within the next durationMs.
    std::vector<Received> collect(int durationMs)
    {
        std::vector<Received> received;
        const qint64 end = realtimeNs() + qint64(durationMs) * 1'000'000;
        for (qint64 left = end - realtimeNs(); left > 0; left = end - realtimeNs()) {
            pollfd fd{m_socket, POLLIN, 0};
            if (::poll(&fd, 1, int(left / 1'000'000) + 1) <= 0)
                continue;
            if (auto packet = receiveOne())
                received.push_back(*packet);
        }
        return received;
    }

private:
    std::optional<Received> receiveOne()
    {
        alignas(8) char data[65536];
        Icmp::ReceiveMessage message(data, sizeof data);
        const ssize_t length = message.receive(m_socket, MSG_DONTWAIT);
        if (length < 0)
            return std::nullopt;

        Received r;
        r.source = HostAddress::fromSockaddr(reinterpret_cast<const sockaddr *>(&message.sender()),
                                             message.senderLength());
        const Icmp::ReceivedControl control = message.control();
        r.receivedNs = control.stampNs.value_or(0);
        r.hops = control.hopLimit;
        QByteArrayView icmp(data, length);
        if (m_family == V4) {
            const auto ip = Ipv4Header::parse(icmp);
            if (!ip)
                return std::nullopt;
            r.hops = ip->ttl;
            icmp = icmp.sliced(ip->headerLength);
            r.checksumOk = Icmp::internetChecksum(IcmpBridge::bytes(icmp)) == 0;
        }
        const auto decoded = IcmpMessage::decode(icmp);
        if (!decoded)
            return std::nullopt;
        r.message = *decoded;
        return r;
    }

    Family m_family;
    int m_socket = -1;
    QString m_error;
};

class ResponderTest : public TestNetworkTest, public ::testing::WithParamInterface<Family>
{
protected:
    static constexpr quint16 identifier = 0x7a11;

    void SetUp() override
    {
        TestNetworkTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_probe = std::make_unique<RawProbe>(network(), GetParam());
        ASSERT_TRUE(m_probe->error().isEmpty()) << qPrintable(m_probe->error());
    }

    bool v4() const { return GetParam() == V4; }
    HostAddress host() const { return TestNetwork::hostAddress(GetParam()); }
    quint8 replyType() const { return v4() ? quint8(Icmp4::EchoReply) : quint8(Icmp6::EchoReply); }

    static QByteArray payload(quint16 sequence)
    {
        return QByteArray("tarvix responder self-test, sequence ") + QByteArray::number(sequence);
    }

    qint64 sendRequest(quint16 sequence)
    {
        const qint64 sent = m_probe->send(host(), identifier, sequence, payload(sequence));
        EXPECT_GE(sent, 0) << "sendto: " << std::strerror(errno);
        return sent;
    }

    bool isValidReply(const RawProbe::Received &r, quint16 sequence) const
    {
        return r.message.type == replyType() && r.message.code == 0 && r.message.identifier() == identifier
            && r.message.sequence() == sequence && r.message.body == payload(sequence) && r.checksumOk
            && r.source == host();
    }

    std::unique_ptr<RawProbe> m_probe;
};

// Names seen inside a test body that fails on purpose (EXPECT_FATAL_FAILURE
// only reaches statics).
QStringList namesOfFailedTest;

void failWhileNetworkExists()
{
    TestNetwork network;
    namesOfFailedTest = {network.clientNamespace(), network.hostNamespace()};
    ASSERT_TRUE(network.ok()) << qPrintable(network.error());
    ASSERT_TRUE(false) << "failing on purpose with the network up";
}

pid_t deadProcessId()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// Whether a process still has a network namespace. A killed process that
// nobody reaps stays as a zombie, which has none.
bool inSomeNamespace(pid_t pid)
{
    char target[64];
    return ::readlink(QStringLiteral("/proc/%1/ns/net").arg(pid).toLatin1().constData(), target, sizeof target) > 0;
}

ino_t namespaceInode(const QString &path)
{
    struct stat s{};
    return ::stat(QFile::encodeName(path).constData(), &s) == 0 ? s.st_ino : 0;
}

} // namespace

// ---- Life cycle of the namespaces -----------------------------------------

TEST_F(TestNetworkTest, NamespacesAndLinksLiveExactlyAsLongAsTheFixture)
{
    QStringList names;
    {
        TestNetwork second;
        ASSERT_TRUE(second.ok()) << qPrintable(second.error());
        names = {network().clientNamespace(), network().hostNamespace(), second.clientNamespace(),
                 second.hostNamespace()};
        EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), 4) << qPrintable(names.join(' '));
        for (const QString &name : names)
            EXPECT_TRUE(namespaceExists(name)) << qPrintable(name);
        const auto link = second.runInClient({QStringLiteral("ip"), QStringLiteral("-br"), QStringLiteral("addr"),
                                              QStringLiteral("show"), QStringLiteral("veth0")});
        EXPECT_EQ(link.exitCode, 0) << qPrintable(link.errorOutput);
        EXPECT_TRUE(link.output.contains(QStringLiteral("10.231.0.1/24"))) << qPrintable(link.output);
    }
    EXPECT_FALSE(namespaceExists(names[2]));
    EXPECT_FALSE(namespaceExists(names[3]));
    EXPECT_TRUE(namespaceExists(names[0])) << "removing one network must leave the other alone";

    m_network.reset();
    EXPECT_FALSE(namespaceExists(names[0]));
    EXPECT_FALSE(namespaceExists(names[1]));
}

TEST_F(TestNetworkTest, AFailedAssertionStillRemovesTheNamespaces)
{
    namesOfFailedTest.clear();
    EXPECT_FATAL_FAILURE(failWhileNetworkExists(), "failing on purpose");
    ASSERT_EQ(namesOfFailedTest.size(), 2);
    for (const QString &name : namesOfFailedTest)
        EXPECT_FALSE(namespaceExists(name)) << qPrintable(name);
}

TEST_F(TestNetworkTest, ConstructionSweepsLeftoversOfDeadProcessesOnly)
{
    const auto addNamespace = [](const QString &name) {
        QProcess ip;
        ip.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("add"), name});
        return ip.waitForFinished(5000) && ip.exitCode() == 0;
    };
    const QString alive = QStringLiteral("tarvix-test-%1-0-host").arg(getppid());
    ASSERT_TRUE(addNamespace(alive));
    QString dead;
    const auto cleanUp = qScopeGuard([&] {
        for (const QString &name : {alive, dead})
            if (!name.isEmpty() && namespaceExists(name))
                QProcess::execute(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), name});
    });
    // A process left running inside a dead test's namespace, as a responder
    // would be if its test crashed; a child of ours, so that whatever happens
    // here it ends with the test. `ip netns exec` enters the namespace before
    // it runs sleep, and a sweep finds only what is inside: on a loaded
    // machine that may take more than a moment. Test programs run side by
    // side, and each one's first network sweeps too: when another got to the
    // leftover before its process was inside, make a new one.
    std::unique_ptr<QProcess> straggler;
    qint64 stragglerId = 0;
    bool inside = false;
    for (int attempt = 0; attempt < 5 && !inside; ++attempt) {
        dead = QStringLiteral("tarvix-test-%1-0-host").arg(deadProcessId());
        ASSERT_TRUE(addNamespace(dead));
        const ino_t deadNamespace = namespaceInode(netnsDirectory + QLatin1Char('/') + dead);
        straggler = std::make_unique<QProcess>();
        straggler->start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), dead,
                                                QStringLiteral("sleep"), QStringLiteral("30")});
        ASSERT_TRUE(straggler->waitForStarted(5000)) << qPrintable(straggler->errorString());
        stragglerId = straggler->processId();
        const QString stragglerNamespace = QStringLiteral("/proc/%1/ns/net").arg(stragglerId);
        for (int i = 0; i < 250 && !inside && namespaceExists(dead); ++i, QThread::msleep(20))
            inside = deadNamespace != 0 && namespaceInode(stragglerNamespace) == deadNamespace;
    }
    ASSERT_TRUE(inside) << "process " << stragglerId << " never entered a leftover namespace ("
                        << (straggler->state() == QProcess::Running ? "it runs" : "it is gone") << "): "
                        << qPrintable(QString::fromLocal8Bit(straggler->readAllStandardError()));

    TestNetwork next;
    EXPECT_TRUE(next.ok()) << qPrintable(next.error());
    EXPECT_FALSE(namespaceExists(dead));
    EXPECT_TRUE(namespaceExists(alive)) << "the namespace of a live process must stay";
    // Killed, it is a zombie until it is reaped, and a zombie has no namespace.
    bool stragglerGone = false;
    for (int i = 0; i < 250 && !stragglerGone; ++i, QThread::msleep(20))
        stragglerGone = !inSomeNamespace(pid_t(stragglerId));
    EXPECT_TRUE(stragglerGone) << "the process inside the leftover namespace must be ended";
}

// ---- Putting the test's own thread on the client -------------------------

TEST_F(TestNetworkTest, ClientScopeMovesTheThreadAndItsNewSocketsAndComesBack)
{
    const ino_t original = namespaceInode(QStringLiteral("/proc/thread-self/ns/net"));
    const ino_t client = namespaceInode(netnsDirectory + QLatin1Char('/') + network().clientNamespace());
    ASSERT_NE(original, client);

    const auto bindToClientAddress = [] {
        const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(TestNetwork::clientAddress(V4).toIPv4Address());
        const bool bound = ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(s);
        return bound;
    };
    {
        const TestNetwork::ClientScope scope(network());
        ASSERT_TRUE(scope.ok()) << qPrintable(scope.error());
        EXPECT_EQ(namespaceInode(QStringLiteral("/proc/thread-self/ns/net")), client);
        EXPECT_TRUE(bindToClientAddress());
    }
    EXPECT_EQ(namespaceInode(QStringLiteral("/proc/thread-self/ns/net")), original);
    EXPECT_FALSE(bindToClientAddress()) << "10.231.0.1 exists only in the client namespace";
}

TEST_F(TestNetworkTest, PingGroupRangeDecidesWhetherDatagramIcmpSocketsOpen)
{
    const auto datagramSocketOpens = [this](int domain, int protocol) {
        const TestNetwork::ClientScope scope(network());
        const int s = ::socket(domain, SOCK_DGRAM | SOCK_CLOEXEC, protocol);
        if (s >= 0)
            ::close(s);
        return s >= 0;
    };
    // A new namespace allows nobody, not even root.
    EXPECT_FALSE(datagramSocketOpens(AF_INET, IPPROTO_ICMP));
    EXPECT_FALSE(datagramSocketOpens(AF_INET6, IPPROTO_ICMPV6));

    ASSERT_TRUE(network().setPingGroupRange(0, 2147483647)) << qPrintable(network().error());
    EXPECT_TRUE(datagramSocketOpens(AF_INET, IPPROTO_ICMP));
    EXPECT_TRUE(datagramSocketOpens(AF_INET6, IPPROTO_ICMPV6));

    if (const QString why = TestNetwork::forbidAgainUnavailable(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);

    ASSERT_TRUE(network().setPingGroupRange(1, 0)) << qPrintable(network().error());
    EXPECT_FALSE(datagramSocketOpens(AF_INET, IPPROTO_ICMP));
}

TEST_F(TestNetworkTest, ResponderWithBadOptionsReportsWhy)
{
    ResponderOptions options;
    options.drop = QStringLiteral("every:0");
    EXPECT_FALSE(network().startResponder(options));
    EXPECT_TRUE(network().error().contains(QStringLiteral("every:0"))) << qPrintable(network().error());
}

TEST_F(TestNetworkTest, ClientFilesReplaceThoseOfEtcInTheClientOnlyAndGoWithIt)
{
    QString clientFolder;
    {
        TestNetwork second;
        ASSERT_TRUE(second.ok()) << qPrintable(second.error());
        ASSERT_TRUE(second.setClientFile(QStringLiteral("resolv.conf"), "nameserver 10.231.0.2\n"))
            << qPrintable(second.error());
        clientFolder = QStringLiteral("/etc/netns/") + second.clientNamespace();
        const auto inClient = second.runInClient({QStringLiteral("cat"), QStringLiteral("/etc/resolv.conf")});
        EXPECT_EQ(inClient.output, QStringLiteral("nameserver 10.231.0.2\n")) << qPrintable(inClient.errorOutput);
        QFile own(QStringLiteral("/etc/resolv.conf"));
        ASSERT_TRUE(own.open(QIODevice::ReadOnly));
        EXPECT_NE(own.readAll(), QByteArray("nameserver 10.231.0.2\n")) << "this process's own /etc must stay";
        EXPECT_TRUE(QFile::exists(clientFolder));

        // Nothing outside the client's own folder.
        EXPECT_FALSE(second.setClientFile(QStringLiteral("../passwd"), "x"));
    }
    EXPECT_FALSE(QFile::exists(clientFolder)) << "the client's files must go with its namespace";
}

TEST_F(TestNetworkTest, DnsSinkLogsTheQueriesOfBothFamiliesAndAnswersNone)
{
    // Two name servers, both the sink: the resolver asks the first, gives up
    // after a second and asks the second.
    ASSERT_TRUE(network().setClientFile(QStringLiteral("resolv.conf"),
                                        "nameserver 10.231.0.2\nnameserver fd00:7a::2\noptions timeout:1 attempts:1\n"));
    ASSERT_TRUE(network().setClientFile(QStringLiteral("nsswitch.conf"), "hosts: files dns\n"));
    ResponderOptions options;
    options.dnsSink = true;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());

    const auto lookup = network().runInClient({QStringLiteral("getent"), QStringLiteral("ahosts"),
                                               QStringLiteral("sink.tarvix.test")});
    ASSERT_TRUE(lookup.finished) << qPrintable(lookup.errorOutput);
    EXPECT_EQ(lookup.exitCode, 2) << "getent found an address: " << qPrintable(lookup.output);
    const QString log = network().responderLog();
    EXPECT_TRUE(log.contains(QRegularExpression(
        QStringLiteral("dns query from 10\\.231\\.0\\.1 id=\\d+ name=sink\\.tarvix\\.test type=1 answer=none"))))
        << qPrintable(log);
    EXPECT_TRUE(log.contains(QRegularExpression(
        QStringLiteral("dns query from fd00:7a::1 id=\\d+ name=sink\\.tarvix\\.test type=28 answer=none"))))
        << qPrintable(log);
}

// ---- Seen by iputils ping --------------------------------------------------

TEST_P(IputilsTest, HostKernelAnswersOnlyWhileItsEchoIsOn)
{
    const HostAddress host = TestNetwork::hostAddress(GetParam());
    const PingRun on = ping(host);
    EXPECT_EQ(on.received, 3) << qPrintable(on.text);

    ASSERT_TRUE(network().setHostKernelEcho(false)) << qPrintable(network().error());
    const PingRun off = ping(host);
    EXPECT_EQ(off.transmitted, 3) << qPrintable(off.text);
    EXPECT_EQ(off.received, 0) << qPrintable(off.text);
}

TEST_P(IputilsTest, ResponderDelayIsWhatIputilsMeasures)
{
    ResponderOptions options;
    options.delayMs = 20;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    const PingRun run = ping(TestNetwork::hostAddress(GetParam()));
    EXPECT_EQ(run.received, 3) << qPrintable(run.text);
    EXPECT_EQ(run.duplicates, 0) << "the kernel's echo must be off while the responder runs\n"
                                 << qPrintable(run.text);
    EXPECT_GE(run.minMs, 20.0) << qPrintable(run.text);
    EXPECT_LT(run.maxMs, 21.0) << qPrintable(run.text);
}

TEST_P(IputilsTest, ResponderDropsWhatItIsToldTo)
{
    const HostAddress host = TestNetwork::hostAddress(GetParam());
    ResponderOptions options;
    options.drop = QStringLiteral("all");
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    const PingRun all = ping(host);
    EXPECT_EQ(all.transmitted, 3) << qPrintable(all.text);
    EXPECT_TRUE(all.text.contains(QStringLiteral("100% packet loss"))) << qPrintable(all.text);
    EXPECT_EQ(network().responderLog().count(QStringLiteral("answer=dropped")), 3)
        << qPrintable(network().responderLog());

    options.drop = QStringLiteral("2");
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    const PingRun second = ping(host);
    EXPECT_EQ(second.received, 2) << qPrintable(second.text);
    EXPECT_TRUE(second.answered(1) && second.answered(3) && !second.answered(2)) << qPrintable(second.text);
}

TEST_P(IputilsTest, ResponderDuplicatesAreReportedAsDup)
{
    ResponderOptions options;
    options.duplicate = 1;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    const PingRun run = ping(TestNetwork::hostAddress(GetParam()));
    EXPECT_EQ(run.received, 3) << qPrintable(run.text);
    // ping quits on the last reply, before that one's duplicate comes.
    EXPECT_GE(run.duplicates, 2) << qPrintable(run.text);
    for (int sequence = 1; sequence <= 2; ++sequence) {
        const QRegularExpression dup(QStringLiteral("icmp_seq=%1 .*\\(DUP!\\)").arg(sequence));
        EXPECT_TRUE(dup.match(run.text).hasMatch()) << sequence << "\n" << qPrintable(run.text);
    }
}

TEST_P(IputilsTest, StoppingTheResponderGivesTheKernelItsEchoBack)
{
    ASSERT_TRUE(network().startResponder()) << qPrintable(network().error());
    EXPECT_TRUE(network().stopResponder()) << "the responder must end cleanly on SIGTERM";
    EXPECT_TRUE(network().responderLog().contains(QStringLiteral("stopped")))
        << qPrintable(network().responderLog());
    const PingRun run = ping(TestNetwork::hostAddress(GetParam()));
    EXPECT_EQ(run.received, 3) << qPrintable(run.text);
}

TEST_P(IputilsTest, RoutedAddressGetsTheHostKernelsErrors)
{
    const bool v4 = GetParam() == V4;
    const HostAddress routed = TestNetwork::routedAddress(GetParam());
    const QString from = QStringLiteral("From %1 icmp_seq=").arg(TestNetwork::hostAddress(GetParam()).toString());

    const PingRun expired = ping(routed, {QStringLiteral("-t"), QStringLiteral("1")});
    EXPECT_EQ(expired.text.count(from), 3) << qPrintable(expired.text);
    EXPECT_EQ(expired.text.count(v4 ? QStringLiteral("Time to live exceeded")
                                    : QStringLiteral("Time exceeded: Hop limit")),
              3)
        << qPrintable(expired.text);

    const PingRun unreachable = ping(routed);
    EXPECT_EQ(unreachable.text.count(from), 3) << qPrintable(unreachable.text);
    EXPECT_EQ(unreachable.text.count(v4 ? QStringLiteral("Destination Host Unreachable")
                                        : QStringLiteral("Destination unreachable: Address unreachable")),
              3)
        << qPrintable(unreachable.text);
}

TEST_P(IputilsTest, UnroutedAddressIsNetUnreachableWhateverTheTtl)
{
    // Only two requests: the IPv4 kernel allows few of these errors per second.
    const PingRun run = ping(TestNetwork::unroutedAddress(GetParam()), {QStringLiteral("-t"), QStringLiteral("1")}, 2);
    EXPECT_EQ(run.text.count(GetParam() == V4 ? QStringLiteral("Destination Net Unreachable")
                                              : QStringLiteral("Destination unreachable: No route")),
              2)
        << qPrintable(run.text);
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, IputilsTest, ::testing::Values(V4, V6), familyName);

// ---- The responder's packets, read with a raw socket -----------------------

TEST_P(ResponderTest, NoiseComesFirstInItsOrderThenTheReplyAndItsDuplicates)
{
    ResponderOptions options;
    options.foreignId = true;
    options.wrongSequence = true;
    options.badChecksum = true;
    options.corruptPayload = true;
    options.duplicate = 1;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    sendRequest(7);
    const auto got = m_probe->collect(300);

    const QByteArray expected = payload(7);
    // IPv6 gets no bad-checksum noise: the kernel always fixes the checksum.
    ASSERT_EQ(got.size(), v4() ? 6U : 5U);
    size_t i = 0;
    EXPECT_EQ(got[i].message.identifier(), quint16(~identifier));
    EXPECT_EQ(got[i].message.sequence(), 7);
    EXPECT_EQ(got[i].message.body, expected);
    EXPECT_TRUE(got[i].checksumOk);
    ++i;
    EXPECT_EQ(got[i].message.identifier(), identifier);
    EXPECT_EQ(got[i].message.sequence(), 8);
    EXPECT_EQ(got[i].message.body, expected);
    ++i;
    if (v4()) {
        EXPECT_FALSE(got[i].checksumOk);
        EXPECT_EQ(got[i].message.sequence(), 7);
        EXPECT_EQ(got[i].message.body, expected);
        ++i;
    }
    EXPECT_TRUE(got[i].checksumOk);
    EXPECT_EQ(got[i].message.sequence(), 7);
    ASSERT_EQ(got[i].message.body.size(), expected.size());
    int differing = 0;
    for (qsizetype b = 0; b < expected.size(); ++b)
        differing += got[i].message.body[b] != expected[b];
    EXPECT_EQ(differing, 1) << "one payload byte is corrupted";
    ++i;
    EXPECT_TRUE(isValidReply(got[i], 7));
    EXPECT_TRUE(isValidReply(got[i + 1], 7));
    for (const auto &r : got)
        EXPECT_EQ(r.message.type, replyType());
}

TEST_P(ResponderTest, NoiseOnlyWithholdsTheReplyUntilItsLateCopy)
{
    ResponderOptions options;
    options.foreignId = true;
    options.noiseOnly = true;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    sendRequest(1);
    auto got = m_probe->collect(200);
    ASSERT_EQ(got.size(), 1U);
    EXPECT_EQ(got[0].message.identifier(), quint16(~identifier));

    options.lateMs = 150;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    const qint64 sent = sendRequest(2);
    got = m_probe->collect(400);
    ASSERT_EQ(got.size(), 2U);
    EXPECT_FALSE(isValidReply(got[0], 2));
    EXPECT_TRUE(isValidReply(got[1], 2));
    EXPECT_GE(got[1].receivedNs - sent, 150'000'000);
}

TEST_P(ResponderTest, LateCopyFollowsTheReplyAfterLateMs)
{
    ResponderOptions options;
    options.lateMs = 150;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    const qint64 sent = sendRequest(3);
    const auto got = m_probe->collect(400);
    ASSERT_EQ(got.size(), 2U);
    EXPECT_TRUE(isValidReply(got[0], 3));
    EXPECT_TRUE(isValidReply(got[1], 3));
    EXPECT_LT(got[0].receivedNs - sent, 50'000'000);
    EXPECT_GE(got[1].receivedNs - sent, 150'000'000);
    EXPECT_LT(got[1].receivedNs - sent, 250'000'000);
}

TEST_P(ResponderTest, DelayedRequestsDoNotQueueBehindEachOther)
{
    ResponderOptions options;
    options.delayMs = 100;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    std::vector<qint64> sent;
    for (quint16 sequence = 1; sequence <= 5; ++sequence) {
        sent.push_back(sendRequest(sequence));
        QThread::msleep(10);
    }
    const auto got = m_probe->collect(350);
    ASSERT_EQ(got.size(), 5U);
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_TRUE(isValidReply(got[i], quint16(i + 1)));
        const qint64 roundTrip = got[i].receivedNs - sent[i];
        // Queued one behind the other they would come 100 ms apart.
        EXPECT_GE(roundTrip, 100'000'000) << "reply " << i + 1;
        EXPECT_LT(roundTrip, 140'000'000) << "reply " << i + 1;
    }
}

TEST_P(ResponderTest, EveryNthCountsRequestsAsTheyArriveAndEachIsLogged)
{
    ResponderOptions options;
    options.drop = QStringLiteral("every:2");
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    // Sequences 10 to 13: "every second request" drops 11 and 13, where a rule
    // on sequence numbers would have dropped 10 and 12.
    for (quint16 sequence = 10; sequence <= 13; ++sequence)
        sendRequest(sequence);
    const auto got = m_probe->collect(200);
    ASSERT_EQ(got.size(), 2U);
    EXPECT_TRUE(isValidReply(got[0], 10));
    EXPECT_TRUE(isValidReply(got[1], 12));

    const QString log = network().responderLog();
    const QString client = TestNetwork::clientAddress(GetParam()).toString();
    for (int sequence = 10; sequence <= 13; ++sequence) {
        const QString line = QStringLiteral("request v%1 %2 -> %3 id=%4 seq=%5 ")
                                 .arg(v4() ? 4 : 6)
                                 .arg(client, host().toString())
                                 .arg(identifier)
                                 .arg(sequence);
        EXPECT_EQ(log.count(line), 1) << qPrintable(line) << "\n" << qPrintable(log);
    }
    EXPECT_EQ(log.count(QStringLiteral("answer=dropped")), 2) << qPrintable(log);
}

TEST_P(ResponderTest, TtlOptionSetsTheHopLimitOfReplies)
{
    ResponderOptions options;
    options.ttl = 7;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    sendRequest(1);
    const auto got = m_probe->collect(200);
    ASSERT_EQ(got.size(), 1U);
    EXPECT_TRUE(isValidReply(got[0], 1));
    EXPECT_EQ(got[0].hops, 7);
}

TEST_P(ResponderTest, ErrorsQuoteTheRequestAndComeFromTheHost)
{
    using Kind = ResponderOptions::ErrorKind;
    struct Expected
    {
        Kind kind;
        quint8 type4, code4, type6, code6;
        quint32 rest4, rest6; // MTU of "too big"
    };
    const Expected table[] = {
        {Kind::HostUnreachable, 3, 1, 1, 3, 0, 0},
        {Kind::NetUnreachable, 3, 0, 1, 0, 0, 0},
        {Kind::PortUnreachable, 3, 3, 1, 4, 0, 0},
        {Kind::TtlExceeded, 11, 0, 3, 0, 0, 0},
        {Kind::PacketTooBig, 3, 4, 2, 0, 1400, 1280},
        {Kind::ParameterProblem, 12, 0, 4, 0, 0, 0},
    };
    quint16 sequence = 20;
    for (const Expected &e : table) {
        SCOPED_TRACE(qPrintable(ResponderOptions::errorKindName(e.kind)));
        ResponderOptions options;
        options.error = e.kind;
        ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
        sendRequest(++sequence);
        const auto got = m_probe->collect(150);
        ASSERT_EQ(got.size(), 1U);
        const RawProbe::Received &error = got[0];
        EXPECT_EQ(error.message.type, v4() ? e.type4 : e.type6);
        EXPECT_EQ(error.message.code, v4() ? e.code4 : e.code6);
        EXPECT_EQ(error.message.restOfHeader, v4() ? e.rest4 : e.rest6);
        EXPECT_TRUE(error.checksumOk);
        EXPECT_EQ(error.source, host());
        const auto quoted = Icmp::QuotedRequest::parse(*IcmpBridge::family(GetParam()),
                                                       IcmpBridge::bytes(error.message.body));
        ASSERT_TRUE(quoted.has_value());
        EXPECT_EQ(quoted->identifier, identifier);
        EXPECT_EQ(quoted->sequence, sequence);
        EXPECT_EQ(IcmpBridge::toHostAddress(quoted->destination), host());
    }
}

TEST_P(ResponderTest, ForgedErrorQuotesAnotherDestinationBeforeTheReply)
{
    ResponderOptions options;
    options.forgedError = true;
    options.delayMs = 20;
    ASSERT_TRUE(network().startResponder(options)) << qPrintable(network().error());
    sendRequest(31);
    const auto got = m_probe->collect(300);
    ASSERT_EQ(got.size(), 2U);
    EXPECT_EQ(got[0].message.type, v4() ? 3 : 1);
    EXPECT_EQ(got[0].message.code, v4() ? 1 : 3);
    const auto quoted = Icmp::QuotedRequest::parse(*IcmpBridge::family(GetParam()),
                                                   IcmpBridge::bytes(got[0].message.body));
    ASSERT_TRUE(quoted.has_value());
    EXPECT_EQ(quoted->identifier, identifier);
    EXPECT_EQ(quoted->sequence, 31);
    EXPECT_NE(IcmpBridge::toHostAddress(quoted->destination), host());
    EXPECT_EQ(IcmpBridge::toHostAddress(quoted->destination).protocol(), host().protocol());
    EXPECT_EQ(got[1].message.type, v4() ? 0 : 129);
    EXPECT_EQ(got[1].message.sequence(), 31);
    EXPECT_TRUE(network().responderLog().contains(QStringLiteral("noise=forged-error")))
        << qPrintable(network().responderLog());
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, ResponderTest, ::testing::Values(V4, V6), familyName);

// ---- Options crossing from the fixture to the responder ------------------

TEST(ResponderOptions, EverySettingSurvivesTheCommandLine)
{
    ResponderOptions options;
    options.delayMs = 20;
    options.drop = QStringLiteral("2,5");
    options.duplicate = 2;
    options.foreignId = true;
    options.wrongSequence = true;
    options.badChecksum = true;
    options.corruptPayload = true;
    options.noiseOnly = true;
    options.forgedError = true;
    options.lateMs = 1500;
    options.error = ResponderOptions::ErrorKind::PacketTooBig;
    options.ttl = 9;
    options.dnsSink = true;
    QString error;
    const auto parsed = ResponderOptions::fromArguments(options.toArguments(), &error);
    ASSERT_TRUE(parsed.has_value()) << qPrintable(error);
    EXPECT_EQ(*parsed, options);

    EXPECT_TRUE(ResponderOptions().toArguments().isEmpty());
}

TEST(DnsSink, NamesTheFirstQuestionAndCallsMalformedQueriesSo)
{
    // id 0x1234, a standard query with one question: hang.example, type AAAA, class IN.
    const QByteArray query = QByteArray::fromHex("123401000001000000000000")
        + QByteArray("\x04hang\x07" "example\x00", 14) + QByteArray::fromHex("001c0001");
    EXPECT_EQ(DnsSink::describe(query), QStringLiteral("id=4660 name=hang.example type=28"));

    // Bytes that would garble the log are escaped.
    const QByteArray odd = QByteArray::fromHex("000101000001000000000000") + QByteArray("\x03" "a.\n\x00", 5)
        + QByteArray::fromHex("00010001");
    EXPECT_EQ(DnsSink::describe(odd), QStringLiteral("id=1 name=a\\046\\010 type=1"));

    EXPECT_EQ(DnsSink::describe(QByteArray(5, 'x')), QStringLiteral("malformed (5 bytes)"));
    EXPECT_EQ(DnsSink::describe(QByteArray::fromHex("000101000000000000000000")), QStringLiteral("id=1 no-question"));
    // A label that runs past the end, a compression pointer, no type.
    EXPECT_EQ(DnsSink::describe(QByteArray::fromHex("00010100000100000000000009616263")),
              QStringLiteral("id=1 malformed-name"));
    EXPECT_EQ(DnsSink::describe(QByteArray::fromHex("000101000001000000000000c00c00010001")),
              QStringLiteral("id=1 malformed-name"));
    EXPECT_EQ(DnsSink::describe(QByteArray::fromHex("0001010000010000000000000161000001")),
              QStringLiteral("id=1 name=a malformed-question"));
}

TEST(ResponderOptions, BadValuesAreRejectedWithTheirName)
{
    const QList<QStringList> bad = {
        {QStringLiteral("--delay-ms"), QStringLiteral("-1")},
        {QStringLiteral("--delay-ms"), QStringLiteral("soon")},
        {QStringLiteral("--ttl"), QStringLiteral("0")},
        {QStringLiteral("--ttl"), QStringLiteral("256")},
        {QStringLiteral("--late-ms"), QStringLiteral("0")},
        {QStringLiteral("--drop"), QStringLiteral("every:0")},
        {QStringLiteral("--drop"), QStringLiteral("2,x")},
        {QStringLiteral("--drop"), QStringLiteral("70000")},
        {QStringLiteral("--error"), QStringLiteral("host-unreachble")},
        {QStringLiteral("--no-such-option")},
        {QStringLiteral("stray")},
    };
    for (const QStringList &arguments : bad) {
        QString error;
        EXPECT_FALSE(ResponderOptions::fromArguments(arguments, &error).has_value()) << qPrintable(arguments.join(' '));
        const QString named = arguments.constFirst().startsWith(QLatin1String("--"))
            ? arguments.constFirst().mid(2)
            : arguments.constFirst();
        EXPECT_TRUE(error.contains(named) || error.contains(arguments.constLast())) << qPrintable(error);
    }
}
