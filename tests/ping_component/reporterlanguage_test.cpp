// A request's ICMP error is a line of the run and a message to a person at
// once: in the user's language (German, its catalogue installed here as the
// libraries install it) the error event and Pinger's errorText() translate
// it, while the run's lines (the surface's last line, the copied run,
// PingResult::line()) keep the English that programs parse.
#include "eventqueue.h"
#include "eventrecorder.h"
#include "fakeclock.h"
#include "fakenetwork.h"
#include "icmpmessage.h"
#include "pinger_p.h"
#include "pingengine.h"
#include "qtprinters.h"
#include "runreporter.h"
#include "runtranscript.h"

#include <QTranslator>

#include <gtest/gtest.h>

#include <memory>

using Tarvix::PingEvents;

namespace {

constexpr qint64 ms = FakeClock::Millisecond;

class GermanCatalogue
{
public:
    GermanCatalogue()
    {
        m_loaded = m_translator.load(QStringLiteral(":/tarvix/i18n/tarvix_ping_de.qm"));
        QCoreApplication::installTranslator(&m_translator);
    }
    ~GermanCatalogue() { QCoreApplication::removeTranslator(&m_translator); }
    bool loaded() const { return m_loaded; }

private:
    QTranslator m_translator;
    bool m_loaded = false;
};

void unreachable(FakeNetwork &network, FakeClock &clock)
{
    const FakeNetwork::Sent &request = network.sent().at(0);
    network.arrive(network.errorAbout(request, Icmp4::DestinationUnreachable, 1), request.at.monotonicNs + 3 * ms);
    QCoreApplication::processEvents();
    clock.advance(1000 * ms);
    EventRecorder::deliverQueued();
}

} // namespace

TEST(ReporterLanguage, AnIcmpErrorIsTranslatedInItsMessagesOnly)
{
    GermanCatalogue german;
    ASSERT_TRUE(german.loaded());
    const QString line = QStringLiteral("Reply from 192.0.2.254: Destination host unreachable.");
    const QString message = QStringLiteral("Antwort von 192.0.2.254: Zielhost nicht erreichbar.");

    FakeClock clock;
    FakeNetwork network{clock, IpFamily::IPv4};
    PingEngine engine(network.opener(), clock);
    PingEvents events;
    EventQueue queue(&events);
    RunReporter reporter(&engine, &queue);
    EventRecorder recorder(&events);
    QStringList surface;
    QObject::connect(&reporter, &RunReporter::lineReported, [&](const QString &shown) { surface << shown; });
    PingSettings settings;
    settings.count = 1;
    const RunState::Target target{QStringLiteral("192.0.2.7"), QString(), HostAddress(QStringLiteral("192.0.2.7"))};
    ASSERT_FALSE(engine.start(settings, target).has_value());
    ASSERT_EQ(network.sent().size(), 1);
    unreachable(network, clock);

    const auto errors = recorder.of(PingEvents::Id::OnPingError);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.first().text, message + QStringLiteral("\r\n"));
    EXPECT_EQ(surface, QStringList{line + QStringLiteral("\r\n")});
    ASSERT_NE(engine.run(), nullptr);
    EXPECT_TRUE(RunTranscript::text(*engine.run()).contains(line)) << qPrintable(RunTranscript::text(*engine.run()));

    FakeNetwork pingerNetwork{clock, IpFamily::IPv4};
    std::unique_ptr<Tarvix::Pinger> pinger{Tarvix::PingerPrivate::create(pingerNetwork.opener(), clock)};
    pinger->setCount(1);
    QList<Tarvix::PingResult> results;
    QObject::connect(pinger.get(), &Tarvix::Pinger::resultReady, [&](const Tarvix::PingResult &r) { results << r; });
    pinger->start(QStringLiteral("192.0.2.7"));
    for (int turn = 0; turn < 200 && pingerNetwork.sent().isEmpty() && pinger->isActive(); ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(pingerNetwork.sent().size(), 1);
    unreachable(pingerNetwork, clock);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results.first().errorText(), message);
    EXPECT_EQ(results.first().line(), line);
}
