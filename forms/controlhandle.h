#pragma once

#include <QString>

class QWidget;

// What handler code holds for a control of its form: a typed handle over the
// control the form created. Handles are cheap to copy and stay valid as long
// as the form; their setters are const, as with a reference.
class ControlHandle
{
public:
    ControlHandle(const QString &name, QWidget *widget) : m_name(name), m_widget(widget) {}

    const QString &name() const { return m_name; }
    QWidget *widget() const { return m_widget; }

    bool enabled() const;
    void setEnabled(bool enabled) const;

private:
    QString m_name;
    QWidget *m_widget;
};
