#pragma once

#include <tarvix/tarvixcontractexport.h>

#include <QString>
#include <QtGlobal>

#include <variant>

namespace Tarvix {

// A value that crosses the dispatch contract: nothing, a 32-bit integer or a text.
class TARVIX_CONTRACT_EXPORT DispValue
{
public:
    enum class Kind { Empty, Int32, Text };

    DispValue() = default;
    DispValue(qint32 value) : m_value(value) {}
    DispValue(const QString &text) : m_value(text) {}
    // Without this a string literal would pick the integer constructor through
    // the pointer-to-bool conversion.
    DispValue(const char *text) : m_value(QString::fromUtf8(text)) {}

    Kind kind() const { return Kind(m_value.index()); }
    bool isEmpty() const { return kind() == Kind::Empty; }
    bool isInt32() const { return kind() == Kind::Int32; }
    bool isText() const { return kind() == Kind::Text; }

    // The integer, or 0 for a value of another kind.
    qint32 toInt32() const;
    // The text, or an empty string for a value of another kind.
    QString toText() const;

    // A short description for messages: 42, "abc" or (empty).
    QString describe() const;
    static QString kindName(Kind kind);

    friend bool operator==(const DispValue &a, const DispValue &b) { return a.m_value == b.m_value; }
    friend bool operator!=(const DispValue &a, const DispValue &b) { return !(a == b); }

private:
    std::variant<std::monostate, qint32, QString> m_value;
};

} // namespace Tarvix
