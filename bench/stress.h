#pragma once

#include <QString>
#include <QTimer>
#include <QtGlobal>

#include <optional>

#include <sys/types.h>

// What the timing benchmarks put the component through: its UI thread kept
// busy, or its whole process stopped, stressMs at a time with freeMs between.
namespace BenchStress {

// Spins on the UI thread, as a host's long handler or a slow paint would,
// from construction to destruction.
class UiThreadHog
{
public:
    UiThreadHog(int stressMs, int freeMs);
    Q_DISABLE_COPY_MOVE(UiThreadHog)

private:
    QTimer m_timer;
};

// A helper process that stops this one (SIGSTOP) for stressMs and lets it run
// for freeMs, over and over, until destroyed. The helper leaves once it sees
// the pipe closed, which it checks only after a SIGCONT: this process is never
// left stopped, whenever the destructor runs.
class ProcessStopper
{
public:
    ProcessStopper(int stressMs, int freeMs);
    ~ProcessStopper();
    Q_DISABLE_COPY_MOVE(ProcessStopper)

    bool ok() const { return m_helper > 0; }

private:
    pid_t m_helper = -1;
    int m_pipe = -1;
};

enum class Stress { None, BusyUiThread, StoppedProcess };

// How a report heads the figures taken under a stress.
QString title(Stress stress, int stressMs, int freeMs);

// A stress from construction until end() or destruction.
class StressScope
{
public:
    StressScope(Stress stress, int stressMs, int freeMs);
    Q_DISABLE_COPY_MOVE(StressScope)

    void end();

private:
    std::optional<UiThreadHog> m_hog;
    std::optional<ProcessStopper> m_stopper;
};

// An interactive shell that runs a benchmark in the foreground takes a
// SIGSTOP for a job stopped at the terminal and takes the terminal back. So
// the work, and the stops, go to a child; this process only waits for it and
// exits as it did. Returns in the child (or if no child could be made).
void workInChild();

} // namespace BenchStress
