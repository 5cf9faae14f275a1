#pragma once

#include <tarvix/tarvixcontractexport.h>

#include <QString>
#include <QtGlobal>

#include <variant>

namespace Tarvix {

/*!
    \brief A value that crosses the dispatch contract: nothing, a 32-bit
    integer or a text.

    Arguments of PingControl::invoke() and the value of a DispResult are
    DispValues. Converts implicitly from \c qint32, QString and a UTF-8 string
    literal.
*/
class TARVIX_CONTRACT_EXPORT DispValue
{
public:
    /*! What a DispValue holds. */
    enum class Kind {
        Empty, //!< Nothing: a call that returns no value, or no argument.
        Int32, //!< A 32-bit integer.
        Text   //!< A text.
    };

    /*! An empty value. */
    DispValue() = default;
    /*! The integer \a value. */
    DispValue(qint32 value) : m_value(value) {}
    /*! The text \a text. */
    DispValue(const QString &text) : m_value(text) {}
    /*! The text \a text, read as UTF-8. Without this a string literal would
        pick the integer constructor through the pointer-to-bool conversion. */
    DispValue(const char *text) : m_value(QString::fromUtf8(text)) {}

    /*! What the value holds. */
    Kind kind() const { return Kind(m_value.index()); }
    /*! Whether kind() is Kind::Empty. */
    bool isEmpty() const { return kind() == Kind::Empty; }
    /*! Whether kind() is Kind::Int32. */
    bool isInt32() const { return kind() == Kind::Int32; }
    /*! Whether kind() is Kind::Text. */
    bool isText() const { return kind() == Kind::Text; }

    /*! The integer, or 0 for a value of another kind. */
    qint32 toInt32() const;
    /*! The text, or an empty string for a value of another kind. */
    QString toText() const;

    /*! A short description for messages: 42, "abc" (in quotes) or (empty). */
    QString describe() const;
    /*! \a kind worded for messages: "empty", "32-bit integer" or "text". */
    static QString kindName(Kind kind);

    /*! Whether \a a and \a b are of one kind and hold the same value. */
    friend bool operator==(const DispValue &a, const DispValue &b) { return a.m_value == b.m_value; }
    /*! Whether \a a and \a b differ in kind or value. */
    friend bool operator!=(const DispValue &a, const DispValue &b) { return !(a == b); }

private:
    std::variant<std::monostate, qint32, QString> m_value;
};

} // namespace Tarvix
