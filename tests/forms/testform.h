#pragma once

#include "form.h"
#include "scriptedpingcontrol.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// A form with one control of every kind, its tab order unlike its definition
// order, hosting a scripted ping control.
FormDefinition testFormDefinition();

// The message of the RunTimeError that call raises, or "(none)".
QString runTimeErrorOf(const std::function<void()> &call);

inline constexpr char TestPingerClass[] = "Test.Pinger";

class FormTest : public ::testing::Test
{
protected:
    FormTest();

    // Binds a handler that records its event's name.
    void record(const QString &eventName);

    ComponentRegistry registry;
    ScriptedPingControl *component = nullptr;
    std::unique_ptr<Form> form;
    QStringList messages; // what the form reported
    QStringList events;   // what the recording handlers saw
};
