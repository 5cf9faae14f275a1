// A window with a host box, a Ping button and the Tarvix ping component,
// driven through its typed Qt interface.
//
//   tarvix-example [--count N] [HOST]
//
// With a host it pings at once, prints the run's lines, and exits when the run
// ends: 0 when it ran, 1 when the component reported an error.
#include <tarvix/tarvixwidget.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

using Tarvix::TarvixWidget;

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
    auto *ping = TarvixWidget::create();
    ping->setMinimumSize(240, 120);
    ping->setCount(count);
    auto *log = new QPlainTextEdit;
    log->setReadOnly(true);
    log->setAccessibleName(QStringLiteral("Log"));

    auto *row = new QHBoxLayout;
    row->addWidget(host);
    row->addWidget(pingButton);
    auto *layout = new QVBoxLayout(&window);
    layout->addLayout(row);
    layout->addWidget(ping);
    layout->addWidget(log);

    QObject::connect(pingButton, &QPushButton::clicked, ping, [=] { ping->ping(host->text()); });
    QObject::connect(ping, &TarvixWidget::pingLine, log, [=](const QString &line) {
        log->appendPlainText(line.trimmed());
    });
    QObject::connect(ping, &TarvixWidget::pingError, log, [=](const QString &text, int code) {
        log->appendPlainText(QStringLiteral("error %1: %2").arg(code).arg(text));
    });
    window.show();

    const QStringList hosts = parser.positionalArguments();
    if (hosts.isEmpty())
        return app.exec();

    // Unattended: print what the component says and stop with the run.
    int status = 0;
    QObject::connect(ping, &TarvixWidget::pingLine, [](const QString &line) {
        QTextStream(stdout) << line.trimmed() << Qt::endl;
    });
    QObject::connect(ping, &TarvixWidget::pingError, [&status](const QString &text, int code) {
        QTextStream(stderr) << "error " << code << ": " << text << Qt::endl;
        status = 1;
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });
    QObject::connect(ping, &TarvixWidget::activeChanged, [](bool active) {
        if (!active)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });
    host->setText(hosts.first());
    QTimer::singleShot(0, ping, [=] { ping->ping(hosts.first()); });
    const int exitCode = app.exec();
    // The run's last lines may still be queued behind its end.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return exitCode != 0 ? exitCode : status;
}
