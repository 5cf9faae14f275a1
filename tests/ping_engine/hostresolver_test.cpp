#include "gatedlookup.h"
#include "hostresolver.h"
#include "onceblocked.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using Status = HostResolver::Result::Status;
using namespace std::chrono_literals;

TEST(HostResolver, OnlyPlausibleNamesGoToTheResolver)
{
    for (const char *name : {"localhost", "dns.google", "a-b.example.", "_sip._udp.example", "xn--bcher-kva.example"})
        EXPECT_TRUE(HostResolver::isPlausibleName(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(HostResolver::isPlausibleName(QStringLiteral("bücher.example")));

    const QString longLabel = QString(64, QLatin1Char('a')) + QStringLiteral(".example");
    const QString longName = QString(250, QLatin1Char('a')) + QStringLiteral(".com");
    for (const QString &name : {QStringLiteral("999"), QStringLiteral("256.1.1.1"), QStringLiteral("my host"),
                                QStringLiteral("a..b"), QStringLiteral(""), QStringLiteral("."), longLabel, longName,
                                QStringLiteral("host/path"), QStringLiteral("user@host"), QStringLiteral("-\n")})
        EXPECT_FALSE(HostResolver::isPlausibleName(name)) << name.toStdString();
}

TEST(HostResolver, ResolvesFromTheHostsFileWithoutDns)
{
    // Both names live in /etc/hosts on every Debian system.
    const HostResolver::Result byName = HostResolver::resolveBlocking(QStringLiteral(" localhost "), false);
    ASSERT_EQ(byName.status, Status::Resolved);
    EXPECT_TRUE(byName.address.isLoopback());
    EXPECT_EQ(byName.hostName, QStringLiteral("localhost")); // as typed, without the blanks

    const HostResolver::Result literal = HostResolver::resolveBlocking(QStringLiteral("127.0.0.1"), false);
    ASSERT_EQ(literal.status, Status::Resolved);
    EXPECT_TRUE(literal.hostName.isEmpty());

    const HostResolver::Result reverse = HostResolver::resolveBlocking(QStringLiteral("127.0.0.1"), true);
    ASSERT_EQ(reverse.status, Status::Resolved);
    EXPECT_FALSE(reverse.hostName.isEmpty());
}

TEST(HostResolver, MistakesFailAtOnce)
{
    EXPECT_EQ(HostResolver::resolveBlocking(QStringLiteral("   "), false).status, Status::NoHost);
    for (const char *text : {"256.1.1.1", "my host", "1.2.3.4.5", "127.1 x"}) {
        const HostResolver::Result result = HostResolver::resolveBlocking(QString::fromLatin1(text), false);
        EXPECT_EQ(result.status, Status::NotFound) << text;
        EXPECT_TRUE(result.address.isNull());
    }
    // What other tools read as an address, in the C library's old forms, is
    // neither an address nor a name here: the answer says which address
    // they would have pinged.
    const struct
    {
        const char *text;
        const char *address;
    } shorthands[] = {{"127.1", "127.0.0.1"}, {"2130706433", "127.0.0.1"}, {"0x7f.0.0.1", "127.0.0.1"},
                      {" 010.0.0.1 ", "8.0.0.1"}, {"999", "0.0.3.231"}};
    for (const auto &shorthand : shorthands) {
        const HostResolver::Result result = HostResolver::resolveBlocking(QString::fromLatin1(shorthand.text), false);
        EXPECT_EQ(result.status, Status::Shorthand) << shorthand.text;
        EXPECT_EQ(result.address, HostAddress(QString::fromLatin1(shorthand.address))) << shorthand.text;
    }
}

TEST(HostResolver, TheWorkerPathGivesTheSameAnswer)
{
    // A name needs the resolver, so this goes through the worker thread and
    // the local event loop.
    HostResolver resolver;
    const HostResolver::Result result = resolver.resolve(QStringLiteral("localhost"), false);
    ASSERT_EQ(result.status, Status::Resolved);
    EXPECT_TRUE(result.address.isLoopback());
}

TEST(HostResolver, ASlowLookupKeepsTimersAndPaintingGoing)
{
    // A lookup that takes half a second, as a slow DNS server would.
    const auto slowLookup = [](const QString &host, bool) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        HostResolver::Result result;
        result.status = HostResolver::Result::Status::Resolved;
        result.host = host;
        result.address = HostAddress(QStringLiteral("192.0.2.1"));
        result.hostName = host;
        return result;
    };
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    HostResolver resolver(slowLookup);
    const HostResolver::Result result = resolver.resolve(QStringLiteral("slow.example"), false);
    EXPECT_EQ(result.status, Status::Resolved);
    EXPECT_EQ(result.hostName, QStringLiteral("slow.example"));
    EXPECT_GE(ticks, 5) << "timers stood still during the lookup";
}

TEST(HostResolver, CancelEndsTheWaitAtOnceAndTheLateAnswerGoesNowhere)
{
    GatedLookup gate(GatedLookup::resolvedTo(QStringLiteral("hang.example"), "192.0.2.1"));
    HostResolver resolver(gate.lookup());
    const OnceBlocked cancel(gate, [&] { resolver.cancel(); });
    const HostResolver::Result result = resolver.resolve(QStringLiteral(" hang.example "), false);
    EXPECT_TRUE(cancel.done());
    EXPECT_EQ(gate.returned(), 0) << "the wait lasted until the lookup ended";
    EXPECT_EQ(result.status, Status::Cancelled);
    EXPECT_EQ(result.host, QStringLiteral("hang.example"));
    EXPECT_TRUE(result.address.isNull());

    // The worker finishes later; its answer is dropped, and the resolver
    // serves the next lookup as usual.
    gate.open();
    ASSERT_TRUE(gate.waitUntilReturned(5s));
    QCoreApplication::processEvents();
    resolver.setLookup([](const QString &host, bool) { return GatedLookup::resolvedTo(host, "192.0.2.2"); });
    const HostResolver::Result next = resolver.resolve(QStringLiteral("next.example"), false);
    ASSERT_EQ(next.status, Status::Resolved);
    EXPECT_EQ(next.address, HostAddress(QStringLiteral("192.0.2.2")));
}

TEST(HostResolver, DestroyingTheResolverDuringTheWaitEndsIt)
{
    GatedLookup gate(GatedLookup::resolvedTo(QStringLiteral("hang.example"), "192.0.2.1"));
    auto resolver = std::make_unique<HostResolver>(gate.lookup());
    HostResolver *const waiting = resolver.get();
    const OnceBlocked destroy(gate, [&] { resolver.reset(); });
    const HostResolver::Result result = waiting->resolve(QStringLiteral("hang.example"), false);
    EXPECT_TRUE(destroy.done());
    EXPECT_EQ(gate.returned(), 0) << "the wait lasted until the lookup ended";
    EXPECT_EQ(result.status, Status::Cancelled);
    gate.open();
    ASSERT_TRUE(gate.waitUntilReturned(5s));
    QCoreApplication::processEvents();
}

TEST(HostResolver, AWaitStartedDuringACancelledOneReturnsFirst)
{
    // What a second Ping during a lookup does: cancel, then resolve anew from
    // inside the first wait.
    GatedLookup gate(GatedLookup::resolvedTo(QStringLiteral("first.example"), "192.0.2.1"));
    HostResolver resolver(gate.lookup());
    QStringList order;
    const OnceBlocked second(gate, [&] {
        resolver.cancel();
        resolver.setLookup([](const QString &host, bool) { return GatedLookup::resolvedTo(host, "192.0.2.2"); });
        const HostResolver::Result inner = resolver.resolve(QStringLiteral("second.example"), false);
        order << QStringLiteral("second %1").arg(inner.status == Status::Resolved ? inner.address.toString()
                                                                                  : QStringLiteral("unresolved"));
    });
    const HostResolver::Result outer = resolver.resolve(QStringLiteral("first.example"), false);
    order << QStringLiteral("first %1").arg(outer.status == Status::Cancelled ? QStringLiteral("cancelled")
                                                                               : QStringLiteral("not cancelled"));
    EXPECT_EQ(gate.returned(), 0) << "the first wait lasted until its lookup ended";
    EXPECT_EQ(order, QStringList({QStringLiteral("second 192.0.2.2"), QStringLiteral("first cancelled")}));

    // A cancel now finds nothing left to end.
    resolver.cancel();
    gate.open();
    ASSERT_TRUE(gate.waitUntilReturned(5s));
}

TEST(HostResolver, CancelEndsOnlyThisResolversWaits)
{
    GatedLookup first(GatedLookup::resolvedTo(QStringLiteral("hang.example"), "192.0.2.1"));
    GatedLookup second(GatedLookup::resolvedTo(QStringLiteral("other.example"), "192.0.2.3"));
    HostResolver hanging(first.lookup());
    HostResolver other(second.lookup());
    // Inside the first wait another resolver waits, and the first is
    // cancelled from inside that: the other wait goes on to its answer.
    HostResolver::Result fromOther;
    const OnceBlocked startOther(first, [&] { fromOther = other.resolve(QStringLiteral("other.example"), false); });
    const OnceBlocked cancelFirst(second, [&] {
        hanging.cancel();
        second.open();
    });
    const HostResolver::Result result = hanging.resolve(QStringLiteral("hang.example"), false);
    EXPECT_TRUE(cancelFirst.done());
    EXPECT_EQ(fromOther.status, Status::Resolved) << "cancelling one resolver ended another's wait";
    EXPECT_EQ(result.status, Status::Cancelled);

    // Literals need no wait and no worker.
    const HostResolver::Result literal = hanging.resolve(QStringLiteral("192.0.2.9"), false);
    ASSERT_EQ(literal.status, Status::Resolved);
    EXPECT_EQ(first.entered(), 1);
    first.open();
    ASSERT_TRUE(first.waitUntilReturned(5s));
    ASSERT_TRUE(second.waitUntilReturned(5s));
}
