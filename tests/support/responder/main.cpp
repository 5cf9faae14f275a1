// tarvix_test_responder: answers echo requests in a test network namespace the
// way a test asks for (delay, drops, duplicates, noise, ICMP errors), and may
// play a name server that never answers.
#include "echoresponder.h"
#include "responderoptions.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

} // namespace

int main(int argc, char **argv)
{
    // A responder outliving the test that started it would keep answering in a
    // namespace nobody cleans up: go when the parent goes.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        return 1;

    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("--help-all"))
        || arguments.contains(QLatin1String("-h"))) {
        std::fputs(qPrintable(ResponderOptions::usage()), stdout);
        return 0;
    }
    QString error;
    const auto options = ResponderOptions::fromArguments(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "tarvix_test_responder: %s\n\n%s", qPrintable(error),
                     qPrintable(ResponderOptions::usage()));
        return 2;
    }

    // SIGTERM and SIGINT stay blocked except while the responder waits for
    // packets, so a stop never cuts a send in half.
    struct sigaction action{};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigset_t waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);

    EchoResponder responder(*options);
    if (!responder.open(&error)) {
        std::fprintf(stderr, "tarvix_test_responder: %s\n", qPrintable(error));
        return 1;
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);

    responder.run(&stopRequested, waitMask);
    std::fputs("tarvix_test_responder: stopped\n", stderr);
    return 0;
}
