#include "textconversion.h"

#include <limits>

std::variant<qint32, ConversionFailure> textToInt32(QStringView text)
{
    const QStringView number = text.trimmed();
    if (number.isEmpty())
        return ConversionFailure::Empty;

    qsizetype at = 0;
    const bool negative = number.front() == u'-';
    if (negative || number.front() == u'+')
        ++at;
    if (at == number.size())
        return ConversionFailure::NotWholeNumber;

    // One past the largest magnitude, so that long digit strings cannot overflow.
    constexpr qint64 beyond = qint64(std::numeric_limits<qint32>::max()) + 2;
    qint64 magnitude = 0;
    for (; at < number.size(); ++at) {
        const char16_t c = number[at].unicode();
        if (c < u'0' || c > u'9')
            return ConversionFailure::NotWholeNumber;
        magnitude = qMin(magnitude * 10 + (c - u'0'), beyond);
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return ConversionFailure::OutOfRange;
    return qint32(value);
}

QString conversionFailureMessage(ConversionFailure failure, const QString &text, const QString &source)
{
    switch (failure) {
    case ConversionFailure::Empty:
        return QStringLiteral("\"%1\" is empty; it needs a whole number.").arg(source);
    case ConversionFailure::NotWholeNumber:
        return QStringLiteral("\"%1\" in \"%2\" is not a whole number.").arg(text, source);
    case ConversionFailure::OutOfRange:
        return QStringLiteral("\"%1\" in \"%2\" is outside the range %3 to %4.")
            .arg(text, source)
            .arg(std::numeric_limits<qint32>::min())
            .arg(std::numeric_limits<qint32>::max());
    }
    return {};
}
