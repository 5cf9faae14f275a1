#include <tarvix/dispid.h>
#include <tarvix/dispresult.h>
#include <tarvix/pingcontrolproxy.h>

#include <gtest/gtest.h>

using Tarvix::DispId;
using Tarvix::dispIdName;
using Tarvix::DispKind;
using Tarvix::DispResult;
using Tarvix::DispValue;
using Tarvix::PingControlProxy;
using Tarvix::toDispId;

TEST(DispId, NamesEveryMemberAndOnlyThose)
{
    EXPECT_EQ(dispIdName(1), QStringLiteral("Ping"));
    EXPECT_EQ(dispIdName(6), QStringLiteral("Active"));
    EXPECT_EQ(dispIdName(10), QStringLiteral("IpAddress"));
    EXPECT_TRUE(dispIdName(0).isEmpty());
    EXPECT_TRUE(dispIdName(11).isEmpty());
    EXPECT_EQ(toDispId(9), DispId::ResolveAddresses);
    EXPECT_FALSE(toDispId(-1).has_value());
}

TEST(DispResult, ErrorsCarryCodeAndReadableMessage)
{
    const DispResult unknown = DispResult::unknownMember(42);
    EXPECT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.error(), DispResult::Error::UnknownMember);
    EXPECT_TRUE(unknown.message().contains(QStringLiteral("42")));

    const DispResult mismatch =
        DispResult::typeMismatch(qint32(DispId::Count), DispValue::Kind::Int32, DispValue(QStringLiteral("4")));
    EXPECT_EQ(mismatch.error(), DispResult::Error::TypeMismatch);
    EXPECT_TRUE(mismatch.message().contains(QStringLiteral("Count")));
    EXPECT_TRUE(mismatch.message().contains(QStringLiteral("\"4\"")));

    const DispResult access = DispResult::wrongAccess(qint32(DispId::HostName), DispKind::PropertyPut);
    EXPECT_EQ(access.error(), DispResult::Error::WrongAccess);
    EXPECT_TRUE(access.message().contains(QStringLiteral("HostName")));
}

TEST(DispResult, SuccessCarriesValue)
{
    const DispResult result = DispResult::success(DispValue(3));
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.value(), DispValue(3));
    EXPECT_TRUE(result.message().isEmpty());
}

TEST(PingControlProxy, WithoutControlEveryCallFailsCleanly)
{
    const PingControlProxy proxy;
    EXPECT_EQ(proxy.ping(QStringLiteral("::1")).error(), DispResult::Error::Failed);
    EXPECT_EQ(proxy.active().error(), DispResult::Error::Failed);
    EXPECT_EQ(proxy.setCount(4).error(), DispResult::Error::Failed);
}
