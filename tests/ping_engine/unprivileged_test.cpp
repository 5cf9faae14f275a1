// The component as an ordinary user runs it where neither the datagram socket
// (the group range is "1 0") nor a raw socket may be opened: in the client
// namespace of a test network, as uid and gid 65534 without supplementary
// groups or capabilities, with the ICMP helper installed beside the program as
// a package would install it, carrying cap_net_raw. The program that loads Qt
// must hold no capability at any time; only the helper may, and it drops it.
#include "testnetwork.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <iostream>
#include <poll.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;
const QString NoCapabilities = QStringLiteral("0000000000000000");

// Exit codes of the child before it executes the driver.
enum ChildFailure { CannotEnterNamespace = 90, CannotDropToNobody = 91, StillHoldsCapabilities = 92, CannotExec = 93 };

// True if this process's /proc/self/status says it holds no effective
// capability. Runs between fork and exec: system calls and a fixed buffer only.
bool holdsNoEffectiveCapability()
{
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char status[8192];
    const ssize_t size = ::read(fd, status, sizeof status - 1);
    ::close(fd);
    if (size <= 0)
        return false;
    status[size] = '\0';
    return std::strstr(status, "\nCapEff:\t0000000000000000\n") != nullptr;
}

struct DriverRun
{
    int exitStatus = -1;
    QString output;
};

// Runs the driver on the addresses in the client namespace of network, as
// nobody, and collects what it prints.
DriverRun runAsNobody(const TestNetwork &network, const QString &driver, const QStringList &addresses)
{
    const QByteArray namespacePath = QFile::encodeName(QStringLiteral("/var/run/netns/") + network.clientNamespace());
    const QByteArray program = QFile::encodeName(driver);
    QList<QByteArray> arguments{program};
    for (const QString &address : addresses)
        arguments.append(address.toLatin1());
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    char path[] = "PATH=/usr/bin:/bin";
    char locale[] = "LC_ALL=C";
    char *environment[] = {path, locale, nullptr};

    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        const int netns = ::open(namespacePath.constData(), O_RDONLY | O_CLOEXEC);
        if (netns < 0 || ::setns(netns, CLONE_NEWNET) != 0)
            ::_exit(CannotEnterNamespace);
        // Groups first, while root may still change them; the change of user
        // ids from 0 clears every capability set.
        if (::setgroups(0, nullptr) != 0 || ::setresgid(Nobody, Nobody, Nobody) != 0
            || ::setresuid(Nobody, Nobody, Nobody) != 0)
            ::_exit(CannotDropToNobody);
        if (!holdsNoEffectiveCapability())
            ::_exit(StillHoldsCapabilities);
        ::dup2(output[1], 1);
        ::dup2(output[1], 2);
        ::execve(argv[0], argv.data(), environment);
        ::_exit(CannotExec);
    }
    ::close(output[1]);
    DriverRun run;
    QByteArray text;
    char chunk[4096];
    pollfd readable{output[0], POLLIN, 0};
    while (::poll(&readable, 1, 30000) == 1) {
        const ssize_t size = ::read(output[0], chunk, sizeof chunk);
        if (size <= 0)
            break;
        text.append(chunk, size);
    }
    ::close(output[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child)
        run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.output = QString::fromUtf8(text);
    return run;
}

QStringList linesStarting(const QString &output, const QString &start)
{
    QStringList lines;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(start))
            lines.append(line);
    }
    return lines;
}

bool copyExecutable(const QString &from, const QString &to)
{
    return QFile::copy(from, to)
        && QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                         | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

// How the helper is let open raw sockets: the file capability the package
// gives it, or set-user-ID root where the file system keeps no capabilities.
enum class Grant { Capability, SetUserId };

class UnprivilegedRun : public ::testing::TestWithParam<Grant>
{
};

} // namespace

TEST_P(UnprivilegedRun, AnOrdinaryUserPingsThroughTheHelperAlone)
{
    const QString unavailable = TestNetwork::unavailableReason();
    if (!unavailable.isEmpty())
        GTEST_SKIP() << qPrintable(unavailable);
    // It runs a program as another user with a file capability: real root's work.
    if (TestNetwork::inOwnUserNamespace())
        GTEST_SKIP() << "running unprivileged in a user namespace of its own, which maps no other user; run as root";
    const QString setcap = QStandardPaths::findExecutable(QStringLiteral("setcap"), {QStringLiteral("/usr/sbin"),
                                                                                    QStringLiteral("/sbin")});
    if (setcap.isEmpty())
        GTEST_SKIP() << "setcap (Debian package libcap2-bin) is not installed";

    // An installed prefix of our own: bin/ and libexec/tarvix/, readable by nobody.
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    struct statvfs filesystem{};
    ASSERT_EQ(::statvfs(QFile::encodeName(prefix.path()).constData(), &filesystem), 0);
    if (filesystem.f_flag & ST_NOSUID)
        GTEST_SKIP() << qPrintable(prefix.path()) << " is on a nosuid file system, where file capabilities do nothing";
    ASSERT_TRUE(QFile::setPermissions(prefix.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                         | QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup
                                                         | QFile::ExeGroup));
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("libexec/tarvix")));
    const QString driver = prefix.filePath(QStringLiteral("bin/tarvix_test_ping_driver"));
    const QString helper = prefix.filePath(QStringLiteral("libexec/tarvix/tarvix-icmp-helper"));
    ASSERT_TRUE(copyExecutable(QStringLiteral(TARVIX_TEST_PING_DRIVER), driver));
    ASSERT_TRUE(copyExecutable(QStringLiteral(TARVIX_ICMP_HELPER_PROGRAM), helper));

    TestNetwork network;
    ASSERT_TRUE(network.ok()) << qPrintable(network.error());
    ASSERT_TRUE(network.setPingGroupRange(1, 0)) << qPrintable(network.error());
    const QString host4 = TestNetwork::hostAddress(IpFamily::IPv4).toString();
    const QString host6 = TestNetwork::hostAddress(IpFamily::IPv6).toString();

    // Without its capability the helper cannot help, and the error says what to do.
    const DriverRun refused = runAsNobody(network, driver, {host4});
    ASSERT_EQ(refused.exitStatus, 0) << qPrintable(refused.output);
    const QStringList errors = linesStarting(refused.output, QStringLiteral("error "));
    ASSERT_EQ(errors.size(), 1) << qPrintable(refused.output);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("the ICMP helper %1 lacks the CAP_NET_RAW capability").arg(helper)))
        << qPrintable(errors[0]);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("sudo setcap cap_net_raw+ep %1").arg(helper))) << qPrintable(errors[0]);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"")))
        << qPrintable(errors[0]);

    if (GetParam() == Grant::Capability) {
        QProcess grant;
        grant.start(setcap, {QStringLiteral("cap_net_raw+ep"), helper});
        ASSERT_TRUE(grant.waitForFinished(10000));
        ASSERT_EQ(grant.exitCode(), 0) << grant.readAllStandardError().constData();
    } else {
        // Copied by root, so root's: set-user-ID makes it run as root.
        ASSERT_EQ(::chmod(QFile::encodeName(helper).constData(), 04755), 0) << std::strerror(errno);
    }

    const DriverRun run = runAsNobody(network, driver, {host4, host6});
    std::cout << "The driver, run as uid 65534 in " << qPrintable(network.clientNamespace()) << ":\n"
              << qPrintable(run.output) << std::flush;
    ASSERT_EQ(run.exitStatus, 0) << qPrintable(run.output);

    // The program that loads Qt holds nothing, before and during the runs.
    const QStringList self = linesStarting(run.output, QStringLiteral("caps self "));
    EXPECT_EQ(self.size(), 3) << qPrintable(run.output);
    for (const QString &line : self)
        EXPECT_EQ(line, QStringLiteral("caps self CapEff=%1 CapPrm=%1").arg(NoCapabilities));
    for (const QString &address : {host4, host6}) {
        SCOPED_TRACE(qPrintable(address));
        EXPECT_EQ(linesStarting(run.output, QStringLiteral("run %1 ").arg(address)),
                  QStringList{QStringLiteral("run %1 kind=helper").arg(address)});
        const QStringList replies = linesStarting(run.output, QStringLiteral("reply %1 ").arg(address));
        ASSERT_EQ(replies.size(), 3) << qPrintable(run.output);
        for (int i = 0; i < replies.size(); ++i) {
            const QRegularExpression reply(QStringLiteral("^reply \\S+ seq=%1 bytes=32 ttl=(\\d+) rtt_ns=(\\d+) "
                                                          "kernel_timestamp=1$")
                                               .arg(i + 1));
            const auto match = reply.match(replies[i]);
            ASSERT_TRUE(match.hasMatch()) << qPrintable(replies[i]);
            EXPECT_GT(match.captured(1).toInt(), 0);
            EXPECT_GT(match.captured(2).toLongLong(), 0);
            EXPECT_LT(match.captured(2).toLongLong(), 1'000'000'000);
        }
        EXPECT_TRUE(linesStarting(run.output, QStringLiteral("timeout ")).isEmpty());
        EXPECT_TRUE(linesStarting(run.output, QStringLiteral("transmit-failed ")).isEmpty());
    }
    // While it served, the helper had given up its capability too, and root
    // when it ran as root: every user id is nobody's again.
    const QStringList children = linesStarting(run.output, QStringLiteral("caps child "));
    ASSERT_EQ(children.size(), 2) << qPrintable(run.output);
    for (const QString &child : children) {
        EXPECT_TRUE(child.contains(QStringLiteral(" tarvix-icmp-hel "))) << qPrintable(child);
        EXPECT_TRUE(child.contains(QStringLiteral(" Uid=65534,65534,65534,65534 "))) << qPrintable(child);
        EXPECT_TRUE(child.endsWith(QStringLiteral("CapEff=%1 CapPrm=%1 NoNewPrivs=1").arg(NoCapabilities)))
            << qPrintable(child);
    }
}

INSTANTIATE_TEST_SUITE_P(Helper, UnprivilegedRun, ::testing::Values(Grant::Capability, Grant::SetUserId),
                         [](const ::testing::TestParamInfo<Grant> &info) {
                             return info.param == Grant::Capability ? "WithCapability" : "SetUserIdRoot";
                         });
