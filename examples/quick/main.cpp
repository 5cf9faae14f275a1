// A QML window with a host field, Ping and Stop, and the Tarvix chart of the
// run (main.qml); all of it is QML but this start.
//
//   tarvix-quick-example [--count N] [HOST]
//
// With a host it pings at once, prints the run's lines, and exits when the run
// ends: 0 when it ran, 1 when the Pinger reported an error.
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QUrl>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pings a host with the Tarvix QML module."));
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

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral(TARVIX_QML_IMPORT_DIR));
    engine.setInitialProperties({
        {QStringLiteral("count"), count},
        {QStringLiteral("host"), parser.positionalArguments().value(0)},
    });
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app, [] { QCoreApplication::exit(2); },
                     Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/TarvixQuickExample/main.qml")));
    return app.exec();
}
