#include "testnamespace.h"

#include <QAtomicInt>
#include <QProcess>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace {
QAtomicInt counter;
}

TestNamespace::TestNamespace()
    : m_name(QStringLiteral("tvxp-%1-%2").arg(getpid()).arg(counter.fetchAndAddRelaxed(1)))
{
    if (geteuid() != 0) {
        m_error = QStringLiteral("network namespaces need root");
        return;
    }
    m_error = run({QStringLiteral("netns"), QStringLiteral("add"), m_name});
    if (!m_error.isEmpty())
        return;
    m_created = true;
    m_error = run({QStringLiteral("-n"), m_name, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                   QStringLiteral("up")});
}

TestNamespace::~TestNamespace()
{
    leave();
    if (m_created)
        run({QStringLiteral("netns"), QStringLiteral("delete"), m_name});
}

QString TestNamespace::run(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ip"), arguments);
    if (!process.waitForFinished(30000))
        return QStringLiteral("ip %1: %2").arg(arguments.join(QLatin1Char(' ')), process.errorString());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return QStringLiteral("ip %1 failed: %2")
            .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(process.readAll()).trimmed());
    }
    return {};
}

QString TestNamespace::exec(const QStringList &command)
{
    return run(QStringList{QStringLiteral("netns"), QStringLiteral("exec"), m_name} + command);
}

QString TestNamespace::setPingGroupRange(const QString &range)
{
    return exec({QStringLiteral("sysctl"), QStringLiteral("-q"), QStringLiteral("-w"),
                 QStringLiteral("net.ipv4.ping_group_range=%1").arg(range)});
}

bool TestNamespace::enter()
{
    if (!m_created || m_originalNamespace >= 0)
        return false;
    // The thread's own namespace, to come back to: other threads may be elsewhere.
    const QByteArray own = QStringLiteral("/proc/self/task/%1/ns/net").arg(gettid()).toLocal8Bit();
    m_originalNamespace = ::open(own.constData(), O_RDONLY | O_CLOEXEC);
    if (m_originalNamespace < 0)
        return false;
    const QByteArray path = QStringLiteral("/var/run/netns/%1").arg(m_name).toLocal8Bit();
    const int target = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    const bool entered = target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0)
        ::close(target);
    if (!entered) {
        ::close(m_originalNamespace);
        m_originalNamespace = -1;
    }
    return entered;
}

bool TestNamespace::leave()
{
    if (m_originalNamespace < 0)
        return false;
    const bool back = setns(m_originalNamespace, CLONE_NEWNET) == 0;
    ::close(m_originalNamespace);
    m_originalNamespace = -1;
    return back;
}
