// The value conversions of the forms run time: twips to pixels, text to a
// 32-bit integer.
#include "textconversion.h"
#include "twips.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

TEST(Twips, FifteenMakeOnePixelRoundedToNearest)
{
    EXPECT_EQ(twipsToPixels(0), 0);
    EXPECT_EQ(twipsToPixels(15), 1);
    EXPECT_EQ(twipsToPixels(8040), 536);
    EXPECT_EQ(twipsToPixels(4980), 332);
    EXPECT_EQ(twipsToPixels(7), 0);
    EXPECT_EQ(twipsToPixels(8), 1);
    EXPECT_EQ(twipsToPixels(-8), -1);
}

TEST(Twips, RectangleConvertsItsEdgesSoNeighboursStillTouch)
{
    EXPECT_EQ(twipsToPixels(TwipRect{120, 3000, 7815, 1935}), QRect(8, 200, 521, 129));
    // 8 + 8 twips: each half rounds up alone, but the edges keep them one pixel wide together.
    const QRect first = twipsToPixels(TwipRect{0, 0, 8, 8});
    const QRect second = twipsToPixels(TwipRect{8, 8, 8, 8});
    EXPECT_EQ(first.right() + 1, second.left());
    EXPECT_EQ(first.width() + second.width(), twipsToPixels(16));
}

TEST(TextToInt32, AcceptsWholeNumbersWithBlanksAndASign)
{
    const std::pair<QString, qint32> cases[] = {
        {u"4"_s, 4},
        {u"  32 "_s, 32},
        {u"\t1000\t"_s, 1000},
        {u"+60"_s, 60},
        {u"-1"_s, -1},
        {u"007"_s, 7},
        {u"2147483647"_s, 2147483647},
        {u"-2147483648"_s, qint32(-2147483647 - 1)},
        {u" -0 "_s, 0},
    };
    for (const auto &[text, expected] : cases) {
        const auto result = textToInt32(text);
        ASSERT_TRUE(std::holds_alternative<qint32>(result)) << text.toStdString();
        EXPECT_EQ(std::get<qint32>(result), expected) << text.toStdString();
    }
}

TEST(TextToInt32, RefusesWhatIsNotAWholeNumberInRange)
{
    const std::pair<QString, ConversionFailure> cases[] = {
        {u""_s, ConversionFailure::Empty},
        {u"   "_s, ConversionFailure::Empty},
        {u"abc"_s, ConversionFailure::NotWholeNumber},
        {u"4x"_s, ConversionFailure::NotWholeNumber},
        {u"1 000"_s, ConversionFailure::NotWholeNumber},
        {u"4.5"_s, ConversionFailure::NotWholeNumber},
        {u"4.0"_s, ConversionFailure::NotWholeNumber},
        {u"1e3"_s, ConversionFailure::NotWholeNumber},
        {u"0x10"_s, ConversionFailure::NotWholeNumber},
        {u"-"_s, ConversionFailure::NotWholeNumber},
        {u"+-1"_s, ConversionFailure::NotWholeNumber},
        {u"- 1"_s, ConversionFailure::NotWholeNumber},
        {u"\u0664\u0662"_s, ConversionFailure::NotWholeNumber}, // Arabic-Indic digits
        {u"2147483648"_s, ConversionFailure::OutOfRange},
        {u"-2147483649"_s, ConversionFailure::OutOfRange},
        {u"99999999999999999999999999"_s, ConversionFailure::OutOfRange},
    };
    for (const auto &[text, expected] : cases) {
        const auto result = textToInt32(text);
        ASSERT_TRUE(std::holds_alternative<ConversionFailure>(result)) << text.toStdString();
        EXPECT_EQ(std::get<ConversionFailure>(result), expected) << text.toStdString();
    }
}

TEST(TextToInt32, MessagesQuoteTheTextAndNameItsSource)
{
    EXPECT_EQ(conversionFailureMessage(ConversionFailure::NotWholeNumber, u"abc"_s, u"Send buffer size."_s),
              u"\"abc\" in \"Send buffer size.\" is not a whole number."_s);
    EXPECT_EQ(conversionFailureMessage(ConversionFailure::Empty, u""_s, u"Time To Live."_s),
              u"\"Time To Live.\" is empty; it needs a whole number."_s);
    EXPECT_EQ(conversionFailureMessage(ConversionFailure::OutOfRange, u"5000000000"_s, u"Count"_s),
              u"\"5000000000\" in \"Count\" is outside the range -2147483648 to 2147483647."_s);
}
