#include "hostresolver.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using Status = HostResolver::Result::Status;

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
    for (const char *text : {"999", "256.1.1.1", "my host", "127.1"}) {
        const HostResolver::Result result = HostResolver::resolveBlocking(QString::fromLatin1(text), false);
        EXPECT_EQ(result.status, Status::NotFound) << text;
        EXPECT_TRUE(result.address.isNull());
    }
}

TEST(HostResolver, TheWorkerPathGivesTheSameAnswer)
{
    // A name needs the resolver, so this goes through the worker thread and
    // the local event loop.
    const HostResolver::Result result = HostResolver::resolve(QStringLiteral("localhost"), false);
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
    const HostResolver::Result result = HostResolver::resolve(QStringLiteral("slow.example"), false, slowLookup);
    EXPECT_EQ(result.status, Status::Resolved);
    EXPECT_EQ(result.hostName, QStringLiteral("slow.example"));
    EXPECT_GE(ticks, 5) << "timers stood still during the lookup";
}
