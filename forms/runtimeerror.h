#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// A run-time error raised inside an event handler: a text that does not
// convert, a failing call on a hosted component, an invalid property value.
// The form catches it around the handler, so the handler stops at the step
// that failed; the form then returns to idle and shows the message.
class RunTimeError : public std::exception
{
public:
    explicit RunTimeError(const QString &message);

    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

    // "Invalid property value": what a control raises for a value out of range.
    static RunTimeError invalidValue(const QString &controlName, const QString &property, qint64 value,
                                     const QString &allowed);

private:
    QString m_message;
    QByteArray m_utf8;
};
