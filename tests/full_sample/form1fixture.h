#pragma once

#include "form1.h"
#include "form1definition.h"
#include "scriptedpingcontrol.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

inline constexpr qint32 LampRed = 255;
inline constexpr qint32 LampGreen = 65280;

// Form1 with its real widgets, hosting a scripted ping control; error
// messages are collected instead of shown.
class Form1Test : public ::testing::Test
{
protected:
    using Call = ScriptedPingControl::Call;
    using S = ScriptedPingControl;

    Form1Test();

    Form &form() { return m_form1->form(); }
    QWidget *widget(const QString &name) { return form().controlWidget(name); }

    void clickPing();
    void clickStop();
    // What a tick of Timer1 does, without waiting for one.
    void tick();
    void pressEnterIn(const QString &name);
    // Replaces the box's text the way a user would: select all, type.
    void retype(const QString &name, const QString &text);
    void setText(const QString &name, const QString &text);
    void setCheck(const QString &name, int state);

    QString log();
    qint32 lamp();
    bool pingEnabled();
    bool stopEnabled();
    bool timerRunning();

    // The calls Ping makes with the form's design values, up to the Ping call.
    static QList<Call> defaultSettingsAndPing();

    ScriptedPingControl *component = nullptr;
    QStringList messages;

private:
    ComponentRegistry m_registry;
    std::unique_ptr<Form1> m_form1;
};
