#pragma once

#include "form1.h"
#include "form1definition.h"
#include "scriptedpingcontrol.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

// TarvixS's Form1 with its real widgets, hosting a scripted ping control;
// error messages are collected instead of shown.
class SimpleForm1Test : public ::testing::Test
{
protected:
    using Call = ScriptedPingControl::Call;
    using S = ScriptedPingControl;

    // componentFocus: the focus policy the scripted control has when the form
    // sets up its tab order.
    explicit SimpleForm1Test(Qt::FocusPolicy componentFocus = Qt::NoFocus);

    Form &form() { return m_form1->form(); }
    QWidget *widget(const QString &name) { return form().controlWidget(name); }

    void clickPing();
    void clickStop();
    void pressEnterInHostBox();
    // Replaces the host box's text the way a user would: select all, type.
    void retypeHost(const QString &text);

    QString host();
    bool pingEnabled();
    bool stopEnabled();

    ScriptedPingControl *component = nullptr;
    QStringList messages;

private:
    ComponentRegistry m_registry;
    std::unique_ptr<Form1> m_form1;
};
