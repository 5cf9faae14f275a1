// Probers on real sockets, talking to loopback only: raw sockets in this
// namespace, datagram sockets and injected ICMP errors in namespaces of the
// tests' own.
#include "clockreading.h"
#include "helperprober.h"
#include "icmpmessage.h"
#include "icmpsocket.h"
#include "ipv6header.h"
#include "prober.h"
#include "clientnetwork.h"
#include "testpackets.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/net_tstamp.h>
#include <functional>
#include <linux/capability.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Family = IpFamily;
constexpr auto V4 = IpFamily::IPv4;
constexpr auto V6 = IpFamily::IPv6;

HostAddress loopback(Family family)
{
    return family == V4 ? HostAddress(QStringLiteral("127.0.0.1")) : HostAddress(QStringLiteral("::1"));
}

const char *familyName(Family family)
{
    return family == V4 ? "IPv4" : "IPv6";
}

// The TTL or hop limit the kernel gives its own echo replies on loopback, as
// configured in the calling thread's namespace.
int defaultHopLimit(Family family)
{
    QFile file(family == V4 ? QStringLiteral("/proc/sys/net/ipv4/ip_default_ttl")
                            : QStringLiteral("/proc/sys/net/ipv6/conf/lo/hop_limit"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return QString::fromLatin1(file.readAll()).trimmed().toInt();
}

// A payload as runs make them: 16 bytes repeated (the helper sends nothing else).
QByteArray pattern(int size, int seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(i % 16 * 7 + seed);
    return data;
}

// Reads events until one is wanted or the time is up; the others go to skipped.
std::optional<ProbeEvent> waitForEvent(Prober &prober, const std::function<bool(const ProbeEvent &)> &wanted,
                                       int timeoutMs = 3000, QList<ProbeEvent> *skipped = nullptr)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (auto event = prober.receive()) {
            if (wanted(*event))
                return event;
            if (skipped)
                skipped->append(*event);
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return std::nullopt;
        pollfd watched{prober.descriptor(), POLLIN, 0};
        ::poll(&watched, 1, int(left));
    }
}

std::function<bool(const ProbeEvent &)> replyTo(quint16 sequence)
{
    return [sequence](const ProbeEvent &event) {
        return event.kind == ProbeEvent::Kind::EchoReply && event.sequence == sequence;
    };
}

// Everything that arrives within a short while: for checking that nothing more comes.
QList<ProbeEvent> drain(Prober &prober, int forMs = 200)
{
    QList<ProbeEvent> events;
    waitForEvent(prober, [](const ProbeEvent &) { return false; }, forMs, &events);
    return events;
}

// A prober that is ready to send: the helper's once it said so.
std::unique_ptr<Prober> openOrExplain(Family family, Prober::Preference preference, QString *why)
{
    Prober::Opened opened = Prober::open(family, preference);
    if (!opened) {
        *why = opened.error();
        return nullptr;
    }
    std::unique_ptr<Prober> prober = std::move(opened).value();
    if (prober->isReady())
        return prober;
    const auto said = waitForEvent(*prober, [](const ProbeEvent &event) {
        return event.kind == ProbeEvent::Kind::Ready || event.kind == ProbeEvent::Kind::ProberFailed;
    });
    if (said && said->kind == ProbeEvent::Kind::Ready)
        return prober;
    *why = said ? said->failure : QStringLiteral("the prober did not become ready");
    return nullptr;
}

// Why Prober::open refused, or the helper's prober said it could not serve;
// "opened" where neither.
QString openError(Family family, Prober::Preference preference)
{
    QString why;
    return openOrExplain(family, preference, &why) ? QStringLiteral("opened") : why;
}

// The kernel stamps received packets only while some socket asks it to, and
// turns that on with deferred work: the first packets after the first such
// socket opens come unstamped. One socket asking from the start of the tests
// makes the stamp of every reply a fact to check.
void keepKernelReceiveStampsOn()
{
    static const int holder = [] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int flags = SOF_TIMESTAMPING_RX_SOFTWARE | SOF_TIMESTAMPING_SOFTWARE;
        ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPING, &flags, sizeof flags);
        ::usleep(100'000);
        return fd;
    }();
    Q_UNUSED(holder);
}

class KernelReceiveStamps : public ::testing::Environment
{
public:
    void SetUp() override { keepKernelReceiveStampsOn(); }
};
[[maybe_unused]] ::testing::Environment *const kernelReceiveStamps =
    ::testing::AddGlobalTestEnvironment(new KernelReceiveStamps);

// Sends one request and checks the reply against it: our identifier and
// sequence, the very payload, the loopback's TTL and a kernel receive time
// that follows the send. The kernel's transmit timestamp of the request
// comes first, between the clock read before the send and the reply's stamp.
void expectLoopbackRoundTrip(Prober &prober, quint16 sequence, const QByteArray &payload)
{
    const Family family = prober.family();
    const SendResult sent = prober.send(loopback(family), sequence, payload);
    ASSERT_TRUE(sent.ok) << familyName(family) << " send: " << qPrintable(qt_error_string(sent.errnoValue));
    QList<ProbeEvent> before;
    const auto reply = waitForEvent(prober, replyTo(sequence), 3000, &before);
    ASSERT_TRUE(reply.has_value()) << familyName(family) << ": no reply to sequence " << sequence;
    ASSERT_TRUE(prober.asksForSendStamps());
    const auto stamp = std::find_if(before.cbegin(), before.cend(), [&](const ProbeEvent &event) {
        return event.kind == ProbeEvent::Kind::SendStamp && event.sequence == sequence;
    });
    ASSERT_NE(stamp, before.cend()) << familyName(family) << ": no transmit timestamp before the reply to "
                                    << sequence;
    EXPECT_EQ(stamp->identifier, prober.identifier());
    EXPECT_GE(stamp->sentNs, sent.sentRealtimeNs);
    EXPECT_LE(stamp->sentNs, reply->receivedNs);
    EXPECT_EQ(reply->source, loopback(family));
    EXPECT_EQ(reply->identifier, prober.identifier());
    EXPECT_EQ(reply->payload.size(), payload.size());
    EXPECT_TRUE(reply->payload == payload) << "payload of " << payload.size() << " bytes differs";
    EXPECT_EQ(reply->hopLimit, defaultHopLimit(family));
    EXPECT_TRUE(reply->kernelTimestamp);
    EXPECT_GE(reply->receivedNs, sent.sentRealtimeNs);
    EXPECT_LT(reply->receivedNs - sent.sentRealtimeNs, 1'000'000'000);
    EXPECT_GT(sent.sentMonotonicNs, 0);
    // The same instant on the monotonic clock: after the send, before now.
    EXPECT_GE(reply->receivedMonotonicNs, sent.sentMonotonicNs);
    EXPECT_LE(reply->receivedMonotonicNs, ClockReading::now().monotonicNs);
}

// Raw sockets, this process's own or the ICMP helper's.
struct RawPath
{
    Family family;
    Prober::Preference preference; // RawOnly or HelperOnly
};

class RawProberTest : public ::testing::TestWithParam<RawPath>
{
protected:
    void SetUp() override
    {
        QString why;
        m_prober = openOrExplain(family(), GetParam().preference, &why);
        if (!m_prober)
            GTEST_SKIP() << "raw ICMP sockets need root or CAP_NET_RAW: " << qPrintable(why);
    }

    Family family() const { return GetParam().family; }
    Prober::SocketKind kind() const
    {
        return GetParam().preference == Prober::Preference::HelperOnly ? Prober::SocketKind::Helper
                                                                       : Prober::SocketKind::Raw;
    }

    // A second prober of the same kind and family, with an identifier other
    // than ours (helpers never share one).
    std::unique_ptr<Prober> openAnother() const
    {
        QString why;
        for (int attempt = 0; attempt < 5; ++attempt) {
            std::unique_ptr<Prober> other = openOrExplain(family(), GetParam().preference, &why);
            if (!other)
                ADD_FAILURE() << qPrintable(why);
            if (!other || other->identifier() != m_prober->identifier())
                return other;
        }
        ADD_FAILURE() << "five random identifiers in a row equal to ours";
        return nullptr;
    }

    std::unique_ptr<Prober> m_prober;
};

} // namespace

TEST_P(RawProberTest, LoopbackRepliesCarryOurSequenceAndPayload)
{
    EXPECT_EQ(m_prober->socketKind(), kind());
    EXPECT_EQ(m_prober->family(), family());
    EXPECT_NE(m_prober->identifier(), 0);
    quint16 sequence = 1;
    for (int size : {0, 32, 65000})
        expectLoopbackRoundTrip(*m_prober, sequence++, pattern(size, size));
    // Our own requests loop back to the host too; the filter keeps them out.
    EXPECT_TRUE(drain(*m_prober).isEmpty());
}

TEST_P(RawProberTest, TwoProbersEachSeeOnlyTheirOwnReplies)
{
    // Same sequence, so only the identifier tells the replies apart.
    const std::unique_ptr<Prober> other = openAnother();
    ASSERT_TRUE(other);

    ASSERT_TRUE(m_prober->send(loopback(family()), 7, "first").ok);
    ASSERT_TRUE(other->send(loopback(family()), 7, "second").ok);
    const auto mine = waitForEvent(*m_prober, replyTo(7));
    const auto theirs = waitForEvent(*other, replyTo(7));
    ASSERT_TRUE(mine.has_value());
    ASSERT_TRUE(theirs.has_value());
    EXPECT_EQ(mine->payload, "first");
    EXPECT_EQ(mine->identifier, m_prober->identifier());
    EXPECT_EQ(theirs->payload, "second");
    EXPECT_EQ(theirs->identifier, other->identifier());
    EXPECT_TRUE(drain(*m_prober).isEmpty());
    EXPECT_TRUE(drain(*other).isEmpty());
}

TEST_P(RawProberTest, OtherProgramsRepliesDoNotEvenWakeTheSocket)
{
    const std::unique_ptr<Prober> other = openAnother();
    ASSERT_TRUE(other);

    ASSERT_TRUE(other->send(loopback(family()), 9, "theirs").ok);
    ASSERT_TRUE(waitForEvent(*other, replyTo(9)).has_value());
    // The kernel dropped the copy meant for us before it was queued.
    pollfd readable{m_prober->descriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&readable, 1, 100), 0) << "woken by another socket's reply";

    // Our own replies still come, and so do errors: see the namespace tests.
    ASSERT_TRUE(m_prober->send(loopback(family()), 10, "ours").ok);
    EXPECT_TRUE(waitForEvent(*m_prober, replyTo(10)).has_value());
}

TEST_P(RawProberTest, HopLimitIsSetWithinRangeOnly)
{
    const int level = family() == V4 ? IPPROTO_IP : IPPROTO_IPV6;
    const int name = family() == V4 ? IP_TTL : IPV6_UNICAST_HOPS;
    // The helper's socket is not ours to ask; the test network sees its TTL.
    const bool own = kind() == Prober::SocketKind::Raw;
    const auto current = [&] {
        int value = -1;
        socklen_t length = sizeof value;
        getsockopt(m_prober->descriptor(), level, name, &value, &length);
        return value;
    };
    EXPECT_TRUE(m_prober->setHopLimit(1));
    if (own) {
        EXPECT_EQ(current(), 1);
    }
    EXPECT_TRUE(m_prober->setHopLimit(255));
    if (own) {
        EXPECT_EQ(current(), 255);
    }
    for (int bad : {0, -1, 256, 100000})
        EXPECT_FALSE(m_prober->setHopLimit(bad)) << bad;
    if (own) {
        EXPECT_EQ(current(), 255);
    }
    // Loopback does not count hops: a reply still comes.
    EXPECT_TRUE(m_prober->setHopLimit(1));
    expectLoopbackRoundTrip(*m_prober, 11, "ttl one");
}

TEST_P(RawProberTest, DescriptorIsNonBlockingAndClosedOnExec)
{
    const int fd = m_prober->descriptor();
    EXPECT_TRUE(fcntl(fd, F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
    // Both queues empty: nothing, at once.
    EXPECT_FALSE(m_prober->receive().has_value());
}

TEST_P(RawProberTest, TargetsOfTheWrongFamilyAreRefused)
{
    const HostAddress wrong = family() == V4 ? HostAddress(QStringLiteral("::1")) : HostAddress(QStringLiteral("127.0.0.1"));
    const SendResult result = m_prober->send(wrong, 1, "x");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errnoValue, EAFNOSUPPORT);
    EXPECT_FALSE(m_prober->send(HostAddress(), 1, "x").ok);
}

INSTANTIATE_TEST_SUITE_P(Loopback, RawProberTest,
                         ::testing::Values(RawPath{V4, Prober::Preference::RawOnly},
                                           RawPath{V6, Prober::Preference::RawOnly},
                                           RawPath{V4, Prober::Preference::HelperOnly},
                                           RawPath{V6, Prober::Preference::HelperOnly}),
                         [](const auto &info) {
                             return std::string(familyName(info.param.family))
                                 + (info.param.preference == Prober::Preference::HelperOnly ? "Helper" : "");
                         });

// The helper's process lives as long as its prober.
TEST(HelperProber, ClosingTheProberEndsTheHelper)
{
    HelperProber::Opened opened = HelperProber::open(V4);
    ASSERT_TRUE(opened) << qPrintable(opened.error().why);
    std::unique_ptr<HelperProber> prober = std::move(opened).value();
    // Stopped, too, it would never read the end of its channels.
    ::kill(prober->processId(), SIGSTOP);
    const pid_t pid = prober->processId();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, 0), 0);
    QElapsedTimer closing;
    closing.start();
    prober.reset();
    // Not a wait for the helper (it would never come): a kill, and the kernel's reaping.
    EXPECT_LT(closing.elapsed(), 500);
    // Exited and reaped: no process, not even a zombie, is left.
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(HelperProber, AHelperThatDiesSaysSoOnceThenSendsFailAndTheDescriptorIsQuiet)
{
    QString why;
    const std::unique_ptr<Prober> prober = openOrExplain(V4, Prober::Preference::HelperOnly, &why);
    if (!prober)
        GTEST_SKIP() << "the ICMP helper needs root or its capability here: " << qPrintable(why);
    ASSERT_EQ(::kill(static_cast<HelperProber &>(*prober).processId(), SIGKILL), 0);
    pollfd readable{prober->descriptor(), POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 2000), 1) << "the helper's end should wake the watcher";
    const auto failed = waitForEvent(*prober, [](const ProbeEvent &) { return true; });
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->kind, ProbeEvent::Kind::ProberFailed);
    EXPECT_EQ(failed->failure, QStringLiteral("Pinging stopped: the ICMP helper %1 ended unexpectedly (killed by signal 9 "
                                              "(Killed)).")
                                   .arg(HelperProber::helperPath()));
    EXPECT_FALSE(prober->receive().has_value());
    // Not woken again and again by the end of file.
    EXPECT_EQ(::poll(&readable, 1, 100), 0);
    const SendResult sent = prober->send(loopback(V4), 1, "x");
    EXPECT_FALSE(sent.ok);
    EXPECT_EQ(sent.errnoValue, EPIPE);
}

TEST(Ipv6Probers, ScopeIdNamesAnInterface)
{
    for (auto preference : {Prober::Preference::RawOnly, Prober::Preference::HelperOnly}) {
        SCOPED_TRACE(preference == Prober::Preference::HelperOnly ? "helper" : "raw");
        QString why;
        auto prober = openOrExplain(V6, preference, &why);
        if (!prober)
            GTEST_SKIP() << "raw ICMP sockets need root or CAP_NET_RAW: " << qPrintable(why);
        HostAddress unknown(QStringLiteral("fe80::1"));
        unknown.setScopeId(QStringLiteral("tvxnosuchif0"));
        const SendResult refused = prober->send(unknown, 1, "x");
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.errnoValue, ENODEV);

        // By name and by number, the loopback interface takes the request.
        for (const QString &scope : {QStringLiteral("lo"), QStringLiteral("1")}) {
            HostAddress scoped(QStringLiteral("::1"));
            scoped.setScopeId(scope);
            EXPECT_TRUE(prober->send(scoped, 2, "x").ok) << qPrintable(scope);
        }
    }
}

TEST(ProberOpen, RejectsFamiliesWithoutIcmp)
{
    const Prober::Opened opened = Prober::open(IpFamily::Any, Prober::Preference::Auto);
    ASSERT_FALSE(opened);
    EXPECT_FALSE(opened.error().isEmpty());
}

// Datagram sockets, permission fall-backs and ICMP errors, in a namespace of
// the test's own, where ping_group_range may be changed.
namespace {

class NamespaceProberTest : public ::testing::TestWithParam<Family>
{
protected:
    void SetUp() override { m_client.setUp(0, 2147483647); }
    void TearDown() override { m_client.tearDown(); }

    // Sends an ICMP error to loopback that quotes an echo request with this
    // identifier and sequence, as a router would about our request; the
    // quoted request went to quotedDestination, or to loopback, and carried payload.
    void injectError(quint16 identifier, quint16 sequence, const HostAddress &quotedDestination = {},
                     const QByteArray &payload = "quoted")
    {
        const Family family = GetParam();
        const HostAddress destination = quotedDestination.isNull() ? loopback(family) : quotedDestination;
        IcmpSocket::Opened opened = IcmpSocket::open(family == V4 ? AF_INET : AF_INET6, SOCK_RAW,
                                                     family == V4 ? int(IPPROTO_ICMP) : int(IPPROTO_ICMPV6));
        ASSERT_TRUE(opened) << qPrintable(qt_error_string(opened.error().errnoValue));
        IcmpSocket injector = std::move(opened).value();
        IcmpMessage message;
        QByteArray wire;
        if (family == V4) {
            const QByteArray request = IcmpMessage::echo(Icmp4::EchoRequest, identifier, sequence, payload).encodeWithChecksum();
            message.type = Icmp4::DestinationUnreachable;
            message.code = 1; // host unreachable
            message.body = TestPackets::ipv4Header(0x7f000001, destination.toIPv4Address(), 64, 5,
                                                   20 + int(request.size()))
                + request;
            wire = message.encodeWithChecksum();
        } else {
            const QByteArray request = IcmpMessage::echo(Icmp6::EchoRequest, identifier, sequence, payload).encode();
            QByteArray quotedHeader = TestPackets::ipv6Header(loopback(V6), destination, Ipv6Header::NextHeaderIcmpv6);
            quotedHeader[5] = char(request.size());
            message.type = Icmp6::DestinationUnreachable;
            message.code = 3; // address unreachable
            message.body = quotedHeader + request;
            wire = message.encode();
        }
        ASSERT_TRUE(injector.sendTo(loopback(family), wire).ok);
    }

    // The one event that comes, besides the requests' transmit timestamps:
    // the error injectError sent, about sequence.
    void expectOnlyTheInjectedError(Prober &prober, quint16 sequence)
    {
        QList<ProbeEvent> skipped;
        const auto error = waitForEvent(
            prober, [](const ProbeEvent &e) { return e.kind == ProbeEvent::Kind::IcmpError; }, 3000, &skipped);
        ASSERT_TRUE(error.has_value());
        const auto aboutTheSend = [](const ProbeEvent &e) {
            return e.kind == ProbeEvent::Kind::SendStamp || e.kind == ProbeEvent::Kind::SendConfirmed;
        };
        skipped.removeIf(aboutTheSend);
        EXPECT_TRUE(skipped.isEmpty());
        EXPECT_EQ(error->sequence, sequence);
        EXPECT_EQ(error->identifier, prober.identifier());
        EXPECT_EQ(error->source, loopback(GetParam()));
        EXPECT_EQ(error->icmpType,
                  GetParam() == V4 ? quint8(Icmp4::DestinationUnreachable) : quint8(Icmp6::DestinationUnreachable));
        EXPECT_EQ(error->icmpCode, GetParam() == V4 ? 1 : 3);
        EXPECT_TRUE(error->kernelTimestamp);
        QList<ProbeEvent> more = drain(prober);
        more.removeIf(aboutTheSend);
        EXPECT_TRUE(more.isEmpty());
    }

    ClientNetwork m_client;
};

quint16 boundPort(int descriptor)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(descriptor, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return 0;
    return address.ss_family == AF_INET ? ntohs(reinterpret_cast<const sockaddr_in *>(&address)->sin_port)
                                        : ntohs(reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port);
}

// Runs work in a child process of this one that has given up CAP_NET_RAW (it
// keeps its user and group ids) and gives back the texts it returns. Run as
// root, a program the child executes would gain the capability again, the
// helper included; unless helperMayHaveIt, the child drops it from its
// bounding set too, which no exec gets past, as a helper without its file
// capability would be.
QStringList withoutRawCapability(bool helperMayHaveIt, const std::function<QStringList()> &work)
{
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        ::close(channel[0]);
        if (!helperMayHaveIt && prctl(PR_CAPBSET_DROP, CAP_NET_RAW, 0, 0, 0) != 0)
            _exit(5);
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
        if (syscall(SYS_capget, &header, data) != 0)
            _exit(2);
        data[CAP_TO_INDEX(CAP_NET_RAW)].effective &= ~CAP_TO_MASK(CAP_NET_RAW);
        data[CAP_TO_INDEX(CAP_NET_RAW)].permitted &= ~CAP_TO_MASK(CAP_NET_RAW);
        if (syscall(SYS_capset, &header, data) != 0)
            _exit(3);
        QByteArray out;
        for (const QString &text : work())
            out += text.toUtf8() + '\0';
        const bool written = ::write(channel[1], out.constData(), size_t(out.size())) == out.size();
        _exit(written ? 0 : 4);
    }
    ::close(channel[1]);
    QByteArray in;
    char chunk[4096];
    ssize_t length;
    while ((length = ::read(channel[0], chunk, sizeof chunk)) > 0)
        in.append(chunk, length);
    ::close(channel[0]);
    int status = 0;
    if (child > 0)
        waitpid(child, &status, 0);
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    QStringList texts;
    for (const QByteArray &part : in.split('\0'))
        texts.append(QString::fromUtf8(part));
    return texts;
}

// Prober::open's error texts for Auto and RawOnly without CAP_NET_RAW.
QStringList openErrorsWithoutRawCapability(Family family, bool helperMayHaveIt = false)
{
    return withoutRawCapability(helperMayHaveIt, [family] {
        QStringList errors;
        for (auto preference : {Prober::Preference::Auto, Prober::Preference::RawOnly})
            errors.append(openError(family, preference));
        return errors;
    });
}

QString programSetcap()
{
    return QStringLiteral("setcap cap_net_raw+ep %1").arg(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
}

} // namespace

TEST_P(NamespaceProberTest, DatagramSocketRepliesCarryTheKernelsIdentifier)
{
    QString why;
    auto prober = openOrExplain(GetParam(), Prober::Preference::DatagramOnly, &why);
    ASSERT_TRUE(prober) << qPrintable(why);
    EXPECT_EQ(prober->socketKind(), Prober::SocketKind::Datagram);
    EXPECT_EQ(prober->family(), GetParam());
    EXPECT_NE(prober->identifier(), 0);
    EXPECT_EQ(prober->identifier(), boundPort(prober->descriptor()));
    quint16 sequence = 100;
    for (int size : {0, 32, 65000})
        expectLoopbackRoundTrip(*prober, sequence++, pattern(size, size + 1));
    EXPECT_TRUE(drain(*prober).isEmpty());
}

TEST_P(NamespaceProberTest, AutoPrefersTheDatagramSocket)
{
    QString why;
    auto prober = openOrExplain(GetParam(), Prober::Preference::Auto, &why);
    ASSERT_TRUE(prober) << qPrintable(why);
    EXPECT_EQ(prober->socketKind(), Prober::SocketKind::Datagram);
}

TEST_P(NamespaceProberTest, WithoutTheGroupRangeAutoFallsBackToRaw)
{
    if (const QString why = TestNetwork::forbidAgainUnavailable(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    ASSERT_TRUE(m_client.network().setPingGroupRange(1, 0));
    QString why;
    auto prober = openOrExplain(GetParam(), Prober::Preference::Auto, &why);
    ASSERT_TRUE(prober) << qPrintable(why);
    EXPECT_EQ(prober->socketKind(), Prober::SocketKind::Raw);
    expectLoopbackRoundTrip(*prober, 5, "fallback");

    const QString error = openError(GetParam(), Prober::Preference::DatagramOnly);
    EXPECT_NE(error, QStringLiteral("opened"));
    EXPECT_TRUE(error.contains(QStringLiteral("net.ipv4.ping_group_range sysctl (now \"1 0\")"))) << qPrintable(error);
    EXPECT_TRUE(error.contains(QStringLiteral("group id %1").arg(getegid()))) << qPrintable(error);
    EXPECT_TRUE(error.contains(QStringLiteral("sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"")))
        << qPrintable(error);
}

TEST_P(NamespaceProberTest, WithoutAnyPermissionTheErrorSaysHowToAllowIt)
{
    if (const QString why = TestNetwork::forbidAgainUnavailable(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    ASSERT_TRUE(m_client.network().setPingGroupRange(1, 0));
    const QStringList errors = openErrorsWithoutRawCapability(GetParam());
    ASSERT_GE(errors.size(), 2) << "the child process failed";
    // The capability goes on the helper, never on a program that loads Qt.
    const QString setcap = QStringLiteral("sudo setcap cap_net_raw+ep %1").arg(HelperProber::helperPath());

    const QString &automatic = errors[0];
    EXPECT_TRUE(automatic.contains(QStringLiteral("net.ipv4.ping_group_range sysctl (now \"1 0\")"))) << qPrintable(automatic);
    EXPECT_TRUE(automatic.contains(QStringLiteral("group id %1").arg(getegid()))) << qPrintable(automatic);
    EXPECT_TRUE(automatic.contains(QStringLiteral("sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"")))
        << qPrintable(automatic);
    EXPECT_TRUE(automatic.contains(setcap)) << qPrintable(automatic);
    EXPECT_TRUE(automatic.contains(QStringLiteral("the ICMP helper %1 lacks the CAP_NET_RAW capability")
                                       .arg(HelperProber::helperPath())))
        << qPrintable(automatic);
    EXPECT_FALSE(automatic.contains(programSetcap())) << qPrintable(automatic);

    const QString &rawOnly = errors[1];
    EXPECT_TRUE(rawOnly.contains(QStringLiteral("CAP_NET_RAW"))) << qPrintable(rawOnly);
    EXPECT_TRUE(rawOnly.contains(setcap)) << qPrintable(rawOnly);
    EXPECT_FALSE(rawOnly.contains(QStringLiteral("ping_group_range"))) << qPrintable(rawOnly);
    EXPECT_FALSE(rawOnly.contains(programSetcap())) << qPrintable(rawOnly);
}

TEST_P(NamespaceProberTest, WithNeitherSocketAutoTurnsToTheHelper)
{
    if (const QString why = TestNetwork::forbidAgainUnavailable(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    ASSERT_TRUE(m_client.network().setPingGroupRange(1, 0));
    const Family family = GetParam();
    const QStringList result = withoutRawCapability(true, [family] {
        QString error;
        const auto prober = openOrExplain(family, Prober::Preference::Auto, &error);
        if (!prober)
            return QStringList{error};
        const SendResult sent = prober->send(loopback(family), 3, "via the helper");
        const auto reply = waitForEvent(*prober, replyTo(3));
        return QStringList{prober->socketKind() == Prober::SocketKind::Helper ? QStringLiteral("helper")
                                                                              : QStringLiteral("another kind"),
                           sent.ok && reply && reply->payload == "via the helper" && reply->kernelTimestamp
                               ? QStringLiteral("replied")
                               : QStringLiteral("no reply")};
    });
    ASSERT_FALSE(result.isEmpty()) << "the child process failed";
    EXPECT_EQ(result.value(0), QStringLiteral("helper"));
    EXPECT_EQ(result.value(1), QStringLiteral("replied"));
}

TEST_P(NamespaceProberTest, AMissingHelperIsNamed)
{
    if (const QString why = TestNetwork::forbidAgainUnavailable(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    ASSERT_TRUE(m_client.network().setPingGroupRange(1, 0));
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString missing = directory.filePath(QStringLiteral("tarvix-icmp-helper"));
    qputenv("TARVIX_ICMP_HELPER", QFile::encodeName(missing));
    const QStringList errors = openErrorsWithoutRawCapability(GetParam(), true);
    qunsetenv("TARVIX_ICMP_HELPER");
    ASSERT_GE(errors.size(), 1) << "the child process failed";
    EXPECT_TRUE(errors[0].contains(QStringLiteral("the ICMP helper is missing (looked for %1)").arg(missing)))
        << qPrintable(errors[0]);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("sudo setcap cap_net_raw+ep %1").arg(missing))) << qPrintable(errors[0]);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("sudo sysctl -w net.ipv4.ping_group_range"))) << qPrintable(errors[0]);
}

// A stand-in helper that leaves a mark when started: where the datagram
// socket opens, Auto never starts the helper.
TEST_P(NamespaceProberTest, WhereDatagramSocketsAreAllowedNoHelperIsStarted)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString marker = directory.filePath(QStringLiteral("started"));
    const QString standIn = directory.filePath(QStringLiteral("stand-in"));
    QFile script(standIn);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho > '%1'\n").arg(marker).toUtf8());
    script.close();
    ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("TARVIX_ICMP_HELPER", QFile::encodeName(standIn));

    QString why;
    const auto automatic = openOrExplain(GetParam(), Prober::Preference::Auto, &why);
    ASSERT_TRUE(automatic) << qPrintable(why);
    EXPECT_EQ(automatic->socketKind(), Prober::SocketKind::Datagram);
    EXPECT_FALSE(QFile::exists(marker)) << "the helper was started";

    // The stand-in would have been noticed: it starts, and says nothing.
    const QString error = openError(GetParam(), Prober::Preference::HelperOnly);
    EXPECT_NE(error, QStringLiteral("opened"));
    qunsetenv("TARVIX_ICMP_HELPER");
    EXPECT_TRUE(QFile::exists(marker));
    EXPECT_TRUE(error.contains(QStringLiteral("the ICMP helper %1 exited without serving").arg(standIn)))
        << qPrintable(error);
}

// The helper passes on errors about its own requests only: an error must
// quote a sequence it sent, to the address it sent it to.
TEST_P(NamespaceProberTest, TheHelperPassesOnlyErrorsAboutItsOwnRequests)
{
    ASSERT_TRUE(m_client.network().setHostKernelEcho(false));
    QString why;
    auto prober = openOrExplain(GetParam(), Prober::Preference::HelperOnly, &why);
    ASSERT_TRUE(prober) << qPrintable(why);
    const HostAddress host = TestNetwork::hostAddress(GetParam());
    const QByteArray payload = "unanswered";
    ASSERT_TRUE(prober->send(host, 41, payload).ok);
    injectError(prober->identifier(), 40, host, payload);              // never sent
    injectError(prober->identifier(), 41, {}, payload);                // sent elsewhere
    injectError(quint16(prober->identifier() + 1), 41, host, payload); // someone else's
    injectError(prober->identifier(), 41, host, "unanswerex");         // another payload
    injectError(prober->identifier(), 41, host, payload);
    expectOnlyTheInjectedError(*prober, 41);
}

// Datagram sockets read ICMP errors from the error queue. Raw sockets get them
// as ordinary messages, and the kernel queues a copy as an extended error too:
// either way each error is one event.
TEST_P(NamespaceProberTest, IcmpErrorsAboutOurRequestsArriveOnce)
{
    for (auto preference : {Prober::Preference::DatagramOnly, Prober::Preference::RawOnly}) {
        SCOPED_TRACE(preference == Prober::Preference::RawOnly ? "raw" : "datagram");
        QString why;
        auto prober = openOrExplain(GetParam(), preference, &why);
        ASSERT_TRUE(prober) << qPrintable(why);
        injectError(quint16(prober->identifier() + 1), 40); // someone else's request
        injectError(prober->identifier(), 41);
        expectOnlyTheInjectedError(*prober, 41);
        // The pending socket error that came with it does not stop the socket.
        expectLoopbackRoundTrip(*prober, 42, "after");
    }
}

INSTANTIATE_TEST_SUITE_P(OwnNamespace, NamespaceProberTest, ::testing::Values(V4, V6),
                         [](const auto &info) { return std::string(familyName(info.param)); });
