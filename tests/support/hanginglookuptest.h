#pragma once

#include "desktopsession.h"
#include "formdefinition.h"
#include "testnetwork.h"

#include <QRect>
#include <QString>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// What the tests of our programs during a hanging name lookup share: a test
// network whose client asks the host for names, where a name server reads the
// queries and never answers (the responder's DNS sink), the responder
// answering echo requests, and a display on which the program runs in the
// client namespace. Skips without root (namespaces) or without the X tools.
class HangingLookupTest : public ::testing::Test
{
protected:
    // What the client's resolver waits for an answer before it gives up.
    static constexpr int ResolverTimeoutSeconds = 30;
    // Well within that: a close or a Stop that had to wait for the lookup
    // to end cannot pass as prompt.
    static constexpr int PromptMs = 10000;

    // A name that only the name server could know (never in /etc/hosts, not
    // an address), so the lookup goes to DNS and hangs there.
    static QString hangingName() { return QStringLiteral("hang.tarvix.test"); }

    void SetUp() override;
    void TearDown() override;

    TestNetwork &network() { return *m_network; }
    DesktopSession &desktop() { return *m_desktop; }

    // Starts program, whose window shows form.
    void startProgram(const QString &program, const FormDefinition &form);
    // Where a control of that form sits in the window, in pixels.
    QRect controlArea(const QString &control) const;
    // Replaces the text of the host box that has the focus by host and
    // presses Enter, which presses Ping, the default button.
    void enterHost(const QString &host);
    // enterHost(hangingName()), then waits for the name server to have the query.
    void pingHangingName();
    // Asks the window to close and waits, up to beyond the resolver's
    // time-out, for the program to end cleanly; fails unless it did within
    // PromptMs. Prints and records how long it took.
    void closeAndExpectAPromptExit();

    // Polls the responder's log until condition holds for it or timeoutMs pass.
    bool waitForLog(const std::function<bool(const QString &)> &condition, int timeoutMs);

private:
    std::unique_ptr<TestNetwork> m_network;
    std::unique_ptr<DesktopSession> m_desktop;
    QString m_program;
    std::unique_ptr<FormDefinition> m_form;
};
