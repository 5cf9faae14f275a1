// A program that hosts the ping component's engine, for tests that run it as
// another user: it pings each address given, choosing the socket as the
// component does (datagram, raw, then the ICMP helper), and prints what came
// back and which capabilities it and its children hold while the run goes on.
//
//   tarvix_test_ping_driver ADDRESS...
//
// One line each:
//   caps self CapEff=... CapPrm=...        (at the start, and at each first reply)
//   run ADDRESS kind=datagram|raw|helper
//   reply ADDRESS seq=N bytes=N ttl=N rtt_ns=N kernel_timestamp=0|1
//   caps child PID NAME Uid=R,E,S,F CapEff=... CapPrm=... NoNewPrivs=...   (at each first reply)
//   timeout ADDRESS seq=N | failed ADDRESS seq=N | transmit-failed ADDRESS seq=N errno=N
//   error ADDRESS TEXT      (no socket of any kind could be opened, or the helper failed)
//   end ADDRESS
// Exits with 0 once every address was pinged, 2 on bad arguments.
#include "hostaddress.h"
#include "pingengine.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString statusFields(const QString &statusFile, const QStringList &names)
{
    QFile file(statusFile);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unreadable");
    const QString status = QString::fromLatin1(file.readAll());
    QStringList fields;
    for (const QString &name : names) {
        // Several values (the four user ids) are joined by commas.
        const QRegularExpression line(QStringLiteral("^%1:\\s*([^\\n]*)").arg(name), QRegularExpression::MultilineOption);
        fields.append(name + QLatin1Char('=')
                      + line.match(status).captured(1).simplified().replace(QLatin1Char(' '), QLatin1Char(',')));
    }
    return fields.join(QLatin1Char(' '));
}

void reportSelf()
{
    say(QStringLiteral("caps self ")
        + statusFields(QStringLiteral("/proc/self/status"), {QStringLiteral("CapEff"), QStringLiteral("CapPrm")}));
}

// Every process whose parent is this one: the helper, while a run uses it.
void reportChildren()
{
    const QString self = QString::number(getpid());
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString &pid : entries) {
        QFile file(QStringLiteral("/proc/%1/status").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString status = QString::fromLatin1(file.readAll());
        static const QRegularExpression parent(QStringLiteral("^PPid:\\s*(\\d+)"), QRegularExpression::MultilineOption);
        static const QRegularExpression name(QStringLiteral("^Name:\\s*(\\S+)"), QRegularExpression::MultilineOption);
        if (parent.match(status).captured(1) != self)
            continue;
        say(QStringLiteral("caps child %1 %2 %3")
                .arg(pid, name.match(status).captured(1),
                     statusFields(file.fileName(),
                                  {QStringLiteral("Uid"), QStringLiteral("CapEff"), QStringLiteral("CapPrm"),
                                   QStringLiteral("NoNewPrivs")})));
    }
}

QString kindName(Prober::SocketKind kind)
{
    switch (kind) {
    case Prober::SocketKind::Datagram:
        return QStringLiteral("datagram");
    case Prober::SocketKind::Raw:
        return QStringLiteral("raw");
    case Prober::SocketKind::Helper:
        return QStringLiteral("helper");
    }
    return QStringLiteral("unknown");
}

void ping(PingEngine &engine, const QString &text)
{
    const HostAddress address(text);
    PingSettings settings;
    settings.count = 3;
    settings.intervalMs = 100;
    settings.timeout = 2000;
    RunState::Target target{text, QString(), address};

    QEventLoop loop;
    bool firstReply = true;
    const auto replied = QObject::connect(&engine, &PingEngine::replied, [&](const ProbeEvent &reply, qint64 rttNs) {
        say(QStringLiteral("reply %1 seq=%2 bytes=%3 ttl=%4 rtt_ns=%5 kernel_timestamp=%6")
                .arg(text)
                .arg(reply.sequence)
                .arg(reply.payload.size())
                .arg(reply.hopLimit)
                .arg(rttNs)
                .arg(reply.kernelTimestamp ? 1 : 0));
        if (std::exchange(firstReply, false)) {
            reportSelf();
            reportChildren();
        }
    });
    const auto timedOut = QObject::connect(&engine, &PingEngine::timedOut, [&](quint16 sequence) {
        say(QStringLiteral("timeout %1 seq=%2").arg(text).arg(sequence));
    });
    const auto failed = QObject::connect(&engine, &PingEngine::requestFailed, [&](const ProbeEvent &error) {
        say(QStringLiteral("failed %1 seq=%2").arg(text).arg(error.sequence));
    });
    const auto transmitFailed =
        QObject::connect(&engine, &PingEngine::transmitFailed, [&](quint16 sequence, int errnoValue) {
            say(QStringLiteral("transmit-failed %1 seq=%2 errno=%3").arg(text).arg(sequence).arg(errnoValue));
        });
    // A run whose helper could not serve ends with this alone, before it began.
    const auto proberFailed = QObject::connect(&engine, &PingEngine::proberFailed, [&](const QString &why) {
        say(QStringLiteral("error %1 %2").arg(text, why));
        if (!engine.isActive())
            loop.quit();
    });
    const auto finished = QObject::connect(&engine, &PingEngine::finished, &loop, &QEventLoop::quit);

    const std::optional<QString> error = engine.start(settings, target, Prober::Preference::Auto);
    if (error) {
        say(QStringLiteral("error %1 %2").arg(text, *error));
    } else {
        say(QStringLiteral("run %1 kind=%2").arg(text, kindName(engine.socketKind())));
        loop.exec();
    }
    for (const auto &connection : {replied, timedOut, failed, transmitFailed, proberFailed, finished})
        QObject::disconnect(connection);
    say(QStringLiteral("end %1").arg(text));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList addresses = app.arguments().mid(1);
    if (addresses.isEmpty()) {
        std::fputs("usage: tarvix_test_ping_driver ADDRESS...\n", stderr);
        return 2;
    }
    reportSelf();
    PingEngine engine;
    for (const QString &address : addresses)
        ping(engine, address);
    return 0;
}
