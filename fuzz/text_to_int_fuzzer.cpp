// The forms run time's text-to-integer conversion against a reference of its
// own: blanks (Unicode White_Space) trimmed, one sign, then a strict
// std::from_chars parse of ASCII decimal digits. The input is UTF-8.
#include "fuzzcheck.h"
#include "textconversion.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Unicode's White_Space property.
bool isBlank(char16_t c)
{
    return (c >= 0x09 && c <= 0x0d) || c == 0x20 || c == 0x85 || c == 0xa0 || c == 0x1680
        || (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f
        || c == 0x3000;
}

std::variant<qint32, ConversionFailure> reference(const std::u16string &text)
{
    const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
    if (first >= last)
        return ConversionFailure::Empty;
    std::u16string number(first, last);
    std::string ascii;
    if (number.front() == u'-' || number.front() == u'+') {
        if (number.front() == u'-')
            ascii += '-';
        number.erase(0, 1);
    }
    if (number.empty() || !std::all_of(number.begin(), number.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
        return ConversionFailure::NotWholeNumber;
    for (char16_t c : number)
        ascii += char(c);
    qint32 value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error == std::errc::result_out_of_range)
        return ConversionFailure::OutOfRange;
    FUZZ_CHECK(error == std::errc() && end == ascii.data() + ascii.size());
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto result = textToInt32(text);
    FUZZ_CHECK(result == reference(text.toStdU16String()));

    // The user sees what they typed in the message, whatever it holds.
    if (const auto *failure = std::get_if<ConversionFailure>(&result); failure && *failure != ConversionFailure::Empty)
        FUZZ_CHECK(conversionFailureMessage(*failure, text, QStringLiteral("Count")).contains(text));
    return 0;
}
