#include "testnetwork.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

namespace {

// Where `ip netns` keeps the named namespaces.
const QString netnsDirectory = QStringLiteral("/var/run/netns");
// Where `ip netns exec` finds files to mount over those of /etc.
const QString etcNetnsDirectory = QStringLiteral("/etc/netns");
const QString namePrefix = QStringLiteral("tarvix-test-");
constexpr int setUpTimeoutMs = 10000;
constexpr int responderReadyTimeoutMs = 5000;
constexpr int responderStopTimeoutMs = 3000;

// Instances of this process whose namespaces exist or are being made; the
// sweep leaves those alone.
std::mutex instancesMutex;
std::set<int> liveInstances;
std::atomic<int> nextInstance{0};

QString namespaceName(int instance, const char *side)
{
    return namePrefix + QStringLiteral("%1-%2-%3").arg(getpid()).arg(instance).arg(QLatin1String(side));
}

QString ipProgram()
{
    static const QString program = [] {
        const QString inPath = QStandardPaths::findExecutable(QStringLiteral("ip"));
        if (!inPath.isEmpty())
            return inPath;
        return QStandardPaths::findExecutable(QStringLiteral("ip"),
                                              {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                               QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    }();
    return program;
}

// extraEnvironment: NAME=VALUE assignments on top of this process's own.
TestNetwork::CommandResult runProgram(const QString &program, const QStringList &arguments, int timeoutMs,
                                      const QByteArray &input = {}, const QStringList &extraEnvironment = {})
{
    TestNetwork::CommandResult result;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Output that tests parse must not depend on the user's language.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    for (const QString &assignment : extraEnvironment) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        environment.insert(assignment.left(equals), equals < 0 ? QString() : assignment.mid(equals + 1));
    }
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        result.errorOutput = QStringLiteral("cannot start %1: %2").arg(program, process.errorString());
        return result;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.output = QString::fromLocal8Bit(process.readAllStandardOutput());
        result.errorOutput = QString::fromLocal8Bit(process.readAllStandardError())
            + QStringLiteral("\n(killed after %1 ms)").arg(timeoutMs);
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.errorOutput = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

bool succeeded(const TestNetwork::CommandResult &result)
{
    return result.finished && result.exitCode == 0;
}

// Kills what still runs inside a namespace (a responder or a command whose
// test crashed), then removes its files for /etc and the namespace's name; the
// kernel frees the namespace and its interfaces once nothing uses it any more.
bool removeNamespace(const QString &name, QString *error)
{
    const auto pids = runProgram(ipProgram(), {QStringLiteral("netns"), QStringLiteral("pids"), name},
                                 setUpTimeoutMs);
    for (const QString &pid : pids.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const pid_t value = pid.trimmed().toInt(&ok);
        if (ok && value > 0 && value != getpid())
            ::kill(value, SIGKILL);
    }
    QDir(etcNetnsDirectory + QLatin1Char('/') + name).removeRecursively();
    const auto removed = runProgram(ipProgram(), {QStringLiteral("netns"), QStringLiteral("del"), name},
                                    setUpTimeoutMs);
    if (!succeeded(removed) && error)
        *error = QStringLiteral("ip netns del %1: %2").arg(name, removed.errorOutput.trimmed());
    return succeeded(removed);
}

// A zombie counts as dead: a test process whose parent does not reap it
// will never clean up again.
bool processAlive(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (comm) state ...": comm may hold anything, so look after its last ')'.
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return true;
    const char state = line.at(close + 2);
    return state != 'Z' && state != 'X';
}

// Removes namespaces of earlier test processes that died before their
// destructors ran. Call with instancesMutex held.
void sweepLeftovers()
{
    static const QRegularExpression pattern(QStringLiteral("^tarvix-test-(\\d+)-(\\d+)-(client|host)$"));
    const QStringList names = QDir(netnsDirectory).entryList(QDir::Files | QDir::System);
    for (const QString &name : names) {
        const auto match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const pid_t pid = match.captured(1).toInt();
        const int instance = match.captured(2).toInt();
        // A name with our own pid that no live instance owns was left by an
        // earlier process that had the same pid.
        const bool owned = pid == getpid() ? liveInstances.count(instance) > 0 : processAlive(pid);
        if (!owned)
            removeNamespace(name, nullptr);
    }
}

int registerInstance()
{
    const std::lock_guard lock(instancesMutex);
    sweepLeftovers();
    const int instance = nextInstance++;
    liveInstances.insert(instance);
    return instance;
}

void unregisterInstance(int instance)
{
    const std::lock_guard lock(instancesMutex);
    liveInstances.erase(instance);
}

QString responderProgram()
{
    return QStringLiteral(TARVIX_TEST_RESPONDER);
}

QString probeNamespaces()
{
    if (ipProgram().isEmpty())
        return QStringLiteral("the ip program (Debian package iproute2) is missing; "
                              "install it to run the test network tests");
    const int instance = registerInstance();
    const QString name = namespaceName(instance, "client");
    QString reason;
    const auto added = runProgram(ipProgram(), {QStringLiteral("netns"), QStringLiteral("add"), name},
                                  setUpTimeoutMs);
    if (!succeeded(added)) {
        reason = QStringLiteral("cannot make a network namespace (ip netns add: %1)").arg(added.errorOutput.trimmed());
        if (geteuid() != 0)
            reason += QStringLiteral("; the test network needs root, run the tests as root");
    } else {
        const auto entered = runProgram(ipProgram(),
                                        {QStringLiteral("netns"), QStringLiteral("exec"), name, QStringLiteral("true")},
                                        setUpTimeoutMs);
        if (!succeeded(entered))
            reason = QStringLiteral("cannot run programs in a network namespace (ip netns exec: %1)")
                         .arg(entered.errorOutput.trimmed());
        removeNamespace(name, nullptr);
    }
    unregisterInstance(instance);
    return reason;
}

HostAddress pick(IpFamily family, const char *v4, const char *v6)
{
    if (family == IpFamily::IPv4)
        return HostAddress(QLatin1String(v4));
    if (family == IpFamily::IPv6)
        return HostAddress(QLatin1String(v6));
    return {};
}

} // namespace

QString TestNetwork::unavailableReason()
{
    static const QString reason = probeNamespaces();
    return reason;
}

HostAddress TestNetwork::clientAddress(IpFamily family)
{
    return pick(family, "10.231.0.1", "fd00:7a::1");
}

HostAddress TestNetwork::hostAddress(IpFamily family)
{
    return pick(family, "10.231.0.2", "fd00:7a::2");
}

HostAddress TestNetwork::routedAddress(IpFamily family)
{
    return pick(family, "10.231.99.1", "fd00:7a:99::1");
}

HostAddress TestNetwork::unroutedAddress(IpFamily family)
{
    return pick(family, "10.231.98.1", "fd00:7a:98::1");
}

TestNetwork::TestNetwork()
{
    const QString reason = unavailableReason();
    if (!reason.isEmpty()) {
        m_error = reason;
        return;
    }
    m_instance = registerInstance();
    m_client = namespaceName(m_instance, "client");
    m_host = namespaceName(m_instance, "host");
    setUp();
}

TestNetwork::~TestNetwork()
{
    stopResponder();
    for (const QString &name : {m_client, m_host}) {
        QString error;
        if (!name.isEmpty() && QFile::exists(netnsDirectory + QLatin1Char('/') + name)
            && !removeNamespace(name, &error))
            qWarning("TestNetwork: %s", qPrintable(error));
    }
    if (m_instance >= 0)
        unregisterInstance(m_instance);
}

bool TestNetwork::setUp()
{
    for (const QString &name : {m_client, m_host}) {
        const auto added = runProgram(ipProgram(), {QStringLiteral("netns"), QStringLiteral("add"), name},
                                      setUpTimeoutMs);
        if (!succeeded(added)) {
            fail(QStringLiteral("ip netns add %1: %2").arg(name, added.errorOutput.trimmed()));
            return false;
        }
    }

    // The veth pair is made inside the client namespace with its peer placed
    // straight into the host's; "nodad" makes the IPv6 addresses usable at once.
    // The two ends get different interface indexes: with equal ones (both
    // would be 2 in fresh namespaces) the kernel takes the carrier change for
    // a non-urgent one and reports it up to a second late, and IPv6 drops
    // packets on the link until then.
    const QString peer = QStringLiteral("link add veth0 index 10 type veth peer name veth0 netns %1 index 20")
                             .arg(m_host);
    if (!ip(m_client, {peer,
                       QStringLiteral("link set lo up"),
                       QStringLiteral("addr add 10.231.0.1/24 dev veth0"),
                       QStringLiteral("addr add fd00:7a::1/64 dev veth0 nodad"),
                       QStringLiteral("link set veth0 up")}))
        return false;

    // Behind the host: a link where nobody answers, with the gateway of the
    // routed network on it.
    if (!ip(m_host, {QStringLiteral("link set lo up"),
                     QStringLiteral("addr add 10.231.0.2/24 dev veth0"),
                     QStringLiteral("addr add fd00:7a::2/64 dev veth0 nodad"),
                     QStringLiteral("link set veth0 up"),
                     QStringLiteral("link add void0 type veth peer name void1"),
                     QStringLiteral("addr add 10.231.97.1/24 dev void0"),
                     QStringLiteral("addr add fd00:7a:97::1/64 dev void0 nodad"),
                     QStringLiteral("link set void1 up"),
                     QStringLiteral("link set void0 up"),
                     QStringLiteral("route add 10.231.99.0/24 via 10.231.97.2"),
                     QStringLiteral("route add fd00:7a:99::/64 via fd00:7a:97::2")}))
        return false;

    // One solicitation, 10 ms apart: the unanswered gateway is given up (and
    // "host unreachable" sent) quickly instead of after the default 3 s.
    if (!sysctl(m_host, {QStringLiteral("net.ipv4.ip_forward=1"),
                         QStringLiteral("net.ipv6.conf.all.forwarding=1"),
                         QStringLiteral("net.ipv4.icmp_ratelimit=0"),
                         QStringLiteral("net.ipv6.icmp.ratelimit=0"),
                         QStringLiteral("net.ipv4.neigh.void0.mcast_solicit=1"),
                         QStringLiteral("net.ipv4.neigh.void0.retrans_time_ms=10"),
                         QStringLiteral("net.ipv6.neigh.void0.mcast_solicit=1"),
                         QStringLiteral("net.ipv6.neigh.void0.retrans_time_ms=10")}))
        return false;

    return ip(m_client, {QStringLiteral("route add 10.231.99.0/24 via 10.231.0.2"),
                         QStringLiteral("route add 10.231.98.0/24 via 10.231.0.2"),
                         QStringLiteral("route add fd00:7a:99::/64 via fd00:7a::2"),
                         QStringLiteral("route add fd00:7a:98::/64 via fd00:7a::2")});
}

// Runs `ip` commands in one namespace as one batch.
bool TestNetwork::ip(const QString &netns, const QStringList &commands)
{
    const auto result = runProgram(ipProgram(), {QStringLiteral("-n"), netns, QStringLiteral("-batch"), QStringLiteral("-")},
                                   setUpTimeoutMs, (commands.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    if (succeeded(result))
        return true;
    fail(QStringLiteral("ip -n %1 (%2): %3").arg(netns, commands.join(QStringLiteral("; ")),
                                                   result.errorOutput.trimmed()));
    return false;
}

bool TestNetwork::sysctl(const QString &netns, const QStringList &assignments)
{
    if (netns.isEmpty()) {
        fail(QStringLiteral("the test network was not set up"));
        return false;
    }
    const QStringList arguments = QStringList{QStringLiteral("netns"), QStringLiteral("exec"), netns,
                                              QStringLiteral("sysctl"), QStringLiteral("-q"), QStringLiteral("-w")}
        + assignments;
    const auto result = runProgram(ipProgram(), arguments, setUpTimeoutMs);
    if (succeeded(result))
        return true;
    fail(QStringLiteral("sysctl in %1 (%2): %3").arg(netns, assignments.join(QLatin1Char(' ')),
                                                      result.errorOutput.trimmed()));
    return false;
}

void TestNetwork::fail(const QString &what)
{
    if (m_error.isEmpty())
        m_error = what;
}

bool TestNetwork::inOwnUserNamespace()
{
    // The initial user namespace maps all of 0 to 4294967294 onto itself.
    static const bool own = [] {
        QFile map(QStringLiteral("/proc/self/uid_map"));
        if (!map.open(QIODevice::ReadOnly))
            return false;
        return map.readAll().simplified() != QByteArrayLiteral("0 0 4294967295");
    }();
    return own;
}

QString TestNetwork::forbidAgainUnavailable()
{
    if (!inOwnUserNamespace())
        return {};
    return QStringLiteral("running unprivileged in a user namespace of its own, where datagram sockets, once "
                          "allowed, cannot be forbidden again (only our own group is mapped); run as root for this");
}

bool TestNetwork::setPingGroupRange(quint32 low, quint32 high)
{
    if (inOwnUserNamespace()) {
        if (low <= high) { // whatever it allows, it allows us: we are group 0 here
            m_pingGroupAllowed = true;
            return sysctl(m_client, {QStringLiteral("net.ipv4.ping_group_range=0 0")});
        }
        // Unmapped groups read back as the overflow group, so the namespace
        // cannot say; we remember whether anything was allowed in it.
        if (!m_pingGroupAllowed)
            return true; // a new namespace allows nobody
        fail(forbidAgainUnavailable());
        return false;
    }
    return sysctl(m_client, {QStringLiteral("net.ipv4.ping_group_range=%1 %2").arg(low).arg(high)});
}

bool TestNetwork::setHostKernelEcho(bool on)
{
    m_hostKernelEcho = on;
    const QString ignore = on ? QStringLiteral("0") : QStringLiteral("1");
    return sysctl(m_host, {QStringLiteral("net.ipv4.icmp_echo_ignore_all=") + ignore,
                           QStringLiteral("net.ipv6.icmp.echo_ignore_all=") + ignore});
}

bool TestNetwork::answerGroupPings()
{
    const QString answer = QStringLiteral("net.ipv4.icmp_echo_ignore_broadcasts=0");
    return sysctl(m_client, {answer}) && sysctl(m_host, {answer})
        && ip(m_client, {QStringLiteral("route add 224.0.0.0/4 dev veth0")});
}

bool TestNetwork::startResponder(const ResponderOptions &options)
{
    stopResponder();
    if (!ok())
        return false;
    if (!m_logDirectory) {
        m_logDirectory = std::make_unique<QTemporaryDir>();
        if (!m_logDirectory->isValid()) {
            fail(QStringLiteral("no temporary directory for the responder's log: %1")
                     .arg(m_logDirectory->errorString()));
            return false;
        }
    }

    // Off before the responder starts, or a request could get two answers.
    const bool kernelEcho = m_hostKernelEcho;
    if (!setHostKernelEcho(false))
        return false;
    m_hostKernelEcho = kernelEcho;

    m_responder = std::make_unique<QProcess>();
    // Its log goes to a file: a pipe that nobody reads would fill up and stall it.
    m_responder->setStandardErrorFile(m_logDirectory->filePath(QStringLiteral("responder.log")));
    m_responder->start(ipProgram(), QStringList{QStringLiteral("netns"), QStringLiteral("exec"), m_host,
                                                responderProgram()}
                                        + options.toArguments());
    QByteArray output;
    while (!output.contains('\n') && m_responder->waitForReadyRead(responderReadyTimeoutMs))
        output += m_responder->readAllStandardOutput();
    if (output.trimmed() != "ready") {
        const QString log = responderLog().trimmed();
        const QString why = m_responder->state() == QProcess::NotRunning
            ? QStringLiteral("it exited with code %1").arg(m_responder->exitCode())
            : QStringLiteral("no \"ready\" within %1 ms").arg(responderReadyTimeoutMs);
        fail(QStringLiteral("the responder did not get ready, %1: %2")
                 .arg(why, log.isEmpty() ? QString::fromLocal8Bit(output) : log));
        stopResponder();
        return false;
    }
    return true;
}

bool TestNetwork::stopResponder()
{
    if (!m_responder)
        return true;
    bool clean = true;
    if (m_responder->state() != QProcess::NotRunning) {
        m_responder->terminate();
        if (!m_responder->waitForFinished(responderStopTimeoutMs)) {
            m_responder->kill();
            m_responder->waitForFinished();
            clean = false;
        }
    }
    clean = clean && m_responder->exitStatus() == QProcess::NormalExit && m_responder->exitCode() == 0;
    m_responder.reset();
    setHostKernelEcho(m_hostKernelEcho);
    return clean;
}

QString TestNetwork::responderLog() const
{
    if (!m_logDirectory)
        return {};
    QFile log(m_logDirectory->filePath(QStringLiteral("responder.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(log.readAll());
}

TestNetwork::CommandResult TestNetwork::runInClient(const QStringList &command, int timeoutMs) const
{
    if (m_client.isEmpty())
        return {false, -1, {}, QStringLiteral("the test network was not set up")};
    return runProgram(ipProgram(), QStringList{QStringLiteral("netns"), QStringLiteral("exec"), m_client} + command,
                      timeoutMs);
}

TestNetwork::CommandResult TestNetwork::runHere(const QStringList &command, int timeoutMs,
                                               const QStringList &environment)
{
    if (command.isEmpty())
        return {false, -1, {}, QStringLiteral("no command to run")};
    return runProgram(command.constFirst(), command.mid(1), timeoutMs, {}, environment);
}

QStringList TestNetwork::clientCommand(const QStringList &command) const
{
    return QStringList{ipProgram(), QStringLiteral("netns"), QStringLiteral("exec"), m_client} + command;
}

bool TestNetwork::setClientFile(const QString &name, const QByteArray &contents)
{
    if (m_client.isEmpty()) {
        fail(QStringLiteral("the test network was not set up"));
        return false;
    }
    // A name with a slash could reach outside the namespace's own folder.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.'))) {
        fail(QStringLiteral("no file of /etc is called \"%1\"").arg(name));
        return false;
    }
    const QString directory = etcNetnsDirectory + QLatin1Char('/') + m_client;
    QFile file(directory + QLatin1Char('/') + name);
    if (!QDir().mkpath(directory) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(contents) != contents.size() || !file.flush()) {
        fail(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    return true;
}

TestNetwork::ClientScope::ClientScope(const TestNetwork &network)
{
    m_original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (m_original < 0) {
        m_error = QStringLiteral("cannot open this thread's network namespace: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    const QString path = netnsDirectory + QLatin1Char('/') + network.clientNamespace();
    const int client = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (client < 0 || setns(client, CLONE_NEWNET) < 0) {
        m_error = QStringLiteral("cannot enter %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    } else {
        m_entered = true;
    }
    if (client >= 0)
        ::close(client);
}

TestNetwork::ClientScope::~ClientScope()
{
    // A test thread left in the client namespace would run every later test
    // there, and keep the namespace alive: that must not pass unnoticed.
    if (m_entered && setns(m_original, CLONE_NEWNET) < 0)
        qFatal("TestNetwork::ClientScope: cannot return to the original network namespace: %s",
               std::strerror(errno));
    if (m_original >= 0)
        ::close(m_original);
}
