// Start-up time and peak memory of Tarvix and TarvixS against a bare Qt window
// (bench_bare_window: one label), in the same run, on an X server of our own
// (Xvfb, Qt's xcb platform).
//
// "Shown" is an event, not a poll: this program is an X client that selects
// SubstructureNotify on the root window, so the server tells it when any
// top-level window is mapped; the time runs from just before the program is
// spawned to the MapNotify of a window whose _NET_WM_PID is the program's.
// Qt sends the map request from show() and flushes it there, so this is the
// moment the window appears; what a program does after show() is not in it.
// Beside that wall-clock time: the CPU time the program's threads had run by
// the map and the time they had waited for a CPU (/proc/PID/task/*/schedstat),
// since on a shared machine other load stretches the wall-clock time alone.
//
// Two conditions, each interleaved: one X server for the whole run (warm: its
// fonts, atoms and glyph caches already made by earlier starts; our own
// connection keeps it from resetting between them), and a new X server for
// every start (fresh, as for the first program of a session).
// Once the window has settled the program is asked to close (WM_DELETE_WINDOW,
// as a window manager would) and its peak resident memory comes from wait4()
// (ru_maxrss); VmHWM from /proc just before the close is shown beside it.
//
// This program stays a small Xlib client without Qt: a spawned child's
// ru_maxrss also covers its parent's resident memory up to the exec.
//
// Nothing here may ping: the benchmark moves into a network namespace of its
// own (when root), where the ICMP counters are ours alone, and checks them.
//
// Usage: bench_startup [runs] [NAME=PROGRAM...]
//   each NAME=PROGRAM joins the run, in turns with the others: another build
//   of a program, say, to compare two commits on the same machine at once.
#include "percentile.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int WaitForWindowMs = 30000;
constexpr int SettleMs = 500;    // after the map: first paint, idle timers, lazy loading
constexpr int WaitForCloseMs = 10000;
constexpr double MemoryGoalBytes = 8e6;
constexpr double TimeGoalRatio = 1.25;
constexpr double TimeAimRatio = 1.15;

long long nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

double median(const std::vector<double> &values)
{
    return percentile(values, 50);
}

// Spawns argv with extra environment assignments; stdout and stderr go to
// logPath. Descriptors opened without O_CLOEXEC are inherited.
pid_t spawn(const std::vector<std::string> &argv, const std::map<std::string, std::string> &environment,
            const std::string &logPath)
{
    std::vector<std::string> envStrings;
    for (char **entry = environ; *entry; ++entry) {
        const std::string assignment(*entry);
        const std::string name = assignment.substr(0, assignment.find('='));
        if (!environment.count(name))
            envStrings.push_back(assignment);
    }
    for (const auto &[name, value] : environment)
        envStrings.push_back(name + '=' + value);
    std::vector<char *> envp;
    for (std::string &s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char *> argp;
    for (std::string &s : args)
        argp.push_back(s.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", argp[0], std::strerror(error));
        return -1;
    }
    return pid;
}

// A child that may have ended; wait4() reaps it once and keeps its rusage.
struct Child
{
    pid_t pid = -1;
    bool ended = false;
    int status = 0;
    rusage usage{};

    bool poll()
    {
        if (!ended && wait4(pid, &status, WNOHANG, &usage) == pid)
            ended = true;
        return ended;
    }
    bool waitFor(int timeoutMs)
    {
        const long long deadline = nowNs() + timeoutMs * 1000000LL;
        while (!poll() && nowNs() < deadline)
            usleep(2000);
        return ended;
    }
    // Ends it whatever it is doing: SIGTERM, then SIGKILL.
    void end()
    {
        if (poll())
            return;
        kill(pid, SIGTERM);
        if (!waitFor(3000)) {
            kill(pid, SIGKILL);
            waitFor(3000);
        }
    }
};

// The counters of the Icmp line of /proc/net/snmp, by name.
std::map<std::string, long long> icmpCounters()
{
    std::ifstream snmp("/proc/net/snmp");
    std::string header, values, line;
    while (std::getline(snmp, line)) {
        if (line.rfind("Icmp:", 0) != 0)
            continue;
        if (header.empty())
            header = line;
        else
            values = line;
    }
    std::map<std::string, long long> counters;
    std::istringstream names(header), numbers(values);
    std::string name, number;
    names >> name;
    numbers >> number; // the "Icmp:" labels
    while (names >> name && numbers >> number)
        counters[name] = std::atoll(number.c_str());
    return counters;
}

// How many of the process's descriptors are ICMP sockets (raw or ping sockets).
int icmpSocketsOf(pid_t pid)
{
    std::set<std::string> icmpInodes;
    for (const char *table : {"/proc/net/raw", "/proc/net/raw6", "/proc/net/icmp", "/proc/net/icmp6"}) {
        std::ifstream file(table);
        std::string line;
        std::getline(file, line); // header
        while (std::getline(file, line)) {
            std::istringstream fields(line);
            std::string field;
            for (int i = 0; i < 10 && fields >> field; ++i) {
            }
            icmpInodes.insert(field);
        }
    }
    int count = 0;
    const std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
    if (DIR *dir = opendir(fdDir.c_str())) {
        while (const dirent *entry = readdir(dir)) {
            char target[128] = {};
            const std::string path = fdDir + '/' + entry->d_name;
            if (readlink(path.c_str(), target, sizeof target - 1) <= 0)
                continue;
            const std::string link(target);
            if (link.rfind("socket:[", 0) == 0 && icmpInodes.count(link.substr(8, link.size() - 9)))
                ++count;
        }
        closedir(dir);
    }
    return count;
}

// The CPU time the process's threads have run, and the time they have waited
// on a run queue, in ms (the live threads: one that already ended is missed).
void schedstatMs(pid_t pid, double *runMs, double *waitMs)
{
    *runMs = *waitMs = 0;
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(taskDir.c_str());
    if (!dir)
        return;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(taskDir + '/' + entry->d_name + "/schedstat");
        double runNs = 0, waitNs = 0;
        if (stat >> runNs >> waitNs) {
            *runMs += runNs / 1e6;
            *waitMs += waitNs / 1e6;
        }
    }
    closedir(dir);
}

// A field of /proc/<pid>/status in KiB, or -1.
long statusKiB(pid_t pid, const std::string &field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ':', 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    }
    return -1;
}

// The one-minute load average, as /proc/loadavg gives it.
std::string loadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string oneMinute;
    file >> oneMinute;
    return oneMinute;
}

int ignoreXErrors(Display *, XErrorEvent *)
{
    return 0; // a window that went away between its event and our question
}

class XServer
{
public:
    ~XServer()
    {
        if (m_display)
            XCloseDisplay(m_display);
        m_server.end();
    }

    // Starts Xvfb on the first free display and connects to it.
    bool start(const std::string &logPath)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        m_server.pid = spawn({"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                              "-nolisten", "tcp"},
                             {}, logPath);
        close(fds[1]);
        if (m_server.pid < 0) {
            close(fds[0]);
            return false;
        }
        std::string number;
        char c;
        pollfd ready{fds[0], POLLIN, 0};
        while (::poll(&ready, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            return false;
        m_name = ':' + number;
        m_display = XOpenDisplay(m_name.c_str());
        if (!m_display)
            return false;
        XSetErrorHandler(ignoreXErrors);
        m_root = DefaultRootWindow(m_display);
        XSelectInput(m_display, m_root, SubstructureNotifyMask);
        m_pidAtom = XInternAtom(m_display, "_NET_WM_PID", False);
        m_protocolsAtom = XInternAtom(m_display, "WM_PROTOCOLS", False);
        m_deleteAtom = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
        XSync(m_display, False);
        return true;
    }

    const std::string &name() const { return m_name; }

    // Waits for the first top-level window of child to be mapped; gives the
    // window and the time the event arrived.
    std::optional<Window> waitForMap(Child &child, long long *mappedNs)
    {
        const long long deadline = nowNs() + WaitForWindowMs * 1000000LL;
        while (nowNs() < deadline) {
            while (XPending(m_display)) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type != MapNotify || event.xmap.override_redirect)
                    continue;
                const long long at = nowNs();
                if (windowPid(event.xmap.window) == child.pid) {
                    *mappedNs = at;
                    return event.xmap.window;
                }
            }
            if (child.poll())
                return std::nullopt;
            pollfd ready{ConnectionNumber(m_display), POLLIN, 0};
            ::poll(&ready, 1, 20);
        }
        return std::nullopt;
    }

    // Reads and drops events for a while, so the server never waits on us.
    void drain(int ms)
    {
        const long long deadline = nowNs() + ms * 1000000LL;
        while (nowNs() < deadline) {
            while (XPending(m_display)) {
                XEvent event;
                XNextEvent(m_display, &event);
            }
            pollfd ready{ConnectionNumber(m_display), POLLIN, 0};
            ::poll(&ready, 1, int(std::max(1LL, (deadline - nowNs()) / 1000000)));
        }
    }

    // What a window manager sends when the user closes a window.
    void requestClose(Window window)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = m_protocolsAtom;
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(m_deleteAtom);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XFlush(m_display);
    }

private:
    pid_t windowPid(Window window)
    {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        pid_t pid = -1;
        if (XGetWindowProperty(m_display, window, m_pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data)
                == Success
            && data && format == 32 && items == 1)
            pid = pid_t(*reinterpret_cast<unsigned long *>(data));
        if (data)
            XFree(data);
        return pid;
    }

    Child m_server;
    std::string m_name;
    Display *m_display = nullptr;
    Window m_root = 0;
    Atom m_pidAtom = 0;
    Atom m_protocolsAtom = 0;
    Atom m_deleteAtom = 0;
};

// The start-up figures of one program under one condition.
struct Starts
{
    std::vector<double> wallMs;
    std::vector<double> cpuMs;
    std::vector<double> waitMs;
};

struct Program
{
    std::string name;
    std::string path;
    Starts warm;
    Starts fresh;
    std::vector<double> maxRssKiB;
    std::vector<double> hwmKiB;
    int icmpSockets = 0;
    int closedByForce = 0;
};

// One start of the program: true with its figures, false with a message.
// Memory is kept from the warm starts only.
bool measureOnce(XServer &x, Program &program, Starts *starts, const std::string &logPath)
{
    Child child;
    const long long spawnedNs = nowNs();
    child.pid = spawn({program.path}, {{"DISPLAY", x.name()}, {"QT_QPA_PLATFORM", "xcb"}}, logPath);
    if (child.pid < 0)
        return false;
    long long mappedNs = 0;
    const std::optional<Window> window = x.waitForMap(child, &mappedNs);
    double cpuMs = 0, waitMs = 0;
    if (window)
        schedstatMs(child.pid, &cpuMs, &waitMs);
    if (!window) {
        std::fprintf(stderr, "%s showed no window within %d ms; its output:\n", program.name.c_str(), WaitForWindowMs);
        std::ifstream log(logPath);
        std::fprintf(stderr, "%s\n", std::string(std::istreambuf_iterator<char>(log), {}).c_str());
        child.end();
        return false;
    }
    x.drain(SettleMs);
    const long hwm = statusKiB(child.pid, "VmHWM");
    program.icmpSockets += icmpSocketsOf(child.pid);
    x.requestClose(*window);
    const long long closeDeadline = nowNs() + WaitForCloseMs * 1000000LL;
    while (!child.poll() && nowNs() < closeDeadline)
        x.drain(5);
    if (!child.ended || !WIFEXITED(child.status)) {
        ++program.closedByForce;
        child.end();
    }
    if (starts) {
        starts->wallMs.push_back(double(mappedNs - spawnedNs) / 1e6);
        starts->cpuMs.push_back(cpuMs);
        starts->waitMs.push_back(waitMs);
        if (starts == &program.warm) {
            program.maxRssKiB.push_back(double(child.usage.ru_maxrss));
            program.hwmKiB.push_back(double(hwm));
        }
    }
    return true;
}

std::string verdict(bool met, const std::string &shortBy)
{
    return met ? "met" : "short by " + shortBy;
}

std::string format(const char *pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;

    // A network namespace of our own: nothing here can reach anything, and its
    // ICMP counters count only what these programs might send.
    const bool ownNamespace = unshare(CLONE_NEWNET) == 0;
    const std::string loadBefore = loadAverage();
    const std::map<std::string, long long> icmpBefore = icmpCounters();

    char logDir[] = "/tmp/tarvix-bench-startup-XXXXXX";
    if (!mkdtemp(logDir)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string serverLog = std::string(logDir) + "/xvfb.log";
    const std::string programLog = std::string(logDir) + "/program.log";

    std::vector<Program> programs = {
        {"bare", TARVIX_BARE_WINDOW, {}, {}, {}, {}, 0, 0},
        {"Tarvix", TARVIX_FULL_PROGRAM, {}, {}, {}, {}, 0, 0},
        {"TarvixS", TARVIX_SIMPLE_PROGRAM, {}, {}, {}, {}, 0, 0},
    };
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t equals = argument.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == argument.size()) {
            std::fprintf(stderr, "usage: %s [runs] [NAME=PROGRAM...]\n", argv[0]);
            return 2;
        }
        programs.push_back({argument.substr(0, equals), argument.substr(equals + 1), {}, {}, {}, {}, 0, 0});
    }
    bool ok = true;
    {
        XServer x;
        if (!x.start(serverLog)) {
            std::fprintf(stderr, "Xvfb did not start (log in %s)\n", serverLog.c_str());
            return 1;
        }
        // One start each first, not counted: the libraries and fonts come from
        // disk only once, whichever program is first.
        for (Program &program : programs)
            ok = ok && measureOnce(x, program, nullptr, programLog);
        for (int run = 0; ok && run < runs; ++run) {
            for (Program &program : programs)
                ok = ok && measureOnce(x, program, &program.warm, programLog);
        }
    }
    for (int run = 0; ok && run < runs; ++run) {
        for (Program &program : programs) {
            XServer x;
            if (!x.start(serverLog)) {
                std::fprintf(stderr, "Xvfb did not start (log in %s)\n", serverLog.c_str());
                return 1;
            }
            ok = measureOnce(x, program, &program.fresh, programLog);
            if (!ok)
                break;
        }
    }
    if (!ok)
        return 1;
    std::remove(serverLog.c_str());
    std::remove(programLog.c_str());
    rmdir(logDir);

    std::printf("Start-up under Xvfb (xcb): from spawn to the MapNotify of the program's top-level window, and the\n"
                "CPU time its threads had run and waited for a CPU by then; peak resident memory from wait4() after\n"
                "WM_DELETE_WINDOW %d ms after the map. Medians of %d runs each, interleaved: on one X server after\n"
                "an uncounted start each (warm), then on a new X server for every start (fresh).\n",
                SettleMs, runs);
    std::printf("Load average before %s, after %s, on %ld CPUs: wall-clock time is what a user waits for, and\n"
                "other processes on the machine stretch it (see \"waited\"); CPU time they stretch far less.\n",
                loadBefore.c_str(), loadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    const Program &bare = programs[0];
    for (const bool fresh : {false, true}) {
        std::printf("\n%s X server:\n", fresh ? "Fresh" : "Warm");
        std::printf("%-15s %10s %18s %10s %10s\n", "program", "to the map", "(min - max)", "CPU", "waited");
        for (const Program &p : programs) {
            const Starts &s = fresh ? p.fresh : p.warm;
            std::printf("%-15s %7.1f ms  (%6.1f - %6.1f) %7.1f ms %7.1f ms\n", p.name.c_str(), median(s.wallMs),
                        *std::min_element(s.wallMs.begin(), s.wallMs.end()),
                        *std::max_element(s.wallMs.begin(), s.wallMs.end()), median(s.cpuMs), median(s.waitMs));
        }
        const Starts &b = fresh ? bare.fresh : bare.warm;
        for (size_t i = 1; i < programs.size(); ++i) {
            const Program &p = programs[i];
            const Starts &s = fresh ? p.fresh : p.warm;
            const double ratio = median(s.wallMs) / median(b.wallMs);
            // Against the bare start of the same round, moments apart: the
            // machine's load drifts less within a round than across the run.
            std::vector<double> roundRatios;
            for (size_t run = 0; run < s.wallMs.size(); ++run)
                roundRatios.push_back(s.wallMs[run] / b.wallMs[run]);
            // The fastest starts are the ones other load on the machine disturbed least.
            const double fastestRatio = *std::min_element(s.wallMs.begin(), s.wallMs.end())
                                        / *std::min_element(b.wallMs.begin(), b.wallMs.end());
            std::printf("%-15s time %.2f x bare (goal <= %.2f x: %s; aim <= %.2f x: %s); round by round %.2f x, "
                        "fastest starts %.2f x, CPU %.2f x\n",
                        p.name.c_str(), ratio, TimeGoalRatio,
                        verdict(ratio <= TimeGoalRatio, format("%.2f x", ratio - TimeGoalRatio)).c_str(),
                        TimeAimRatio, verdict(ratio <= TimeAimRatio, format("%.2f x", ratio - TimeAimRatio)).c_str(),
                        median(roundRatios), fastestRatio, median(s.cpuMs) / median(b.cpuMs));
        }
    }

    std::printf("\n%-15s %13s %13s\n", "program", "ru_maxrss", "VmHWM");
    for (const Program &p : programs)
        std::printf("%-15s %9.1f MiB %9.1f MiB\n", p.name.c_str(), median(p.maxRssKiB) / 1024, median(p.hwmKiB) / 1024);
    for (size_t i = 1; i < programs.size(); ++i) {
        const Program &p = programs[i];
        const double extraBytes = (median(p.maxRssKiB) - median(bare.maxRssKiB)) * 1024;
        std::printf("%-15s memory %+.1f MB over bare (goal <= +%.0f MB): %s\n", p.name.c_str(), extraBytes / 1e6,
                    MemoryGoalBytes / 1e6,
                    verdict(extraBytes <= MemoryGoalBytes, format("%.1f MB", (extraBytes - MemoryGoalBytes) / 1e6))
                        .c_str());
    }

    const std::map<std::string, long long> icmpAfter = icmpCounters();
    const long long sent = icmpAfter.at("OutMsgs") - icmpBefore.at("OutMsgs");
    int icmpSockets = 0;
    int forced = 0;
    for (const Program &p : programs) {
        icmpSockets += p.icmpSockets;
        forced += p.closedByForce;
    }
    std::printf("No pinging: %d ICMP sockets open at the close; %lld ICMP messages sent %s.\n", icmpSockets, sent,
                ownNamespace ? "in the benchmark's own network namespace"
                             : "in the current network namespace (no namespace of our own: not root)");
    if (forced)
        std::printf("Note: %d starts did not end cleanly on WM_DELETE_WINDOW and were killed.\n", forced);
    return icmpSockets == 0 && sent == 0 ? 0 : 1;
}
