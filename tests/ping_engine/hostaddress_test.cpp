#include "hostaddress.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

TEST(HostAddress, LiteralsRoundTripInTheirShortestForm)
{
    for (const char *text : {"127.0.0.1", "10.231.0.2", "0.0.0.0", "255.255.255.255", "::1", "::", "fd00:7a::2",
                             "2001:db8::1:0:0:1", "::ffff:192.0.2.1", "fe80::1%lo"}) {
        const HostAddress address{QString::fromLatin1(text)};
        EXPECT_FALSE(address.isNull()) << text;
        EXPECT_EQ(address.toString(), QString::fromLatin1(text));
    }
    // RFC 5952: lower case, the longest run of zeros compressed.
    EXPECT_EQ(HostAddress(QStringLiteral("2001:DB8:0:0:1:0:0:1")).toString(), QStringLiteral("2001:db8::1:0:0:1"));
}

TEST(HostAddress, AnythingButALiteralIsNull)
{
    for (const char *text : {"", "localhost", "127.1", "256.1.1.1", "1.2.3.4.5", "::1::2", "fe80::1%", "[::1]", " ::1"})
        EXPECT_TRUE(HostAddress(QString::fromLatin1(text)).isNull()) << text;
    EXPECT_EQ(HostAddress().toString(), QString());
    EXPECT_EQ(HostAddress().protocol(), IpFamily::Unknown);
}

TEST(HostAddress, BytesAndFamilies)
{
    const HostAddress v4(0x0a000102u);
    EXPECT_EQ(v4.protocol(), IpFamily::IPv4);
    EXPECT_EQ(v4.toString(), QStringLiteral("10.0.1.2"));
    EXPECT_EQ(v4, HostAddress(QStringLiteral("10.0.1.2")));
    EXPECT_TRUE(HostAddress(QStringLiteral("127.8.9.10")).isLoopback());
    EXPECT_FALSE(v4.isLoopback());

    const HostAddress v6(QStringLiteral("fd00::2"));
    EXPECT_EQ(v6.protocol(), IpFamily::IPv6);
    EXPECT_EQ(v6.toIPv6Address()[0], 0xfd);
    EXPECT_EQ(v6.toIPv6Address()[15], 0x02);
    EXPECT_EQ(v6.toIPv4Address(), 0u);
    EXPECT_EQ(HostAddress(v6.toIPv6Address()), v6);
    EXPECT_TRUE(HostAddress(QStringLiteral("::1")).isLoopback());
    // The IPv4-mapped form is an IPv6 address: no family mixing.
    EXPECT_NE(HostAddress(QStringLiteral("::ffff:10.0.1.2")), v4);
    // The zone belongs to the address.
    EXPECT_NE(HostAddress(QStringLiteral("fe80::1%lo")), HostAddress(QStringLiteral("fe80::1")));
    HostAddress zoned(QStringLiteral("fe80::1"));
    zoned.setScopeId(QStringLiteral("lo"));
    EXPECT_EQ(zoned, HostAddress(QStringLiteral("fe80::1%lo")));
}

TEST(HostAddress, FromSocketAddresses)
{
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(0x7f000001);
    HostAddress address = HostAddress::fromSockaddr(reinterpret_cast<const sockaddr *>(&in), sizeof in);
    ASSERT_FALSE(address.isNull());
    EXPECT_EQ(address, HostAddress(QStringLiteral("127.0.0.1")));

    sockaddr_in6 in6{};
    in6.sin6_family = AF_INET6;
    inet_pton(AF_INET6, "fe80::2", &in6.sin6_addr);
    in6.sin6_scope_id = if_nametoindex("lo");
    address = HostAddress::fromSockaddr(reinterpret_cast<const sockaddr *>(&in6), sizeof in6);
    ASSERT_FALSE(address.isNull());
    EXPECT_EQ(address.toString(), QStringLiteral("fe80::2%lo"));

    sockaddr unknown{};
    unknown.sa_family = AF_UNIX;
    address = HostAddress::fromSockaddr(&unknown, sizeof unknown);
    EXPECT_TRUE(address.isNull());
    // A length too short for the family's address is no address.
    EXPECT_TRUE(HostAddress::fromSockaddr(reinterpret_cast<const sockaddr *>(&in6), sizeof in6 - 1).isNull());
    EXPECT_TRUE(HostAddress::fromSockaddr(reinterpret_cast<const sockaddr *>(&in), sizeof in - 1).isNull());
    EXPECT_TRUE(HostAddress::fromSockaddr(nullptr, sizeof in).isNull());
}

TEST(HostAddress, ZonesFromInterfaceIndexes)
{
    const Ipv6Bytes bytes = HostAddress(QStringLiteral("fe80::2")).toIPv6Address();
    EXPECT_EQ(HostAddress(bytes.c, if_nametoindex("lo")).toString(), QStringLiteral("fe80::2%lo"));
    EXPECT_EQ(HostAddress(bytes.c, 0).toString(), QStringLiteral("fe80::2"));
    // An index that names no interface keeps its number.
    EXPECT_EQ(HostAddress(bytes.c, 999999).scopeId(), QStringLiteral("999999"));
}

TEST(HostAddress, PortsOfSocketAddresses)
{
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(0x1234);
    EXPECT_EQ(HostAddress::portOfSockaddr(reinterpret_cast<const sockaddr *>(&in), sizeof in), 0x1234);
    sockaddr_in6 in6{};
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(0xbeef);
    EXPECT_EQ(HostAddress::portOfSockaddr(reinterpret_cast<const sockaddr *>(&in6), sizeof in6), 0xbeef);

    // A length too short for the family's address has no port, nor has another family.
    EXPECT_EQ(HostAddress::portOfSockaddr(reinterpret_cast<const sockaddr *>(&in6), sizeof in6 - 1), 0);
    EXPECT_EQ(HostAddress::portOfSockaddr(reinterpret_cast<const sockaddr *>(&in), sizeof in - 1), 0);
    sockaddr unknown{};
    unknown.sa_family = AF_UNIX;
    unknown.sa_data[0] = 1;
    EXPECT_EQ(HostAddress::portOfSockaddr(&unknown, sizeof unknown), 0);
    EXPECT_EQ(HostAddress::portOfSockaddr(nullptr, sizeof in), 0);
}

TEST(HostAddress, ToSocketAddressesAndBack)
{
    for (const char *text : {"10.231.0.2", "::1", "fd00:7a::2", "fe80::2%lo", "fe80::2%1"}) {
        const HostAddress address{QString::fromLatin1(text)};
        sockaddr_storage storage;
        const socklen_t length = address.toSockaddr(storage);
        ASSERT_GT(length, 0u) << text;
        const HostAddress back = HostAddress::fromSockaddr(reinterpret_cast<const sockaddr *>(&storage), length);
        // The zone comes back by the interface's name.
        EXPECT_TRUE(back.matches(address)) << text;
        EXPECT_EQ(back.scopeIndex(), address.scopeIndex()) << text;
    }
    sockaddr_storage storage;
    const HostAddress zoned(QStringLiteral("fe80::2%lo"));
    ASSERT_EQ(zoned.toSockaddr(storage), socklen_t(sizeof(sockaddr_in6)));
    EXPECT_EQ(reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_scope_id, if_nametoindex("lo"));
    // Nothing to send to: no address, or a zone that names no interface.
    EXPECT_EQ(HostAddress().toSockaddr(storage), 0u);
    EXPECT_EQ(HostAddress(QStringLiteral("fe80::2%nosuchinterface0")).toSockaddr(storage), 0u);
}

TEST(HostAddress, MatchesIgnoresHowTheZoneIsNamed)
{
    const HostAddress byName(QStringLiteral("fe80::2%lo"));
    const HostAddress byNumber(QStringLiteral("fe80::2%1"));
    const HostAddress bare(QStringLiteral("fe80::2"));
    EXPECT_TRUE(byName.matches(byNumber));
    EXPECT_TRUE(byName.matches(bare));
    EXPECT_FALSE(byName.matches(HostAddress(QStringLiteral("fe80::3%lo"))));
    EXPECT_FALSE(HostAddress(QStringLiteral("10.0.0.1")).matches(HostAddress(QStringLiteral("::ffff:10.0.0.1"))));
    EXPECT_NE(byName, byNumber);
}

TEST(HostAddress, UserTextIsStrictButForgiving)
{
    EXPECT_EQ(HostAddress::fromUserText(QStringLiteral("127.0.0.1")), HostAddress(QStringLiteral("127.0.0.1")));
    EXPECT_EQ(HostAddress::fromUserText(QStringLiteral(" 10.1.2.3 ")), HostAddress(QStringLiteral("10.1.2.3")));
    EXPECT_EQ(HostAddress::fromUserText(QStringLiteral("::1")), HostAddress(QStringLiteral("::1")));
    EXPECT_EQ(HostAddress::fromUserText(QStringLiteral("[::1]")), HostAddress(QStringLiteral("::1")));
    const auto zoned = HostAddress::fromUserText(QStringLiteral("fe80::1%lo"));
    ASSERT_TRUE(zoned.has_value());
    EXPECT_EQ(zoned->scopeId(), QStringLiteral("lo"));

    // Forms the C library would read as some other address, and plain mistakes.
    for (const char *text : {"127.1", "0x7f.0.0.1", "0177.0.0.1", "256.1.1.1", "1.2.3.4.5", "999", "", "[::1",
                             "fe80::1%", "fe80::1%nosuchinterface0", "::1::2", "[127.0.0.1]"})
        EXPECT_FALSE(HostAddress::fromUserText(QString::fromLatin1(text)).has_value()) << text;
}
