// Drives Tarvix::Pinger as a program of someone else's does, built against the
// installed prefix, and checks what pinger.h promises of a start() and its run:
//
// - the setters change their property and say so once; an unchanged value says nothing;
// - no result, error, activeChanged(false) or finished() from inside start();
// - resultReady() once per request, sequences 1 to count in order, while active;
// - then activeChanged(false) right before finished(), each once, nothing after;
// - at finished(), statistics() is final: count sent, the replies received, the loss;
// - a run that fails: errorOccurred() once before finished(), with error() and
//   errorString() set, and no result.
//
//   tarvix-pingercheck EXPECT HOST [--count N] [--interval MS] [--timeout MS] [--packet-size BYTES]
//
// EXPECT is "replies" (every request answered), "timeouts" (none answered) or
// the name of the Pinger::Error the start must end with (HostNotFound,
// InvalidSetting, ...). Prints the signals as they come. Exits 0 when all
// held, 1 after naming each thing that did not, 2 on bad usage.
#include <tarvix/pinger.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QList>
#include <QMetaEnum>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>

// The installed headers and targets must let a C++17 program stay C++17: an
// imported target that asked for a later standard would raise it here.
static_assert(__cplusplus == 201703L, "not compiled as C++17: something asked for another standard");
#if defined(__GNUC__) && !defined(__STRICT_ANSI__)
#error "compiled as gnu++17, not as the project asks: CMAKE_CXX_EXTENSIONS OFF"
#endif

using Tarvix::Pinger;
using Tarvix::PingResult;
using Tarvix::PingStatistics;

namespace {

QTextStream out(stdout);
QStringList failures;

void fail(const QString &what)
{
    failures << what;
    QTextStream(stderr) << "FAIL: " << what << Qt::endl;
}

template <typename Enum>
QString nameOf(Enum value)
{
    return QString::fromLatin1(QMetaEnum::fromType<Enum>().valueToKey(int(value)));
}

// Sets a property twice to value: its getter must read it back, and its
// change signal come once with it, or not at all where it was value already.
template <typename Signal>
void checkSetter(Pinger &pinger, const char *name, void (Pinger::*set)(int), int (Pinger::*get)() const,
                 Signal changed, int value)
{
    const bool changes = (pinger.*get)() != value;
    QList<int> heard;
    const QMetaObject::Connection connection =
        QObject::connect(&pinger, changed, &pinger, [&heard](int now) { heard << now; });
    (pinger.*set)(value);
    (pinger.*set)(value);
    QObject::disconnect(connection);
    if ((pinger.*get)() != value)
        fail(QStringLiteral("%1 set to %2 reads back %3").arg(QLatin1String(name)).arg(value).arg((pinger.*get)()));
    if (heard != (changes ? QList<int>{value} : QList<int>{}))
        fail(QStringLiteral("setting %1 to %2 (%3) told of %4 change(s)")
                 .arg(QLatin1String(name))
                 .arg(value)
                 .arg(changes ? QStringLiteral("a change") : QStringLiteral("unchanged"))
                 .arg(heard.size()));
}

bool near(double a, double b)
{
    return std::abs(a - b) < 1e-9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("expect"), QStringLiteral("replies, timeouts or a Pinger::Error"));
    parser.addPositionalArgument(QStringLiteral("host"), QStringLiteral("The host to start with."));
    const auto option = [](const char *name, const char *value) {
        return QCommandLineOption(QLatin1String(name), QLatin1String(name), QStringLiteral("n"), QLatin1String(value));
    };
    const QCommandLineOption countOption = option("count", "3");
    const QCommandLineOption intervalOption = option("interval", "100");
    const QCommandLineOption timeoutOption = option("timeout", "1000");
    const QCommandLineOption sizeOption = option("packet-size", "56");
    parser.addOptions({countOption, intervalOption, timeoutOption, sizeOption});
    bool numbers = parser.parse(QCoreApplication::arguments()) && parser.positionalArguments().size() == 2;
    const auto number = [&](const QCommandLineOption &option) {
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        numbers = numbers && ok;
        return value;
    };
    const int count = number(countOption);
    const int interval = number(intervalOption);
    const int timeout = number(timeoutOption);
    const int packetSize = number(sizeOption);
    if (!numbers) {
        QTextStream(stderr) << parser.errorText() << '\n' << parser.helpText() << Qt::endl;
        return 2;
    }
    const QString expect = parser.positionalArguments().at(0);
    const QString host = parser.positionalArguments().at(1);

    const bool expectReplies = expect == QLatin1String("replies");
    const bool expectTimeouts = expect == QLatin1String("timeouts");
    bool isError = false;
    const auto expectedError =
        Pinger::Error(QMetaEnum::fromType<Pinger::Error>().keyToValue(expect.toLatin1().constData(), &isError));
    if (!expectReplies && !expectTimeouts && (!isError || expectedError == Pinger::NoError)) {
        QTextStream(stderr) << "EXPECT is replies, timeouts or a Pinger::Error, not " << expect << Qt::endl;
        return 2;
    }

    Pinger pinger;
    checkSetter(pinger, "count", &Pinger::setCount, &Pinger::count, &Pinger::countChanged, count);
    checkSetter(pinger, "interval", &Pinger::setInterval, &Pinger::interval, &Pinger::intervalChanged, interval);
    checkSetter(pinger, "timeout", &Pinger::setTimeout, &Pinger::timeout, &Pinger::timeoutChanged, timeout);
    checkSetter(pinger, "packetSize", &Pinger::setPacketSize, &Pinger::packetSize, &Pinger::packetSizeChanged,
                packetSize);
    checkSetter(pinger, "timeToLive", &Pinger::setTimeToLive, &Pinger::timeToLive, &Pinger::timeToLiveChanged, 64);

    // What came, in order: resultReady:N, activeChanged:0/1, errorOccurred, finished.
    QStringList events;
    bool inStart = false;
    int nextSequence = 1;
    int replies = 0;
    const auto trace = [&] { return events.join(u' '); };
    const auto heardInStart = [&](const char *signal) {
        if (inStart)
            fail(QStringLiteral("%1 came from inside start()").arg(QLatin1String(signal)));
    };

    QObject::connect(&pinger, &Pinger::resultReady, &app, [&](const PingResult &result) {
        heardInStart("resultReady");
        out << "resultReady seq=" << result.sequence() << ' ' << nameOf(result.outcome()) << ' '
            << QString::number(result.roundTripMs(), 'f', 3) << " ms from " << result.address() << Qt::endl;
        if (events.contains(QLatin1String("activeChanged:0")) || events.contains(QLatin1String("finished")))
            fail(QStringLiteral("result %1 came after the run ended: %2").arg(result.sequence()).arg(trace()));
        events << QStringLiteral("resultReady:%1").arg(result.sequence());
        if (!pinger.isActive())
            fail(QStringLiteral("result %1 came while not active").arg(result.sequence()));
        if (result.sequence() != nextSequence)
            fail(QStringLiteral("result for sequence %1 where %2 was due").arg(result.sequence()).arg(nextSequence));
        nextSequence = result.sequence() + 1;
        if (result.sequence() > count)
            fail(QStringLiteral("result %1 of a run of %2").arg(result.sequence()).arg(count));

        if (expectReplies) {
            if (result.outcome() != PingResult::Reply) {
                fail(QStringLiteral("request %1 ended with %2 (%3), not a reply")
                         .arg(result.sequence())
                         .arg(nameOf(result.outcome()), result.errorText()));
                return;
            }
            ++replies;
            if (result.roundTrip().count() <= 0 || !near(result.roundTripMs(), result.roundTrip().count() / 1e6))
                fail(QStringLiteral("reply %1 took %2 ns, %3 ms")
                         .arg(result.sequence())
                         .arg(result.roundTrip().count())
                         .arg(result.roundTripMs()));
            if (result.address() != pinger.ipAddress())
                fail(QStringLiteral("reply %1 from %2, the run pings %3")
                         .arg(result.sequence())
                         .arg(result.address(), pinger.ipAddress()));
            if (result.bytes() != packetSize)
                fail(QStringLiteral("reply %1 holds %2 bytes, %3 were sent")
                         .arg(result.sequence())
                         .arg(result.bytes())
                         .arg(packetSize));
            if (result.ttl() < 1 || result.ttl() > 255)
                fail(QStringLiteral("reply %1 with TTL %2").arg(result.sequence()).arg(result.ttl()));
        } else if (expectTimeouts) {
            if (result.outcome() != PingResult::Timeout)
                fail(QStringLiteral("request %1 ended with %2, not a time-out")
                         .arg(result.sequence())
                         .arg(nameOf(result.outcome())));
            if (result.roundTrip().count() != 0 || result.bytes() != -1)
                fail(QStringLiteral("time-out %1 has a round trip or bytes").arg(result.sequence()));
        } else {
            fail(QStringLiteral("a result came from a start that should fail with %1").arg(expect));
        }
    });
    QObject::connect(&pinger, &Pinger::activeChanged, &app, [&](bool active) {
        out << "activeChanged(" << (active ? "true" : "false") << ')' << Qt::endl;
        if (!active)
            heardInStart("activeChanged(false)");
        if (pinger.isActive() != active)
            fail(QStringLiteral("activeChanged(%1) while isActive() is %2")
                     .arg(int(active))
                     .arg(int(pinger.isActive())));
        events << QStringLiteral("activeChanged:%1").arg(int(active));
    });
    QObject::connect(&pinger, &Pinger::errorOccurred, &app, [&](Pinger::Error error) {
        heardInStart("errorOccurred");
        out << "errorOccurred(" << nameOf(error) << "): " << pinger.errorString() << Qt::endl;
        if (events.contains(QLatin1String("finished")))
            fail(QStringLiteral("errorOccurred() after finished()"));
        events << QStringLiteral("errorOccurred");
        if (pinger.error() != error)
            fail(QStringLiteral("errorOccurred(%1) while error() is %2").arg(nameOf(error), nameOf(pinger.error())));
    });

    QObject::connect(&pinger, &Pinger::finished, &app, [&] {
        heardInStart("finished");
        const PingStatistics stats = pinger.statistics();
        out << "finished error=" << nameOf(pinger.error()) << " sent=" << stats.sent()
            << " received=" << stats.received() << " loss=" << stats.loss() << Qt::endl;
        const bool again = events.contains(QLatin1String("finished"));
        events << QStringLiteral("finished");
        if (again) {
            fail(QStringLiteral("finished() came again: %1").arg(trace()));
            return;
        }
        if (events.size() < 2 || events.at(events.size() - 2) != QLatin1String("activeChanged:0")
            || events.count(QStringLiteral("activeChanged:0")) != 1)
            fail(QStringLiteral("activeChanged(false) did not come once, right before finished(): %1").arg(trace()));
        if (pinger.isActive())
            fail(QStringLiteral("still active at finished()"));

        if (expectReplies || expectTimeouts) {
            if (nextSequence != count + 1)
                fail(QStringLiteral("finished() after result %1 of %2").arg(nextSequence - 1).arg(count));
            if (pinger.error() != Pinger::NoError || !pinger.errorString().isEmpty()
                || events.contains(QLatin1String("errorOccurred")))
                fail(QStringLiteral("the run failed: %1 (%2)").arg(nameOf(pinger.error()), pinger.errorString()));
            if (stats.sent() != count || stats.received() != replies)
                fail(QStringLiteral("statistics say %1 sent, %2 received; %3 requests, %4 replies came")
                         .arg(stats.sent())
                         .arg(stats.received())
                         .arg(count)
                         .arg(replies));
            if (stats.sent() > 0 && !near(stats.loss(), double(stats.sent() - stats.received()) / stats.sent()))
                fail(QStringLiteral("a loss of %1 for %2 replies to %3")
                         .arg(stats.loss())
                         .arg(stats.received())
                         .arg(stats.sent()));
            if (pinger.ipAddress().isEmpty())
                fail(QStringLiteral("no ipAddress() after a run"));
        } else {
            if (pinger.error() != expectedError)
                fail(QStringLiteral("ended with error %1, not %2").arg(nameOf(pinger.error()), expect));
            if (pinger.errorString().isEmpty())
                fail(QStringLiteral("an error without errorString()"));
            if (events.count(QStringLiteral("errorOccurred")) != 1)
                fail(QStringLiteral("errorOccurred() did not come once before finished(): %1").arg(trace()));
            if (stats.sent() != 0)
                fail(QStringLiteral("a start that failed counts %1 requests sent").arg(stats.sent()));
        }
        if (expectReplies && stats.received() > 0) {
            const double min = stats.minimumMs(), avg = stats.averageMs(), max = stats.maximumMs();
            out << "rtt min/avg/max/mdev/p95/jitter = " << min << '/' << avg << '/' << max << '/'
                << stats.deviationMs() << '/' << stats.p95Ms() << '/' << stats.jitterMs() << " ms" << Qt::endl;
            // The 95th percentile is read from bins 3% wide.
            if (!(min > 0 && min <= avg && avg <= max) || stats.p95Ms() < min * 0.97 || stats.p95Ms() > max * 1.03
                || stats.deviationMs() < 0 || stats.jitterMs() < 0 || stats.jitterMs() > max - min + 1e-6)
                fail(QStringLiteral("minimum, average, maximum, p95 and jitter do not fit together"));
        }
        if (expectTimeouts && (stats.received() != 0 || !near(stats.loss(), 1.0) || stats.minimum().count() != 0))
            fail(QStringLiteral("a run of time-outs with replies in its statistics"));
        // Anything late (another result, a second finished()) would come meanwhile.
        QTimer::singleShot(std::clamp(timeout, 300, 1500), &app, &QCoreApplication::quit);
    });

    // Long enough for the run and a name server's one-second time-out.
    const int deadline = std::max(count, 0) * (interval + timeout) + 10000;
    QTimer::singleShot(deadline, &app, [&] {
        fail(QStringLiteral("no finished() within %1 ms: %2").arg(deadline).arg(trace()));
        QCoreApplication::quit();
    });

    inStart = true;
    pinger.start(host);
    inStart = false;
    if (!pinger.isActive())
        fail(QStringLiteral("not active after start()"));
    if (pinger.error() != Pinger::NoError)
        fail(QStringLiteral("error() is %1 right after start()").arg(nameOf(pinger.error())));
    app.exec();

    if (!failures.isEmpty()) {
        QTextStream(stderr) << failures.size() << " check(s) failed for " << expect << ' ' << host << Qt::endl;
        return 1;
    }
    out << "ok: " << expect << ' ' << host << ", " << trace() << Qt::endl;
    return 0;
}
