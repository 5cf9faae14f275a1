#pragma once

#include "testnetwork.h"

#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// One of our programs on an X server of the test's own (Xvfb, no window
// manager), in the client namespace of a test network and without any
// capability, driven as a user and a window manager would: keys through
// xdotool (XTEST, to the window with the focus), a close request as the
// WM_DELETE_WINDOW message (tarvix_test_xwindow). The destructor ends the
// program and the server; both also die with the test process, so a crash
// leaves neither behind.
class DesktopSession
{
public:
    // Empty when Xvfb, xdotool and setpriv are there, otherwise a reason for
    // GTEST_SKIP().
    static QString unavailableReason();

    // Starts the X server; see ok().
    DesktopSession();
    ~DesktopSession();
    Q_DISABLE_COPY_MOVE(DesktopSession)

    // False once anything failed; error() says what failed first.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    // Starts program in network's client namespace, with no capabilities
    // (root's user id stays, so it can read the build tree) and the Qt
    // platform xcb; waits for its window to show and takes the focus to it.
    bool start(const TestNetwork &network, const QString &program);
    // xdotool key names, one press each: "Return", "ctrl+a", "Tab".
    bool key(const QStringList &keys);
    bool type(const QString &text);
    // A click of the left button at point (window coordinates).
    bool click(const QPoint &point);
    // A checksum of what the window shows in area (window coordinates); empty
    // on failure.
    QString checksum(const QRect &area);
    // Saves what the window shows as a PNG (ImageMagick's import).
    bool capture(const QString &path);
    // Asks the window to close, as a window manager would.
    bool requestClose();
    // Waits up to timeoutMs for the program to end; true if it ended on its
    // own with exit code 0.
    bool waitForCleanExit(int timeoutMs);
    bool isRunning() const;
    // What the program wrote on stdout and stderr so far.
    QString output() const;

private:
    TestNetwork::CommandResult xdotool(const QStringList &arguments, int timeoutMs = 10000);
    TestNetwork::CommandResult xwindow(const QStringList &arguments);
    void fail(const QString &what);

    QTemporaryDir m_logDirectory;
    QString m_display; // ":N"
    QString m_window;  // the program's window, as xdotool names it
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_program;
    QString m_error;
};
