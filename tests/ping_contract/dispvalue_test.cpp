#include <tarvix/dispvalue.h>

#include <gtest/gtest.h>

using Tarvix::DispValue;

TEST(DispValue, KeepsItsKindAndRefusesToPretend)
{
    const DispValue empty;
    const DispValue number(-7);
    const DispValue text(QStringLiteral("host"));

    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(number.isInt32());
    EXPECT_TRUE(text.isText());

    EXPECT_EQ(number.toInt32(), -7);
    EXPECT_EQ(text.toText(), QStringLiteral("host"));
    // No silent conversion between kinds: a text is not a number and back.
    EXPECT_EQ(DispValue(QStringLiteral("12")).toInt32(), 0);
    EXPECT_TRUE(number.toText().isEmpty());
}

TEST(DispValue, StringLiteralIsTextNotBoolean)
{
    const DispValue fromLiteral("127.0.0.1");
    EXPECT_TRUE(fromLiteral.isText());
    EXPECT_EQ(fromLiteral, DispValue(QStringLiteral("127.0.0.1")));
}

TEST(DispValue, EqualityComparesKindAndValue)
{
    EXPECT_EQ(DispValue(0), DispValue(0));
    EXPECT_NE(DispValue(0), DispValue());
    EXPECT_NE(DispValue(0), DispValue(QString()));
    EXPECT_NE(DispValue(QString()), DispValue());
}

TEST(DispValue, DescribeShowsKindForMessages)
{
    EXPECT_EQ(DispValue().describe(), QStringLiteral("(empty)"));
    EXPECT_EQ(DispValue(42).describe(), QStringLiteral("42"));
    EXPECT_EQ(DispValue(QStringLiteral("abc")).describe(), QStringLiteral("\"abc\""));
}
