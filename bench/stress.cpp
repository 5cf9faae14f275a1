#include "stress.h"

#include "benchreport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace BenchStress {

namespace {

void sleepMs(int ms)
{
    timespec t{ms / 1000, long(ms % 1000) * 1'000'000};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &t, &t) == EINTR) {
    }
}

} // namespace

UiThreadHog::UiThreadHog(int stressMs, int freeMs)
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, stressMs, freeMs] {
        const qint64 endNs = BenchReport::monotonicNs() + qint64(stressMs) * 1'000'000;
        while (BenchReport::monotonicNs() < endNs) {
        }
        m_timer.start(freeMs);
    });
    m_timer.start(freeMs);
}

ProcessStopper::ProcessStopper(int stressMs, int freeMs)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) < 0)
        return;
    const pid_t target = getpid();
    m_helper = fork();
    if (m_helper == 0) {
        // Only async-signal-safe calls from here: the parent has threads.
        ::close(fds[1]);
        for (;;) {
            kill(target, SIGSTOP);
            sleepMs(stressMs);
            kill(target, SIGCONT);
            pollfd closed{fds[0], POLLIN, 0};
            int ready;
            do {
                ready = poll(&closed, 1, freeMs);
            } while (ready < 0 && errno == EINTR);
            if (ready != 0)
                _exit(0);
        }
    }
    ::close(fds[0]);
    if (m_helper < 0)
        ::close(fds[1]);
    else
        m_pipe = fds[1];
}

ProcessStopper::~ProcessStopper()
{
    if (m_helper <= 0)
        return;
    ::close(m_pipe);
    while (waitpid(m_helper, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void workInChild()
{
    const pid_t child = fork();
    if (child <= 0) {
        if (child == 0)
            prctl(PR_SET_PDEATHSIG, SIGTERM);
        return;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

QString title(Stress stress, int stressMs, int freeMs)
{
    switch (stress) {
    case Stress::None: return QStringLiteral("quiet");
    case Stress::BusyUiThread:
        return QStringLiteral("UI thread busy %1 ms, free %2 ms, over and over").arg(stressMs).arg(freeMs);
    case Stress::StoppedProcess:
        return QStringLiteral("process stopped (SIGSTOP) %1 ms, running %2 ms, over and over").arg(stressMs).arg(freeMs);
    }
    return {};
}

StressScope::StressScope(Stress stress, int stressMs, int freeMs)
{
    if (stress == Stress::BusyUiThread)
        m_hog.emplace(stressMs, freeMs);
    else if (stress == Stress::StoppedProcess && !m_stopper.emplace(stressMs, freeMs).ok())
        std::fprintf(stderr, "no helper process to stop this one: a turn ran without stops\n");
}

void StressScope::end()
{
    m_hog.reset();
    m_stopper.reset();
}

} // namespace BenchStress
