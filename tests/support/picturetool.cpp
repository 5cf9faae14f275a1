// Takes the README's picture of TarvixS after a long run with losses, with
// the readout of one request (of the program given: TarvixS's form pinging
// until stopped, tests/simple_sample/picturehost.cpp): on a display and a
// test network of its own,
// against the namespace host, whose responder answers in 20 ms and leaves
// every seventh request unanswered.
//
//   tarvix_test_picture PROGRAM OUTPUT.png [SECONDS]
//
// The run lasts SECONDS (default 150), one request a second; then the keys
// take the focus to the component and its cursor three requests back.
#include "desktopsession.h"
#include "testnetwork.h"
#include "usernamespace.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    const QString unprivileged = UserNamespace::enterIfUnprivileged();
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: tarvix_test_picture TARVIXS_PROGRAM OUTPUT.png [SECONDS]\n");
        return 2;
    }
    const int seconds = arguments.size() > 3 ? arguments[3].toInt() : 150;
    const auto failWith = [](const QString &why) {
        std::fprintf(stderr, "tarvix_test_picture: %s\n", qPrintable(why));
        return 1;
    };
    if (const QString why = TestNetwork::unavailableReason(); !why.isEmpty())
        return failWith(why);
    if (const QString why = DesktopSession::unavailableReason(); !why.isEmpty())
        return failWith(why);

    TestNetwork network;
    if (!network.ok())
        return failWith(network.error());
    // The program holds no capability: it pings over the datagram socket,
    // which the client namespace allows every group.
    if (!network.setPingGroupRange(0, 2147483647))
        return failWith(network.error());
    ResponderOptions options;
    options.delayMs = 20;
    options.drop = QStringLiteral("every:7");
    if (!network.startResponder(options))
        return failWith(network.error());
    DesktopSession session;
    if (!session.start(network, arguments[1]))
        return failWith(session.error());
    // The host box has the focus; Enter presses Ping.
    session.key({QStringLiteral("ctrl+a")});
    session.type(TestNetwork::hostAddress(IpFamily::IPv4).toString());
    session.key({QStringLiteral("Return")});
    for (int i = 0; i < seconds * 10 && session.isRunning(); ++i)
        QThread::msleep(100);
    // Tab: Ping, then the component; Left three times: the third newest request.
    session.key({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Left"), QStringLiteral("Left"),
                 QStringLiteral("Left")});
    QThread::msleep(500);
    if (!session.capture(arguments[2]))
        return failWith(session.error());
    std::printf("%s\n", qPrintable(arguments[2]));
    return 0;
}
