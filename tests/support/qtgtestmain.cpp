// Entry point of every test program: GUI tests need a QApplication, and
// without a display they run on the offscreen platform. The tests read the
// libraries' texts in English, whatever the machine's user reads, but for
// those that say which language they run in (TARVIX_TEST_LANGUAGE). Run without root, a
// test program first moves into a user namespace of its own, where the tests
// of the test network and of raw sockets can run too.
#include "usernamespace.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Before anything starts a thread.
    const QString unprivileged = UserNamespace::enterIfUnprivileged();
    if (!unprivileged.isEmpty())
        qInfo("running as an ordinary user (%s): tests that need root skip", qPrintable(unprivileged));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TARVIX_TEST_LANGUAGE")) {
        qputenv("LC_ALL", "C.UTF-8");
        qunsetenv("LANGUAGE");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
