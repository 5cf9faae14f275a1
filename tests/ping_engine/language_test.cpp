// The engine's library in the user's language, linked as its users link it:
// what tells a person why something failed is translated, the lines of a run
// are not. Registered once with LANG=de_DE.UTF-8 and once with LANG=C
// (TARVIX_TEST_LANGUAGE says which); Qt reads LANG itself, so no locale of
// the C library needs to be generated for it.
#include "icmpmessage.h"
#include "pingtext.h"
#include "probeevent.h"
#include "qtprinters.h"

#include <tarvix/pinger.h>

#include <QFile>
#include <QLocale>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

bool german()
{
    return qEnvironmentVariable("TARVIX_TEST_LANGUAGE") == QLatin1String("de");
}

// Why a Pinger with these settings does not start.
QString refusal(int count, int timeout)
{
    Tarvix::Pinger pinger;
    pinger.setCount(count);
    pinger.setTimeout(timeout);
    QSignalSpy finished(&pinger, &Tarvix::Pinger::finished);
    pinger.start(QStringLiteral("127.0.0.1"));
    if (finished.isEmpty() && !finished.wait(5000))
        return QStringLiteral("(no end)");
    EXPECT_EQ(pinger.error(), Tarvix::Pinger::InvalidSetting);
    return pinger.errorString();
}

} // namespace

TEST(EngineLanguage, MessagesInTheUserLanguageAndLinesInEnglish)
{
    ASSERT_EQ(QLocale::system().language(), german() ? QLocale::German : QLocale::C);
    // In the shared library itself: this program links nothing else of ours.
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/tarvix/i18n/tarvix_ping_de.qm")));

    ProbeEvent error;
    error.kind = ProbeEvent::Kind::IcmpError;
    error.source = HostAddress(QStringLiteral("192.0.2.1"));
    error.icmpType = Icmp4::DestinationUnreachable;
    error.icmpCode = 1;
    const QString line = QStringLiteral("Reply from 192.0.2.1: Destination host unreachable.\r\n");
    EXPECT_EQ(PingText::probeError(error, IpFamily::IPv4, PingText::Wording::Line), line);
    EXPECT_EQ(PingText::probeError(error, IpFamily::IPv4, PingText::Wording::Message),
              german() ? QStringLiteral("Antwort von 192.0.2.1: Zielhost nicht erreichbar.\r\n") : line);
    // The system's error text too stays English in a line.
    EXPECT_EQ(PingText::transmitFailed(3, ENETUNREACH, PingText::Wording::Line),
              QStringLiteral("PING: transmit failed for icmp_seq=3. Network is unreachable.\r\n"));

    EXPECT_EQ(refusal(0, 1000),
              german() ? QStringLiteral("Ungültiger Wert für die Option Count: 0. Gültig ist von 1 bis 2147483647 "
                                        "(oder ununterbrochen pingen).")
                       : QStringLiteral("Bad value for option Count: 0. Valid range is from 1 to 2147483647 "
                                        "(or ping continuously)."));
    // A counted unit in its plural form.
    EXPECT_EQ(refusal(1, 0),
              german() ? QStringLiteral("Ungültiger Wert für die Option Timeout: 0. Gültig ist von 1 bis 2147483647 "
                                        "Millisekunden.")
                       : QStringLiteral("Bad value for option Timeout: 0. Valid range is from 1 to 2147483647 "
                                        "milliseconds."));
}
