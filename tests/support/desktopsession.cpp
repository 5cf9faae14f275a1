#include "desktopsession.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <csignal>

#include <sys/prctl.h>

namespace {

constexpr int serverReadyTimeoutMs = 10000;
constexpr int serverStopTimeoutMs = 3000;
constexpr int windowTimeoutMs = 20000;

QString xwindowProgram()
{
    return QStringLiteral(TARVIX_TEST_XWINDOW);
}

QString findProgram(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name));
}

// Whatever the test process leaves behind when it dies, the kernel ends: a
// server or a program that outlived a crashed test would never be stopped.
void dieWithParent()
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

} // namespace

QString DesktopSession::unavailableReason()
{
    const struct
    {
        const char *program;
        const char *package;
    } needed[] = {{"Xvfb", "xvfb"}, {"xdotool", "xdotool"}, {"setpriv", "util-linux"}};
    for (const auto &n : needed) {
        if (findProgram(n.program).isEmpty())
            return QStringLiteral("%1 is not installed (Debian package %2; scripts/install-deps.sh installs it)")
                .arg(QLatin1String(n.program), QLatin1String(n.package));
    }
    return {};
}

DesktopSession::DesktopSession()
{
    const QString reason = unavailableReason();
    if (!reason.isEmpty()) {
        fail(reason);
        return;
    }
    if (!m_logDirectory.isValid()) {
        fail(QStringLiteral("no temporary directory for the program's output: %1").arg(m_logDirectory.errorString()));
        return;
    }
    // Xvfb picks a free display itself and names it on the descriptor given
    // (here its standard output). 96 dpi: Qt then draws one pixel per pixel.
    m_server = std::make_unique<QProcess>();
    m_server->setChildProcessModifier(dieWithParent);
    m_server->setStandardErrorFile(m_logDirectory.filePath(QStringLiteral("xvfb.log")));
    m_server->start(findProgram("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                          QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-dpi"),
                                          QStringLiteral("96"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray number;
    while (!number.contains('\n') && m_server->waitForReadyRead(serverReadyTimeoutMs))
        number += m_server->readAllStandardOutput();
    if (number.trimmed().isEmpty()) {
        QFile log(m_logDirectory.filePath(QStringLiteral("xvfb.log")));
        log.open(QIODevice::ReadOnly);
        fail(QStringLiteral("Xvfb named no display: %1").arg(QString::fromLocal8Bit(log.readAll()).trimmed()));
        return;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
}

DesktopSession::~DesktopSession()
{
    if (m_program && m_program->state() != QProcess::NotRunning) {
        m_program->kill();
        m_program->waitForFinished(serverStopTimeoutMs);
    }
    if (m_server && m_server->state() != QProcess::NotRunning) {
        m_server->terminate();
        if (!m_server->waitForFinished(serverStopTimeoutMs)) {
            m_server->kill();
            m_server->waitForFinished(serverStopTimeoutMs);
        }
    }
}

bool DesktopSession::start(const TestNetwork &network, const QString &program)
{
    if (!ok())
        return false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"), QStringLiteral("0"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    // The display is the test's own, so is the session: no session bus, not
    // the developer's either. Without an address libdbus would try to start
    // a bus for this display (and leaks a buffer doing so, which fails the
    // program under LeakSanitizer).
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    m_program = std::make_unique<QProcess>();
    m_program->setProcessEnvironment(environment);
    m_program->setProcessChannelMode(QProcess::MergedChannels);
    // A file, not a pipe: a pipe nobody reads while the test waits would fill.
    m_program->setStandardOutputFile(m_logDirectory.filePath(QStringLiteral("program.log")));
    m_program->setChildProcessModifier(dieWithParent);
    // No capability at all, neither now nor through any later exec: what the
    // programs can do then is what every user can.
    const QStringList command = network.clientCommand(
        {findProgram("setpriv"), QStringLiteral("--inh-caps=-all"), QStringLiteral("--ambient-caps=-all"),
         QStringLiteral("--bounding-set=-all"), QStringLiteral("--no-new-privs"), program});
    m_program->start(command.constFirst(), command.mid(1));
    if (!m_program->waitForStarted()) {
        fail(QStringLiteral("cannot start %1: %2").arg(program, m_program->errorString()));
        return false;
    }

    // ip netns exec and setpriv exec in place, so the window's _NET_WM_PID is
    // the process id we have.
    const auto found = xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                QStringLiteral("--pid"), QString::number(m_program->processId())},
                               windowTimeoutMs);
    m_window = found.output.section(QLatin1Char('\n'), 0, 0).trimmed();
    if (!found.finished || found.exitCode != 0 || m_window.isEmpty()) {
        fail(QStringLiteral("%1 showed no window: %2 %3").arg(program, found.errorOutput.trimmed(), output()));
        return false;
    }
    const auto focused = xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_window});
    if (!focused.finished || focused.exitCode != 0) {
        fail(QStringLiteral("the window of %1 took no focus: %2").arg(program, focused.errorOutput.trimmed()));
        return false;
    }
    return true;
}

bool DesktopSession::key(const QStringList &keys)
{
    const auto result = xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--clearmodifiers")} + keys);
    if (!result.finished || result.exitCode != 0)
        fail(QStringLiteral("xdotool key %1: %2").arg(keys.join(QLatin1Char(' ')), result.errorOutput.trimmed()));
    return ok();
}

bool DesktopSession::type(const QString &text)
{
    const auto result = xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
    if (!result.finished || result.exitCode != 0)
        fail(QStringLiteral("xdotool type %1: %2").arg(text, result.errorOutput.trimmed()));
    return ok();
}

bool DesktopSession::click(const QPoint &point)
{
    const auto result = xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"),
                                 m_window, QString::number(point.x()), QString::number(point.y()),
                                 QStringLiteral("click"), QStringLiteral("1")});
    if (!result.finished || result.exitCode != 0)
        fail(QStringLiteral("xdotool click at %1,%2: %3").arg(point.x()).arg(point.y()).arg(result.errorOutput.trimmed()));
    return ok();
}

QString DesktopSession::checksum(const QRect &area)
{
    const auto result = xwindow({QStringLiteral("checksum"), m_window, QString::number(area.x()),
                                 QString::number(area.y()), QString::number(area.width()),
                                 QString::number(area.height())});
    if (!result.finished || result.exitCode != 0) {
        fail(QStringLiteral("tarvix_test_xwindow checksum: %1").arg(result.errorOutput.trimmed()));
        return {};
    }
    return result.output.trimmed();
}

bool DesktopSession::capture(const QString &path)
{
    if (!ok())
        return false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    QProcess import;
    import.setProcessEnvironment(environment);
    import.setProcessChannelMode(QProcess::MergedChannels);
    import.start(findProgram("import"), {QStringLiteral("-window"), m_window, path});
    if (!import.waitForFinished(20000) || import.exitStatus() != QProcess::NormalExit || import.exitCode() != 0)
        fail(QStringLiteral("import: %1 %2").arg(import.errorString(), QString::fromLocal8Bit(import.readAll())));
    return ok();
}

bool DesktopSession::requestClose()
{
    const auto result = xwindow({QStringLiteral("close"), m_window});
    if (!result.finished || result.exitCode != 0)
        fail(QStringLiteral("tarvix_test_xwindow close: %1").arg(result.errorOutput.trimmed()));
    return ok();
}

bool DesktopSession::waitForCleanExit(int timeoutMs)
{
    if (!m_program)
        return false;
    if (!m_program->waitForFinished(timeoutMs))
        return false;
    return m_program->exitStatus() == QProcess::NormalExit && m_program->exitCode() == 0;
}

bool DesktopSession::isRunning() const
{
    return m_program && m_program->state() != QProcess::NotRunning;
}

QString DesktopSession::output() const
{
    QFile log(m_logDirectory.filePath(QStringLiteral("program.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(log.readAll());
}

TestNetwork::CommandResult DesktopSession::xdotool(const QStringList &arguments, int timeoutMs)
{
    return TestNetwork::runHere(QStringList{findProgram("xdotool")} + arguments, timeoutMs,
                                {QStringLiteral("DISPLAY=") + m_display});
}

TestNetwork::CommandResult DesktopSession::xwindow(const QStringList &arguments)
{
    return TestNetwork::runHere(QStringList{xwindowProgram()} + arguments, 10000,
                                {QStringLiteral("DISPLAY=") + m_display});
}

void DesktopSession::fail(const QString &what)
{
    if (m_error.isEmpty())
        m_error = what;
}
