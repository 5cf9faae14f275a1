// Pings a host from the console with Tarvix::Pinger, in the manner of ping:
//
//   tarvix-pinger [-c count] [-i interval_ms] [-W timeout_ms] [-s bytes] [-t ttl] host
//
// Each request's result is printed as it comes, round trips to the
// microsecond, then the run's statistics. Exit codes:
//   0  every request got a reply
//   1  some requests got none (time-outs or ICMP errors)
//   2  an error: a bad argument, or the run did not start or ended early
//      (the pinger's errorString() goes to stderr)
#include <tarvix/pinger.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

QString ms(double value)
{
    return QString::number(value, 'f', 3);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvix-pinger"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    Tarvix::Pinger pinger;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sends ICMP echo requests to a host and prints the replies."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption countOption(QStringLiteral("c"), QStringLiteral("Requests to send."),
                                         QStringLiteral("count"), QString::number(pinger.count()));
    const QCommandLineOption intervalOption(QStringLiteral("i"), QStringLiteral("Milliseconds between requests."),
                                            QStringLiteral("interval_ms"), QString::number(pinger.interval()));
    const QCommandLineOption timeoutOption(QStringLiteral("W"), QStringLiteral("Milliseconds to wait for each reply."),
                                           QStringLiteral("timeout_ms"), QString::number(pinger.timeout()));
    const QCommandLineOption sizeOption(QStringLiteral("s"), QStringLiteral("Payload bytes of each request."),
                                        QStringLiteral("bytes"), QString::number(pinger.packetSize()));
    const QCommandLineOption ttlOption(QStringLiteral("t"), QStringLiteral("Time to live (hop limit)."),
                                       QStringLiteral("ttl"), QString::number(pinger.timeToLive()));
    parser.addOptions({countOption, intervalOption, timeoutOption, sizeOption, ttlOption});
    parser.addPositionalArgument(QStringLiteral("host"), QStringLiteral("A name, or an IPv4 or IPv6 address."));
    // parse(), not process(): process() exits 1 on a bad option, which here means lost requests.
    if (!parser.parse(QCoreApplication::arguments())) {
        err << "tarvix-pinger: " << parser.errorText() << Qt::endl;
        return 2;
    }
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    const QStringList hosts = parser.positionalArguments();
    if (hosts.size() != 1) {
        err << "tarvix-pinger: give one host\n" << parser.helpText() << Qt::endl;
        return 2;
    }

    // Whole numbers are checked here, their ranges by the pinger, which
    // reports a bad one as InvalidSetting.
    bool numbers = true;
    const auto number = [&](const QCommandLineOption &option) {
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        if (!ok && numbers) {
            err << "tarvix-pinger: -" << option.names().constFirst() << " wants a whole number, not \""
                << parser.value(option) << '"' << Qt::endl;
            numbers = false;
        }
        return value;
    };
    pinger.setCount(number(countOption));
    pinger.setInterval(number(intervalOption));
    pinger.setTimeout(number(timeoutOption));
    pinger.setPacketSize(number(sizeOption));
    pinger.setTimeToLive(number(ttlOption));
    if (!numbers)
        return 2;

    const QString host = hosts.constFirst();
    QObject::connect(&pinger, &Tarvix::Pinger::ipAddressChanged, &app, [&](const QString &address) {
        if (!address.isEmpty())
            out << "PING " << host << " (" << address << ") " << pinger.packetSize() << " bytes of data" << Qt::endl;
    });
    QObject::connect(&pinger, &Tarvix::Pinger::resultReady, &app, [&](const Tarvix::PingResult &result) {
        out << "seq=" << result.sequence() << ' ';
        switch (result.outcome()) {
        case Tarvix::PingResult::Reply:
            out << "reply from " << result.address() << " bytes=" << result.bytes();
            if (result.ttl() >= 0)
                out << " ttl=" << result.ttl();
            out << " time=" << ms(result.roundTripMs()) << " ms";
            break;
        case Tarvix::PingResult::Timeout:
            out << "no reply within " << pinger.timeout() << " ms";
            break;
        case Tarvix::PingResult::Error:
            out << "error: " << result.errorText();
            break;
        }
        out << Qt::endl;
    });
    QObject::connect(&pinger, &Tarvix::Pinger::finished, &app, [&] {
        const Tarvix::PingStatistics stats = pinger.statistics();
        if (stats.sent() > 0) {
            out << "--- " << host << " statistics ---\n"
                << stats.sent() << " sent, " << stats.received() << " received, "
                << QString::number(stats.loss() * 100, 'g', 4) << "% loss";
            if (stats.duplicates() > 0)
                out << ", " << stats.duplicates() << " duplicates";
            if (stats.errors() > 0)
                out << ", " << stats.errors() << " errors";
            out << '\n';
            if (stats.received() > 0)
                out << "rtt min/avg/max/mdev = " << ms(stats.minimumMs()) << '/' << ms(stats.averageMs()) << '/'
                    << ms(stats.maximumMs()) << '/' << ms(stats.deviationMs()) << " ms, p95 " << ms(stats.p95Ms())
                    << " ms, jitter " << ms(stats.jitterMs()) << " ms\n";
            out.flush();
        }
        if (pinger.error() != Tarvix::Pinger::NoError) {
            err << "tarvix-pinger: " << pinger.errorString() << Qt::endl;
            QCoreApplication::exit(2);
        } else {
            QCoreApplication::exit(stats.sent() > 0 && stats.received() == stats.sent() ? 0 : 1);
        }
    });

    // start() returns at once: the lookup, the results and any error all
    // come from the event loop.
    pinger.start(host);
    return app.exec();
}
