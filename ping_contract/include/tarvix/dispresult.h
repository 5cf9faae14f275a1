#pragma once

#include <tarvix/dispid.h>
#include <tarvix/dispvalue.h>
#include <tarvix/tarvixcontractexport.h>

#include <QString>

namespace Tarvix {

// What a late-bound call returns: a value, or an error that the caller sees.
class TARVIX_CONTRACT_EXPORT DispResult
{
public:
    enum class Error {
        None,
        UnknownMember,    // the component has no member with this DISPID
        WrongAccess,      // the member exists but not for this kind of call
        WrongArgumentCount,
        TypeMismatch,     // an argument or written value of the wrong kind
        Failed,           // the member ran and failed
    };

    DispResult() = default;
    static DispResult success(const DispValue &value = {}) { return DispResult(Error::None, value, {}); }
    static DispResult failure(Error error, const QString &message) { return DispResult(error, {}, message); }

    // Uniform messages, so that every component words the contract's errors alike.
    static DispResult unknownMember(qint32 dispId);
    static DispResult wrongAccess(qint32 dispId, DispKind kind);
    static DispResult wrongArgumentCount(qint32 dispId, int expected, int given);
    static DispResult typeMismatch(qint32 dispId, DispValue::Kind expected, const DispValue &given);

    bool ok() const { return m_error == Error::None; }
    Error error() const { return m_error; }
    const DispValue &value() const { return m_value; }
    const QString &message() const { return m_message; }

private:
    DispResult(Error error, const DispValue &value, const QString &message)
        : m_error(error), m_value(value), m_message(message) {}

    Error m_error = Error::None;
    DispValue m_value;
    QString m_message;
};

} // namespace Tarvix
