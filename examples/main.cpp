// A window with a host box, Ping and Stop, and Tarvix::PingWidget showing the
// run as a chart; the run's lines go to a log below it.
//
//   tarvix-example [--count N] [HOST]
//
// With a host it pings at once, prints the run's lines, and exits when the run
// ends: 0 when it ran, 1 when the component reported an error.
#include <tarvix/pinger.h>
#include <tarvix/pingwidget.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>

#include <cstdio>

using Tarvix::Pinger;
using Tarvix::PingResult;
using Tarvix::PingWidget;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pings a host with the Tarvix ping component."));
    parser.addHelpOption();
    const QCommandLineOption countOption(QStringLiteral("count"), QStringLiteral("Echo requests per run."),
                                         QStringLiteral("N"), QStringLiteral("4"));
    parser.addOption(countOption);
    parser.addPositionalArgument(QStringLiteral("host"), QStringLiteral("Ping this host, print the run and exit."));
    parser.process(app);
    bool countOk = false;
    const int count = parser.value(countOption).toInt(&countOk);
    if (!countOk) {
        std::fprintf(stderr, "--count wants a whole number, not %s\n", qPrintable(parser.value(countOption)));
        return 2;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tarvix example"));
    auto *host = new QLineEdit(QStringLiteral("127.0.0.1"));
    host->setAccessibleName(QStringLiteral("Host"));
    auto *pingButton = new QPushButton(QStringLiteral("&Ping"));
    auto *stopButton = new QPushButton(QStringLiteral("&Stop"));
    auto *ping = new PingWidget;
    ping->setCount(count);
    Pinger *pinger = ping->pinger();
    auto *log = new QPlainTextEdit;
    log->setReadOnly(true);
    log->setAccessibleName(QStringLiteral("Log"));

    auto *row = new QHBoxLayout;
    row->addWidget(host);
    row->addWidget(pingButton);
    row->addWidget(stopButton);
    auto *layout = new QVBoxLayout(&window);
    layout->addLayout(row);
    layout->addWidget(ping);
    layout->addWidget(log);

    QObject::connect(pingButton, &QPushButton::clicked, ping, [=] { ping->ping(host->text()); });
    QObject::connect(stopButton, &QPushButton::clicked, ping, &PingWidget::stop);
    QObject::connect(ping, &PingWidget::activeChanged, stopButton, &QPushButton::setEnabled);
    stopButton->setEnabled(false);
    QObject::connect(pinger, &Pinger::resultReady, log,
                     [=](const PingResult &result) { log->appendPlainText(result.line()); });
    QObject::connect(pinger, &Pinger::errorOccurred, log,
                     [=] { log->appendPlainText(QStringLiteral("error: ") + pinger->errorString()); });
    window.show();

    const QStringList hosts = parser.positionalArguments();
    if (hosts.isEmpty())
        return app.exec();

    // Unattended: print the run and stop with it.
    QObject::connect(pinger, &Pinger::resultReady,
                     [](const PingResult &result) { QTextStream(stdout) << result.line() << Qt::endl; });
    QObject::connect(pinger, &Pinger::finished, [pinger] {
        const Tarvix::PingStatistics statistics = pinger->statistics();
        QTextStream(stdout) << statistics.sent() << " packets transmitted, " << statistics.received()
                            << " received, " << qRound(statistics.loss() * 100) << "% packet loss" << Qt::endl;
        if (pinger->error() != Pinger::NoError)
            QTextStream(stderr) << "error: " << pinger->errorString() << Qt::endl;
        QCoreApplication::exit(pinger->error() == Pinger::NoError ? 0 : 1);
    });
    host->setText(hosts.first());
    ping->ping(hosts.first());
    return app.exec();
}
