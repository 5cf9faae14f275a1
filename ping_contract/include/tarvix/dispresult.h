#pragma once

#include <tarvix/dispid.h>
#include <tarvix/dispvalue.h>
#include <tarvix/tarvixcontractexport.h>

#include <QString>

namespace Tarvix {

/*!
    \brief What a late-bound call returns: a value, or an error that the
    caller sees.

    PingControl::invoke() never throws: every refusal comes back as an
    error() with a message() worded for users.
*/
class TARVIX_CONTRACT_EXPORT DispResult
{
public:
    /*! Why a call failed. */
    enum class Error {
        None,               //!< The call succeeded.
        UnknownMember,      //!< The component has no member with this DISPID.
        WrongAccess,        //!< The member exists but not for this kind of call.
        WrongArgumentCount, //!< Too many or too few arguments for the member.
        TypeMismatch,       //!< An argument or written value of the wrong kind.
        Failed,             //!< The member ran and failed.
    };

    /*! A success with an empty value. */
    DispResult() = default;
    /*! A success that returns \a value (empty by default). */
    static DispResult success(const DispValue &value = {}) { return DispResult(Error::None, value, {}); }
    /*! A failure with \a error and a \a message for users; the value is empty. */
    static DispResult failure(Error error, const QString &message) { return DispResult(error, {}, message); }

    /*! \name The contract's errors
        Uniform messages, so that every component words the contract's errors alike. */
    //! @{

    /*! UnknownMember: the component has no member \a dispId. */
    static DispResult unknownMember(qint32 dispId);
    /*! WrongAccess: the member \a dispId does not support a call of \a kind. */
    static DispResult wrongAccess(qint32 dispId, DispKind kind);
    /*! WrongArgumentCount: the member \a dispId takes \a expected arguments, not \a given. */
    static DispResult wrongArgumentCount(qint32 dispId, int expected, int given);
    /*! TypeMismatch: the member \a dispId takes a value of kind \a expected, and the message
        names the \a given value. */
    static DispResult typeMismatch(qint32 dispId, DispValue::Kind expected, const DispValue &given);
    //! @}

    /*! Whether the call succeeded (error() is Error::None). */
    bool ok() const { return m_error == Error::None; }
    /*! Why the call failed, or Error::None. */
    Error error() const { return m_error; }
    /*! What the call returned; empty for a failure and for calls that return nothing. */
    const DispValue &value() const { return m_value; }
    /*! The failure worded for users, naming the member; empty for a success. */
    const QString &message() const { return m_message; }

private:
    DispResult(Error error, const DispValue &value, const QString &message)
        : m_error(error), m_value(value), m_message(message) {}

    Error m_error = Error::None;
    DispValue m_value;
    QString m_message;
};

} // namespace Tarvix
