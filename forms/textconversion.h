#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <variant>

enum class ConversionFailure {
    Empty,          // nothing but blanks
    NotWholeNumber, // anything but an optional sign and decimal digits
    OutOfRange,     // a whole number outside -2147483648 .. 2147483647
};

// The forms run time's text-to-32-bit-integer conversion. Blanks around the
// number and one leading sign are accepted; the digits are decimal 0-9.
// Fractions are refused, even ".0": a box that asks for a count or a size
// wants a whole number, and rounding what the user typed behind their back
// would send something other than what they see.
std::variant<qint32, ConversionFailure> textToInt32(QStringView text);

// What the user is told when the text of a box does not convert: the text
// itself and where it came from (the caption of the label that names the box).
QString conversionFailureMessage(ConversionFailure failure, const QString &text, const QString &source);
