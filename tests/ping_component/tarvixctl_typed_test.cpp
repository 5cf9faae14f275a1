// The control's typed Qt interface over the same dispatch as the contract: one
// value seen both ways, the same refusals, and NOTIFY signals that follow a run.
#include "fakeclock.h"
#include "fakenetwork.h"
#include "qtprinters.h"
#include "savedstate.h"
#include "tarvixctl.h"

#include <tarvix/tarvixctlfactory.h>

#include <QCoreApplication>
#include <QMetaProperty>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using Tarvix::DispId;
using Tarvix::DispKind;
using Tarvix::DispResult;
using Tarvix::DispValue;
using Tarvix::PingControl;
using Tarvix::PingEvents;

namespace {

constexpr qint64 s = FakeClock::Second;
constexpr qint64 ms = FakeClock::Millisecond;
const QString Host = QStringLiteral("192.0.2.7");

class TarvixCtlTypedTest : public ::testing::Test
{
protected:
    TarvixCtlTypedTest() : m_ctl(std::make_unique<TarvixCtl>(network.opener(), clock)), widget(m_ctl.get()) {}

    DispResult put(DispId id, const DispValue &v) { return m_ctl->invoke(qint32(id), DispKind::PropertyPut, {v}); }
    DispValue get(DispId id) { return m_ctl->invoke(qint32(id), DispKind::PropertyGet).value(); }
    static void processEvents()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    FakeClock clock;
    FakeNetwork network{clock, IpFamily::IPv4};
    std::unique_ptr<TarvixCtl> m_ctl;
    TarvixCtl *widget;
};

} // namespace

TEST_F(TarvixCtlTypedTest, PropertiesAreTheContractsSettings)
{
    const QMetaObject *meta = widget->metaObject();
    for (const char *name : {"packetSize", "timeToLive", "timeout", "continuous", "count", "resolveAddresses"}) {
        const QMetaProperty property = meta->property(meta->indexOfProperty(name));
        ASSERT_TRUE(property.isValid()) << name;
        EXPECT_TRUE(property.isWritable()) << name;
    }
    for (const char *name : {"active", "hostName", "ipAddress"}) {
        const QMetaProperty property = meta->property(meta->indexOfProperty(name));
        ASSERT_TRUE(property.isValid()) << name;
        EXPECT_FALSE(property.isWritable()) << name;
        EXPECT_TRUE(property.hasNotifySignal()) << name;
    }

    // Written through the property, read through the contract...
    EXPECT_TRUE(widget->setProperty("packetSize", 512));
    EXPECT_TRUE(widget->setProperty("timeToLive", 9));
    EXPECT_TRUE(widget->setProperty("timeout", 250));
    EXPECT_TRUE(widget->setProperty("count", 7));
    EXPECT_TRUE(widget->setProperty("continuous", true));
    EXPECT_TRUE(widget->setProperty("resolveAddresses", true));
    EXPECT_EQ(get(DispId::PacketSize), DispValue(512));
    EXPECT_EQ(get(DispId::TimeToLive), DispValue(9));
    EXPECT_EQ(get(DispId::Timeout), DispValue(250));
    EXPECT_EQ(get(DispId::Count), DispValue(7));
    EXPECT_EQ(get(DispId::Continuous), DispValue(1));
    EXPECT_EQ(get(DispId::ResolveAddresses), DispValue(1));

    // ...and the other way; any non-zero check-box state reads as true.
    ASSERT_TRUE(put(DispId::PacketSize, 0).ok());
    ASSERT_TRUE(put(DispId::Count, 1).ok());
    ASSERT_TRUE(put(DispId::Continuous, 2).ok());
    ASSERT_TRUE(put(DispId::ResolveAddresses, 0).ok());
    EXPECT_EQ(widget->property("packetSize"), QVariant(0));
    EXPECT_EQ(widget->count(), 1);
    EXPECT_TRUE(widget->isContinuous());
    EXPECT_FALSE(widget->property("resolveAddresses").toBool());

    // What the property system cannot convert, and the read-only ones, are refused.
    EXPECT_FALSE(widget->setProperty("count", QStringLiteral("many")));
    EXPECT_FALSE(widget->setProperty("hostName", QStringLiteral("example.org")));
    EXPECT_FALSE(widget->setProperty("active", true));
    EXPECT_EQ(get(DispId::Count), DispValue(1));
    EXPECT_EQ(get(DispId::HostName), DispValue(QString()));

    // The component that the factory makes has this interface too.
    std::unique_ptr<PingControl> created(Tarvix::tarvixCtlFactory()(nullptr));
    ASSERT_NE(created->widget(), nullptr);
    EXPECT_STREQ(created->widget()->metaObject()->className(), "TarvixCtl");
}

TEST_F(TarvixCtlTypedTest, ABadSettingIsRefusedAsThroughTheContract)
{
    // The contract's own refusal, on a second control.
    TarvixCtl viaContract(network.opener(), clock);
    QSignalSpy contractErrors(viaContract.events(), &PingEvents::OnPingError);
    viaContract.invoke(qint32(DispId::PacketSize), DispKind::PropertyPut, {70000});
    viaContract.invoke(qint32(DispId::Ping), DispKind::Method, {Host});

    QSignalSpy errors(widget, &TarvixCtl::pingError);
    QSignalSpy contractSide(m_ctl->events(), &PingEvents::OnPingError);
    QSignalSpy active(widget, &TarvixCtl::activeChanged);
    widget->setPacketSize(70000);
    widget->ping(Host);
    processEvents();

    ASSERT_EQ(contractErrors.size(), 1);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], contractErrors[0]);
    EXPECT_TRUE(errors[0][0].toString().contains(QStringLiteral("PacketSize: 70000")))
        << qPrintable(errors[0][0].toString());
    // The event reaches hosts of the contract as well, and no run started.
    EXPECT_EQ(contractSide.size(), 1);
    EXPECT_TRUE(active.isEmpty());
    EXPECT_TRUE(network.sent().isEmpty());
}

TEST_F(TarvixCtlTypedTest, NotifySignalsAndEventSignalsFollowARun)
{
    QSignalSpy active(widget, &TarvixCtl::activeChanged);
    QSignalSpy address(widget, &TarvixCtl::ipAddressChanged);
    QSignalSpy name(widget, &TarvixCtl::hostNameChanged);
    QSignalSpy pinged(widget, &TarvixCtl::pinged);
    QSignalSpy lines(widget, &TarvixCtl::pingLine);

    widget->setCount(2);
    widget->ping(Host);
    ASSERT_EQ(active.size(), 1);
    EXPECT_EQ(active[0][0], QVariant(true));
    EXPECT_TRUE(widget->property("active").toBool());
    ASSERT_EQ(address.size(), 1);
    EXPECT_EQ(address[0][0], QVariant(Host));
    EXPECT_EQ(widget->ipAddress(), Host);

    for (int n = 0; n < 2; ++n) {
        const FakeNetwork::Sent &request = network.sent().at(n);
        network.arrive(network.replyTo(request), request.at.monotonicNs + 20 * ms);
        clock.advance(1 * s);
        processEvents();
    }
    ASSERT_EQ(active.size(), 2);
    EXPECT_EQ(active[1][0], QVariant(false));
    EXPECT_FALSE(widget->isActive());
    ASSERT_EQ(pinged.size(), 2);
    EXPECT_EQ(pinged[0], QVariantList({Host, 32, 20, 57}));
    // The header, two replies and the statistics.
    EXPECT_EQ(lines.size(), 4);
    // The address did not change again, and a literal address has no name to tell.
    EXPECT_EQ(address.size(), 1);
    EXPECT_TRUE(name.isEmpty());

    // A continuous run ends with stop(), and the saved state's host name is told.
    widget->setContinuous(true);
    widget->ping(Host);
    ASSERT_EQ(active.size(), 3);
    widget->stop();
    ASSERT_EQ(active.size(), 4);
    EXPECT_EQ(active[3][0], QVariant(false));
    SavedState state;
    state.hostName = QStringLiteral("saved.example");
    ASSERT_TRUE(m_ctl->loadState(state.encode()));
    ASSERT_EQ(name.size(), 1);
    EXPECT_EQ(name[0][0], QVariant(QStringLiteral("saved.example")));
}
