#include "runtimeerror.h"

RunTimeError::RunTimeError(const QString &message) : m_message(message), m_utf8(message.toUtf8())
{
}

RunTimeError RunTimeError::invalidValue(const QString &controlName, const QString &property, qint64 value,
                                        const QString &allowed)
{
    return RunTimeError(QStringLiteral("Invalid property value: %1.%2 cannot be %3 (%4).")
                            .arg(controlName, property)
                            .arg(value)
                            .arg(allowed));
}
