// The helper program as its parent sees it: started here by fork and exec
// with its two channels, in the client namespace of a test network of the
// test's own, whose host answers (or logs, with the responder) what the helper
// sends. Needs root, for the namespaces and for the helper's raw sockets; the
// tests of a copy that an ordinary user runs, given cap_net_raw or set-user-ID
// root, need real root.
#include "clientnetwork.h"
#include "helperprotocol.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <net/if.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace Icmp;
using namespace Icmp::HelperProtocol;
using Bytes = std::vector<unsigned char>;

const char *const HelperProgram = TARVIX_ICMP_HELPER_PROGRAM;
constexpr uid_t Nobody = 65534;

qint64 nowNs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// One message from a socket within the time, or nothing.
std::optional<Bytes> readMessage(int fd, int timeoutMs)
{
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, timeoutMs) != 1)
        return std::nullopt;
    Bytes message(MaxPacketSize + 1);
    const ssize_t size = ::recv(fd, message.data(), message.size(), MSG_DONTWAIT);
    if (size <= 0)
        return std::nullopt;
    message.resize(size_t(size));
    return message;
}

// Waits for a child to exit; its wait status, or nothing within the time.
std::optional<int> waitForChildExit(pid_t pid, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return status;
        ::usleep(10000);
    }
    return std::nullopt;
}

// How a test starts the helper.
struct Launch
{
    const char *program = HelperProgram;
    const char *argument = nullptr;
    // As uid and gid 65534 without supplementary groups, as an ordinary user
    // runs it, rather than as this process's user.
    bool asNobody = false;
};

// Runs the helper in a child whose descriptors 0 and 1 are the given ones,
// with an empty environment; pid of the child.
pid_t startHelper(int requestEnd, int packetEnd, const Launch &launch = {})
{
    const pid_t pid = fork();
    if (pid == 0) {
        // Groups first, while root may still change them.
        if (launch.asNobody
            && (::setgroups(0, nullptr) != 0 || ::setresgid(Nobody, Nobody, Nobody) != 0
                || ::setresuid(Nobody, Nobody, Nobody) != 0))
            ::_exit(126);
        ::dup2(requestEnd, 0);
        ::dup2(packetEnd, 1);
        char *arguments[] = {const_cast<char *>(launch.program), const_cast<char *>(launch.argument), nullptr};
        char *environment[] = {nullptr};
        ::execve(launch.program, arguments, environment);
        ::_exit(127);
    }
    return pid;
}

// The pattern of a request's payload, different for each sequence.
Bytes patternOf(std::uint16_t sequence)
{
    Bytes pattern(EchoPattern::Size);
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<unsigned char>(i * 13 + sequence);
    return pattern;
}

// The payload the helper sends for a request: its pattern repeated to its size.
Bytes payloadOf(std::uint16_t sequence, std::size_t payloadSize)
{
    Bytes payload(payloadSize);
    EchoPattern::fill(patternOf(sequence).data(), payload.data(), payloadSize);
    return payload;
}

Bytes echoRequest(std::uint8_t family, const HostAddress &to, std::uint16_t sequence, std::size_t payloadSize,
                  std::uint8_t hopLimit = 64, std::uint8_t flags = 0, std::uint32_t scopeId = 0)
{
    EchoRequestFields fields;
    fields.family = family;
    fields.sequence = sequence;
    fields.hopLimit = hopLimit;
    fields.flags = flags;
    fields.scopeId = scopeId;
    if (family == FamilyIpv4) {
        const quint32 address = to.toIPv4Address();
        for (int i = 0; i < 4; ++i)
            fields.address[i] = static_cast<unsigned char>(address >> (24 - 8 * i));
    } else {
        std::memcpy(fields.address, to.toIPv6Address().c, 16);
    }
    fields.payloadSize = static_cast<std::uint16_t>(payloadSize);
    std::memcpy(fields.pattern, patternOf(sequence).data(), EchoPattern::Size);
    Bytes message(EchoRequestSize);
    encodeEchoRequest(fields, message.data());
    return message;
}

std::uint8_t familyOf(const HostAddress &address)
{
    return address.protocol() == IpFamily::IPv4 ? FamilyIpv4 : FamilyIpv6;
}

QString statusField(pid_t pid, const QString &name)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QRegularExpression line(QStringLiteral("^%1:\\s*(\\S+)").arg(name), QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(file.readAll())).captured(1);
}

// A helper of the test's own, as the component runs one.
class HelperProcess
{
public:
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;

    // inherited: a descriptor left open across the exec, for the helper to close.
    explicit HelperProcess(int inherited = -1, const Launch &launch = {})
    {
        int requests[2];
        int packets[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, requests) != 0
            || ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, packets) != 0)
            return;
        if (inherited >= 0)
            ::fcntl(inherited, F_SETFD, 0);
        m_pid = startHelper(requests[1], packets[1], launch);
        ::close(requests[1]);
        ::close(packets[1]);
        m_requests = requests[0];
        m_packets = packets[0];
        const auto message = readMessage(m_requests, 5000);
        m_ready = message && decodeHello(message->data(), message->size(), &m_hello);
    }

    ~HelperProcess()
    {
        closeChannels();
        if (m_pid > 0 && !waitForChildExit(m_pid, 2000)) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    bool ready() const { return m_ready; }
    const HelloFields &hello() const { return m_hello; }
    pid_t pid() const { return m_pid; }
    int requestChannel() const { return m_requests; }

    std::optional<SendReportFields> request(const Bytes &message)
    {
        if (!write(message))
            return std::nullopt;
        return report();
    }
    // A request written without waiting for its report.
    bool write(const Bytes &message)
    {
        return ::send(m_requests, message.data(), message.size(), MSG_NOSIGNAL) == ssize_t(message.size());
    }
    // The next report.
    std::optional<SendReportFields> report()
    {
        const auto answer = readMessage(m_requests, 2000);
        SendReportFields report;
        if (!answer || !decodeSendReport(answer->data(), answer->size(), &report))
            return std::nullopt;
        return report;
    }

    // The next Packet message; the transmit timestamps that come on the same
    // channel are set aside, in stamps().
    std::optional<Bytes> packet(int timeoutMs = 2000)
    {
        for (;;) {
            std::optional<Bytes> message = readMessage(m_packets, timeoutMs);
            SendStampFields stamp;
            if (!message || !decodeSendStamp(message->data(), message->size(), &stamp))
                return message;
            m_stamps.push_back(stamp);
        }
    }
    const std::vector<SendStampFields> &stamps() const { return m_stamps; }

    // Every packet that comes within the time.
    std::vector<Bytes> drain(int forMs = 200)
    {
        std::vector<Bytes> packets;
        while (auto next = packet(forMs))
            packets.push_back(*next);
        return packets;
    }

    void closeRequestChannel() { closeOne(m_requests); }
    void closeChannels()
    {
        closeOne(m_requests);
        closeOne(m_packets);
    }
    std::optional<int> waitForExit(int timeoutMs)
    {
        const auto status = waitForChildExit(m_pid, timeoutMs);
        if (status)
            m_pid = -1;
        return status;
    }

private:
    std::vector<SendStampFields> m_stamps;

    static void closeOne(int &fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    pid_t m_pid = -1;
    int m_requests = -1;
    int m_packets = -1;
    bool m_ready = false;
    HelloFields m_hello;
};

// The ICMP message of a packet from the helper (past the IPv4 header of an
// IPv4 datagram), with its header fields.
struct Received
{
    PacketFields fields;
    Bytes icmp;
};

std::optional<Received> decodePacket(const Bytes &message)
{
    Received received;
    if (!decodePacketHeader(message.data(), message.size(), &received.fields))
        return std::nullopt;
    std::size_t start = PacketHeaderSize;
    if (received.fields.family == FamilyIpv4) {
        if (message.size() < start + 20)
            return std::nullopt;
        start += size_t(message[start] & 0x0f) * 4;
    }
    if (message.size() < start + 8)
        return std::nullopt;
    received.icmp.assign(message.begin() + long(start), message.end());
    return received;
}

std::uint16_t icmpIdentifier(const Received &received)
{
    return get16(received.icmp.data() + 4);
}

std::uint16_t icmpSequence(const Received &received)
{
    return get16(received.icmp.data() + 6);
}

class HelperProcessTest : public ::testing::TestWithParam<IpFamily>
{
protected:
    void SetUp() override
    {
        m_client.setUp(1, 0);
        if (IsSkipped() || HasFailure())
            return;
        m_network = &m_client.network();
    }
    void TearDown() override { m_client.tearDown(); }

    HostAddress host() const { return TestNetwork::hostAddress(GetParam()); }
    std::uint8_t family() const { return familyOf(host()); }

    // Starts a helper and checks it is ready for this test's family.
    std::unique_ptr<HelperProcess> startReady(int inherited = -1)
    {
        auto helper = std::make_unique<HelperProcess>(inherited);
        EXPECT_TRUE(helper->ready()) << "no Hello from " << HelperProgram;
        if (helper->ready()) {
            EXPECT_EQ(family() == FamilyIpv4 ? helper->hello().ipv4Errno : helper->hello().ipv6Errno, 0)
                << std::strerror(family() == FamilyIpv4 ? helper->hello().ipv4Errno : helper->hello().ipv6Errno);
        }
        return helper;
    }

    ClientNetwork m_client;
    TestNetwork *m_network = nullptr;
};

} // namespace

TEST_P(HelperProcessTest, AnswersAnEchoRequestWithTheReplyAndItsTimes)
{
    const auto helper = startReady();
    ASSERT_TRUE(helper->ready());
    EXPECT_NE(helper->hello().identifier, 0);

    const qint64 beforeRealtime = nowNs(CLOCK_REALTIME);
    const qint64 beforeMonotonic = nowNs(CLOCK_MONOTONIC);
    const Bytes request = echoRequest(family(), host(), 21, 1000);
    const auto report = helper->request(request);
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->status, Sent) << std::strerror(report->errnoValue);
    EXPECT_EQ(report->sequence, 21);
    // Both clocks, read right before the send.
    EXPECT_GE(report->sentRealtimeNs, beforeRealtime);
    EXPECT_GE(report->sentMonotonicNs, beforeMonotonic);
    EXPECT_LE(report->sentMonotonicNs, nowNs(CLOCK_MONOTONIC));

    const auto message = helper->packet();
    ASSERT_TRUE(message.has_value()) << "no reply from the host";
    const auto received = decodePacket(*message);
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->fields.family, family());
    EXPECT_EQ(icmpIdentifier(*received), helper->hello().identifier);
    EXPECT_EQ(icmpSequence(*received), 21);
    // The payload the helper built: the request's pattern repeated to its size.
    EXPECT_EQ(Bytes(received->icmp.begin() + 8, received->icmp.end()), payloadOf(21, 1000));
    EXPECT_EQ(0, std::memcmp(received->fields.source, request.data() + 12, family() == FamilyIpv4 ? 4 : 16));
    // The kernel's receive stamp lies between the send and our read of it.
    EXPECT_TRUE(received->fields.kernelTimestamp);
    EXPECT_GE(received->fields.kernelRealtimeNs, report->sentRealtimeNs);
    EXPECT_LE(received->fields.kernelRealtimeNs, received->fields.readRealtimeNs);
    EXPECT_GE(received->fields.readMonotonicNs, report->sentMonotonicNs);
    if (family() == FamilyIpv6) {
        EXPECT_GT(received->fields.hopLimit, 0);
    }
    // The kernel's transmit stamp came first, tied to the request: after the
    // clock read before the send, before the reply came in.
    EXPECT_TRUE(helper->hello().flags & (family() == FamilyIpv4 ? HelloSendStampsIpv4 : HelloSendStampsIpv6));
    ASSERT_EQ(helper->stamps().size(), 1u);
    EXPECT_EQ(helper->stamps()[0].family, family());
    EXPECT_EQ(helper->stamps()[0].sequence, 21);
    EXPECT_GE(helper->stamps()[0].sentRealtimeNs, report->sentRealtimeNs);
    EXPECT_LE(helper->stamps()[0].sentRealtimeNs, received->fields.kernelRealtimeNs);
    EXPECT_TRUE(helper->drain().empty());
}

TEST_P(HelperProcessTest, RefusesWhatItMustAndSendsNothingForIt)
{
    ASSERT_TRUE(m_network->startResponder()) << qPrintable(m_network->error());
    const auto helper = startReady();
    ASSERT_TRUE(helper->ready());

    struct Refusal
    {
        const char *what;
        Bytes message;
        int errnoValue;
    };
    std::vector<Refusal> refusals;
    Bytes badVersion = echoRequest(family(), host(), 2, 32);
    badVersion[1] = Version + 1;
    refusals.push_back({"another version", badVersion, EBADMSG});
    Bytes otherKind = echoRequest(family(), host(), 3, 32);
    otherKind[0] = Packet;
    refusals.push_back({"another kind of message", otherKind, EBADMSG});
    Bytes strayFlags = echoRequest(family(), host(), 4, 32);
    strayFlags[3] = 0x40;
    refusals.push_back({"unknown flags", strayFlags, EBADMSG});
    refusals.push_back({"TTL 0", echoRequest(family(), host(), 5, 32, 0), EINVAL});
    refusals.push_back({"an over-long payload", echoRequest(family(), host(), 6, MaxPayload + 1), EMSGSIZE});
    const Bytes good = echoRequest(family(), host(), 7, 32);
    refusals.push_back({"a truncated request", Bytes(good.begin(), good.end() - 1), EBADMSG});
    Bytes longer = good;
    longer.resize(EchoRequestSize + 1000, 0x61);
    refusals.push_back({"a request with bytes after it", longer, EBADMSG});
    if (family() == FamilyIpv4) {
        refusals.push_back({"limited broadcast, not asked for",
                            echoRequest(family(), HostAddress(QStringLiteral("255.255.255.255")), 8, 32), EACCES});
    }
    for (const Refusal &refusal : refusals) {
        const auto report = helper->request(refusal.message);
        ASSERT_TRUE(report.has_value()) << refusal.what;
        EXPECT_EQ(report->status, Refused) << refusal.what;
        EXPECT_EQ(report->errnoValue, refusal.errnoValue) << refusal.what;
    }

    // Still serving, with the TTL this request asks for.
    const auto sent = helper->request(echoRequest(family(), host(), 99, 32, 7));
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(sent->status, Sent) << std::strerror(sent->errnoValue);
    EXPECT_TRUE(helper->packet().has_value());
    // The host saw that one request and nothing else.
    const QStringList requests = m_network->responderLog().split(QLatin1Char('\n')).filter(QStringLiteral("request v"));
    ASSERT_EQ(requests.size(), 1) << qPrintable(m_network->responderLog());
    EXPECT_TRUE(requests.first().contains(QStringLiteral("seq=99 payload=32 hops=7"))) << qPrintable(requests.first());
}

TEST_P(HelperProcessTest, MulticastGoesOutWithTheRequestedTtlAndBroadcastOnlyWhenAsked)
{
    ASSERT_TRUE(m_network->startResponder()) << qPrintable(m_network->error());
    const auto helper = startReady();
    ASSERT_TRUE(helper->ready());
    // The link's all-nodes group, which the host is in. IPv4 needs a route
    // for it (the client has only its subnet's); IPv6 takes the interface.
    HostAddress group(QStringLiteral("ff02::1"));
    std::uint32_t scopeId = 0;
    if (family() == FamilyIpv6) {
        scopeId = ::if_nametoindex("veth0"); // this thread is on the client
        ASSERT_NE(scopeId, 0u) << std::strerror(errno);
    } else {
        group = HostAddress(QStringLiteral("224.0.0.1"));
        const auto route = m_network->runInClient({QStringLiteral("ip"), QStringLiteral("route"), QStringLiteral("add"),
                                                   QStringLiteral("224.0.0.0/4"), QStringLiteral("dev"),
                                                   QStringLiteral("veth0")});
        ASSERT_TRUE(route.finished && route.exitCode == 0) << qPrintable(route.errorOutput);
    }
    // No flag needed. Multicast leaves with a TTL of 1 unless told otherwise:
    // the request's TTL is what the host sees.
    const auto sent = helper->request(echoRequest(family(), group, 1, 32, 9, 0, scopeId));
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(sent->status, Sent) << std::strerror(sent->errnoValue);
    helper->drain();
    const QStringList requests = m_network->responderLog().split(QLatin1Char('\n')).filter(QStringLiteral("request v"));
    ASSERT_EQ(requests.size(), 1) << qPrintable(m_network->responderLog());
    EXPECT_TRUE(requests.first().contains(QStringLiteral(" -> %1 ").arg(group.toString())))
        << qPrintable(requests.first());
    EXPECT_TRUE(requests.first().contains(QStringLiteral("seq=1 payload=32 hops=9"))) << qPrintable(requests.first());
    if (family() == FamilyIpv6)
        return;

    // The client's subnet broadcast: the routing table knows it, the helper
    // does not; without SO_BROADCAST the kernel refuses it.
    const HostAddress subnetBroadcast(QStringLiteral("10.231.0.255"));
    const auto directed = helper->request(echoRequest(family(), subnetBroadcast, 2, 32));
    ASSERT_TRUE(directed.has_value());
    EXPECT_EQ(directed->status, Failed);
    EXPECT_EQ(directed->errnoValue, EACCES);
    const auto allowed = helper->request(echoRequest(family(), subnetBroadcast, 3, 32, 1, RequestBroadcast));
    ASSERT_TRUE(allowed.has_value());
    EXPECT_EQ(allowed->status, Sent) << std::strerror(allowed->errnoValue);
    // And off again for the next request that does not ask.
    const auto again = helper->request(echoRequest(family(), subnetBroadcast, 4, 32));
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->errnoValue, EACCES);
}

TEST_P(HelperProcessTest, TwoHelpersEachSeeOnlyTheirOwnReplies)
{
    const auto first = startReady();
    const auto second = startReady();
    ASSERT_TRUE(first->ready() && second->ready());
    EXPECT_NE(first->hello().identifier, second->hello().identifier);
    // The same sequence to the same host: only the identifier tells the
    // replies apart, and each helper's kernel filter and own check keep the
    // other's out.
    ASSERT_EQ(first->request(echoRequest(family(), host(), 7, 16))->status, Sent);
    ASSERT_EQ(second->request(echoRequest(family(), host(), 7, 24))->status, Sent);
    for (const auto *helper : {first.get(), second.get()}) {
        auto &process = *const_cast<HelperProcess *>(helper);
        const auto message = process.packet();
        ASSERT_TRUE(message.has_value());
        const auto received = decodePacket(*message);
        ASSERT_TRUE(received.has_value());
        EXPECT_EQ(icmpIdentifier(*received), helper->hello().identifier);
        EXPECT_EQ(received->icmp.size(), 8u + (helper == first.get() ? 16u : 24u));
        EXPECT_TRUE(process.drain().empty());
    }
}

TEST_P(HelperProcessTest, TheUnspecifiedAddressIsAnsweredByThisHostOverLoopback)
{
    const auto helper = startReady();
    ASSERT_TRUE(helper->ready());
    const bool ipv4 = family() == FamilyIpv4;
    const HostAddress unspecified(ipv4 ? QStringLiteral("0.0.0.0") : QStringLiteral("::"));
    const auto report = helper->request(echoRequest(family(), unspecified, 3, 40));
    ASSERT_TRUE(report.has_value());
    ASSERT_EQ(report->status, Sent) << std::strerror(report->errnoValue);
    // The kernel took it to the loopback address, which answered it.
    const auto message = helper->packet();
    ASSERT_TRUE(message.has_value()) << "the reply from the loopback address was held back";
    const auto received = decodePacket(*message);
    ASSERT_TRUE(received.has_value());
    const Bytes source(received->fields.source, received->fields.source + (ipv4 ? 4 : 16));
    Bytes loopback(16); // ::1
    loopback[15] = 1;
    if (ipv4)
        loopback = {127, 0, 0, 1};
    EXPECT_EQ(source, loopback);
    EXPECT_EQ(icmpSequence(*received), 3);
    EXPECT_EQ(Bytes(received->icmp.begin() + 8, received->icmp.end()), payloadOf(3, 40));
}

TEST_P(HelperProcessTest, GivesUpItsCapabilitiesAndInheritedDescriptors)
{
    int inherited[2];
    ASSERT_EQ(::pipe2(inherited, O_CLOEXEC), 0);
    const auto helper = startReady(inherited[1]);
    ASSERT_TRUE(helper->ready());
    ::close(inherited[1]);
    // Only the helper held the write end now; once it closed it, the read end
    // sees end of file.
    pollfd end{inherited[0], POLLIN, 0};
    char byte;
    EXPECT_TRUE(::poll(&end, 1, 2000) == 1 && ::read(inherited[0], &byte, 1) == 0)
        << "the helper kept a descriptor it inherited";
    ::close(inherited[0]);

    // Started by root it had every capability; serving, it has none left.
    for (const char *set : {"CapEff", "CapPrm", "CapInh", "CapAmb"})
        EXPECT_EQ(statusField(helper->pid(), QString::fromLatin1(set)), QStringLiteral("0000000000000000")) << set;
    EXPECT_EQ(statusField(helper->pid(), QStringLiteral("NoNewPrivs")), QStringLiteral("1"));
    // Its raw sockets still work.
    ASSERT_EQ(helper->request(echoRequest(family(), host(), 1, 8))->status, Sent);
    EXPECT_TRUE(helper->packet().has_value());
}

TEST_P(HelperProcessTest, ExitsWhenItsParentClosesEitherChannel)
{
    auto helper = startReady();
    ASSERT_TRUE(helper->ready());
    helper->closeRequestChannel();
    const auto status = helper->waitForExit(2000);
    ASSERT_TRUE(status.has_value()) << "still running after its request channel closed";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;

    // Closing the packet channel alone is enough too.
    int requests[2];
    int packets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, requests), 0);
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, packets), 0);
    const pid_t pid = startHelper(requests[1], packets[1]);
    ::close(requests[1]);
    ::close(packets[1]);
    ASSERT_TRUE(readMessage(requests[0], 5000).has_value());
    ::close(packets[0]);
    EXPECT_TRUE(waitForChildExit(pid, 2000).has_value()) << "still running after its packet channel closed";
    ::close(requests[0]);
    ::waitpid(pid, nullptr, WNOHANG);
}

namespace {

// A helper whose parent, a child of this process, starts it and waits to be
// killed, while this process holds the helper's channels: only the
// parent-death signal can end the helper once the parent is gone. However the
// test ends, the parent goes and the channels close, which ends a helper that
// outlived it.
class OrphanedHelper
{
public:
    // The parent runs as nobody when launch says so, and then so does the helper.
    explicit OrphanedHelper(Launch launch)
    {
        int pidPipe[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, m_requests) != 0
            || ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, m_packets) != 0
            || ::pipe2(pidPipe, O_CLOEXEC) != 0)
            return;
        const bool asNobody = std::exchange(launch.asNobody, false);
        m_parent = fork();
        if (m_parent == 0) {
            if (asNobody
                && (::setgroups(0, nullptr) != 0 || ::setresgid(Nobody, Nobody, Nobody) != 0
                    || ::setresuid(Nobody, Nobody, Nobody) != 0))
                ::_exit(1);
            const pid_t helper = startHelper(m_requests[1], m_packets[1], launch);
            const bool written = ::write(pidPipe[1], &helper, sizeof helper) == sizeof helper;
            while (written)
                ::pause();
            ::_exit(1);
        }
        ::close(pidPipe[1]);
        if (::read(pidPipe[0], &m_helper, sizeof m_helper) != ssize_t(sizeof m_helper))
            m_helper = -1;
        ::close(pidPipe[0]);
        const auto message = readMessage(m_requests[0], 5000);
        m_ready = m_helper > 0 && message && decodeHello(message->data(), message->size(), &m_hello);
        m_exited = m_ready ? int(syscall(SYS_pidfd_open, m_helper, 0)) : -1;
    }
    OrphanedHelper(const OrphanedHelper &) = delete;
    OrphanedHelper &operator=(const OrphanedHelper &) = delete;
    ~OrphanedHelper()
    {
        killParent();
        for (int fd : {m_requests[0], m_requests[1], m_packets[0], m_packets[1], m_exited}) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    // Said its Hello, and can be watched.
    bool ready() const { return m_ready && m_exited >= 0; }
    const HelloFields &hello() const { return m_hello; }
    pid_t helper() const { return m_helper; }

    // Kills the parent; whether the helper exited within the time.
    bool helperEndsWithItsParent(int timeoutMs)
    {
        killParent();
        pollfd gone{m_exited, POLLIN, 0};
        return ::poll(&gone, 1, timeoutMs) == 1;
    }

private:
    void killParent()
    {
        if (m_parent > 0) {
            ::kill(m_parent, SIGKILL);
            ::waitpid(m_parent, nullptr, 0);
        }
        m_parent = -1;
    }

    int m_requests[2] = {-1, -1};
    int m_packets[2] = {-1, -1};
    pid_t m_parent = -1;
    pid_t m_helper = -1;
    int m_exited = -1;
    bool m_ready = false;
    HelloFields m_hello;
};

} // namespace

TEST_P(HelperProcessTest, ExitsWhenItsParentDiesWhileOthersHoldTheChannels)
{
    OrphanedHelper orphan{Launch{}};
    ASSERT_TRUE(orphan.ready()) << "no Hello";
    EXPECT_TRUE(orphan.helperEndsWithItsParent(3000)) << "the helper outlived its parent";
}

namespace {

// How an ordinary user's copy of the helper may open raw sockets: the file
// capability a package gives it, or set-user-ID root where the file system
// keeps no capabilities.
enum class Grant { Capability, SetUserId };

// A copy of the helper in a folder of its own that user nobody may enter, as
// a package installs it, on the client of a test network of the test's own.
class GrantedHelperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // It runs a program as another user with a file capability or a
        // set-user-ID bit: real root's work.
        if (TestNetwork::inOwnUserNamespace())
            GTEST_SKIP() << "running unprivileged in a user namespace of its own, which maps no other user; run as root";
        m_client.setUp(1, 0);
        if (IsSkipped() || HasFailure())
            return;
        m_network = &m_client.network();
    }
    void TearDown() override { m_client.tearDown(); }

    // The copy's path; empty when it cannot be made, with a reason to skip
    // the test in skipReason, or a failure added.
    QByteArray grantedCopy(Grant grant, QString *skipReason)
    {
        const QString setcap = QStandardPaths::findExecutable(QStringLiteral("setcap"),
                                                              {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (grant == Grant::Capability && setcap.isEmpty()) {
            *skipReason = QStringLiteral("setcap (Debian package libcap2-bin) is not installed");
            return {};
        }
        struct statvfs filesystem{};
        const QByteArray folder = QFile::encodeName(m_folder.path());
        if (!m_folder.isValid() || ::statvfs(folder.constData(), &filesystem) != 0) {
            ADD_FAILURE() << "no folder for the copy: " << qPrintable(m_folder.errorString());
            return {};
        }
        if (filesystem.f_flag & ST_NOSUID) {
            *skipReason = m_folder.path()
                + QStringLiteral(" is on a nosuid file system, where file capabilities and set-user-ID bits do nothing");
            return {};
        }
        const QString copy = m_folder.filePath(QStringLiteral("tarvix-icmp-helper"));
        const QByteArray path = QFile::encodeName(copy);
        // Copied by root, so root's.
        if (::chmod(folder.constData(), 0755) != 0 || !QFile::copy(QStringLiteral(TARVIX_ICMP_HELPER_PROGRAM), copy)
            || ::chmod(path.constData(), grant == Grant::SetUserId ? 04755 : 0755) != 0) {
            ADD_FAILURE() << "cannot copy the helper to " << qPrintable(copy);
            return {};
        }
        if (grant == Grant::Capability) {
            QProcess setting;
            setting.start(setcap, {QStringLiteral("cap_net_raw+ep"), copy});
            if (!setting.waitForFinished(10000) || setting.exitCode() != 0) {
                ADD_FAILURE() << "setcap: " << setting.readAllStandardError().constData();
                return {};
            }
        }
        return path;
    }

    ClientNetwork m_client;
    TestNetwork *m_network = nullptr;
    QTemporaryDir m_folder;
};

// What the responder saw of requests with sequences first to last.
int requestsSeen(const TestNetwork &network, int first, int last)
{
    static const QRegularExpression sequence(QStringLiteral("^request v\\d .* seq=(\\d+) "));
    int seen = 0;
    for (const QString &line : network.responderLog().split(QLatin1Char('\n'))) {
        const auto match = sequence.match(line);
        const int number = match.hasMatch() ? match.captured(1).toInt() : -1;
        seen += number >= first && number <= last;
    }
    return seen;
}

} // namespace

TEST_F(GrantedHelperTest, ACallerOtherThanRootIsHeldToTheRateLimits)
{
    QString skipReason;
    const QByteArray copy = grantedCopy(Grant::Capability, &skipReason);
    if (!skipReason.isEmpty())
        GTEST_SKIP() << qPrintable(skipReason);
    ASSERT_FALSE(copy.isEmpty());
    ASSERT_TRUE(m_network->startResponder()) << qPrintable(m_network->error());
    const HostAddress host = TestNetwork::hostAddress(IpFamily::IPv4);
    constexpr int Burst = 10;

    HelperProcess limited(-1, Launch{copy.constData(), nullptr, true});
    ASSERT_TRUE(limited.ready()) << "no Hello from the copy run as nobody";
    ASSERT_EQ(limited.hello().ipv4Errno, 0) << std::strerror(limited.hello().ipv4Errno);
    EXPECT_TRUE(limited.hello().flags & HelloRateLimited);

    // Requests refused for what they are take no token.
    for (int i = 0; i < RateBurst; ++i) {
        const auto refused = limited.request(echoRequest(FamilyIpv4, host, 0, 16, 0, RequestBroadcast));
        ASSERT_TRUE(refused.has_value());
        EXPECT_EQ(refused->status, Refused);
    }
    // To a group (the flag makes any request one), one a second after a
    // burst: the requests are written at once, and those past the burst are
    // answered at once too, none kept waiting.
    for (int i = 1; i <= Burst; ++i)
        ASSERT_TRUE(limited.write(echoRequest(FamilyIpv4, host, std::uint16_t(i), 16, 64, RequestBroadcast)));
    for (int i = 1; i <= Burst; ++i) {
        const auto report = limited.report();
        ASSERT_TRUE(report.has_value()) << i;
        EXPECT_EQ(report->sequence, i);
        if (i <= RateBurst) {
            EXPECT_EQ(report->status, Sent) << i << ": " << std::strerror(report->errnoValue);
            continue;
        }
        EXPECT_EQ(report->status, TooSoon) << i;
        EXPECT_GT(report->sentRealtimeNs, 0) << i << ": the wait until a request is taken";
        EXPECT_LE(report->sentRealtimeNs, GroupIntervalNs) << i;
    }

    // Unicast, one every 2 ms after a burst: as many as the burst and the
    // time the requests took allow.
    const qint64 start = nowNs(CLOCK_MONOTONIC);
    for (int i = 1; i <= Burst; ++i)
        ASSERT_TRUE(limited.write(echoRequest(FamilyIpv4, host, std::uint16_t(100 + i), 16)));
    int unicastSent = 0;
    for (int i = 1; i <= Burst; ++i) {
        const auto report = limited.report();
        ASSERT_TRUE(report.has_value()) << i;
        if (i <= RateBurst) {
            EXPECT_EQ(report->status, Sent) << i << ": " << std::strerror(report->errnoValue);
        }
        if (report->status == Sent) {
            ++unicastSent;
        } else {
            EXPECT_EQ(report->status, TooSoon) << i;
            EXPECT_GT(report->sentRealtimeNs, 0) << i;
            EXPECT_LE(report->sentRealtimeNs, UnicastIntervalNs) << i;
        }
    }
    const qint64 took = nowNs(CLOCK_MONOTONIC) - start;
    EXPECT_LE(unicastSent, RateBurst + took / UnicastIntervalNs) << "in " << took << " ns";

    // Only what was reported Sent reached the host.
    EXPECT_EQ(limited.drain(300).size(), size_t(RateBurst + unicastSent));
    EXPECT_EQ(requestsSeen(*m_network, 1, Burst), RateBurst) << qPrintable(m_network->responderLog());
    EXPECT_EQ(requestsSeen(*m_network, 101, 100 + Burst), unicastSent) << qPrintable(m_network->responderLog());

    // Started by root, the same burst all goes out.
    HelperProcess unlimited;
    ASSERT_TRUE(unlimited.ready());
    EXPECT_FALSE(unlimited.hello().flags & HelloRateLimited);
    for (int i = 1; i <= Burst; ++i)
        ASSERT_TRUE(unlimited.write(echoRequest(FamilyIpv4, host, std::uint16_t(200 + i), 16, 64, RequestBroadcast)));
    for (int i = 1; i <= Burst; ++i) {
        const auto report = unlimited.report();
        ASSERT_TRUE(report.has_value()) << i;
        EXPECT_EQ(report->status, Sent) << i << ": " << std::strerror(report->errnoValue);
    }
}

// The exit from set-user-ID root to the caller's user id made the kernel
// forget the parent-death signal; the helper sets it again.
TEST_F(GrantedHelperTest, ASetUserIdCopyExitsWhenItsParentDiesWhileOthersHoldTheChannels)
{
    QString skipReason;
    const QByteArray copy = grantedCopy(Grant::SetUserId, &skipReason);
    if (!skipReason.isEmpty())
        GTEST_SKIP() << qPrintable(skipReason);
    ASSERT_FALSE(copy.isEmpty());
    OrphanedHelper orphan{Launch{copy.constData(), nullptr, true}};
    ASSERT_TRUE(orphan.ready()) << "no Hello";
    // Its raw socket opened: it did run as root.
    EXPECT_EQ(orphan.hello().ipv4Errno, 0) << std::strerror(orphan.hello().ipv4Errno);
    EXPECT_TRUE(orphan.hello().flags & HelloRateLimited);
    EXPECT_EQ(statusField(orphan.helper(), QStringLiteral("Uid")), QString::number(Nobody));
    EXPECT_TRUE(orphan.helperEndsWithItsParent(3000)) << "the helper outlived its parent";
}

INSTANTIATE_TEST_SUITE_P(TestNetwork, HelperProcessTest, ::testing::Values(IpFamily::IPv4, IpFamily::IPv6),
                         [](const auto &info) { return std::string(info.param == IpFamily::IPv4 ? "V4" : "V6"); });

// Run by hand, from a terminal or with other descriptors, it refuses to start.
TEST(HelperProgram, RefusesToRunWithoutItsChannelsOrWithArguments)
{
    int requests[2];
    int packets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, requests), 0);
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, packets), 0);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    int stream[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stream), 0);
    struct Case
    {
        const char *what;
        int requestEnd;
        int packetEnd;
        const char *argument;
    };
    for (const Case &run : {Case{"/dev/null", null, null, nullptr}, Case{"stream sockets", stream[1], stream[1], nullptr},
                            Case{"an argument", requests[1], packets[1], "--help"}}) {
        const pid_t pid = startHelper(run.requestEnd, run.packetEnd, Launch{HelperProgram, run.argument});
        const auto status = waitForChildExit(pid, 5000);
        ASSERT_TRUE(status.has_value()) << run.what;
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << run.what << ": " << *status;
    }
    // Nothing was said on the channels.
    EXPECT_FALSE(readMessage(requests[0], 0).has_value());
    for (int fd : {requests[0], requests[1], packets[0], packets[1], null, stream[0], stream[1]})
        ::close(fd);
}
