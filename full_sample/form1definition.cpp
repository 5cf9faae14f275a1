#include "form1definition.h"

#include <tarvix/tarvixctlfactory.h>

using Tarvix::TarvixCtlClassName;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString DefaultHost = u"dns.google"_s;
constexpr qint32 Green = 65280;

using C = ControlDefinition;

} // namespace

QByteArray tarvixCtl1State()
{
    // The control's saved state as the form stores it, in the component's own
    // format: this form's defaults for buffer size, time to live and
    // time-out, three requests a run, one a second, the lamp. The extent is
    // in HIMETRIC (0.01 mm).
    return QByteArray::fromHex("00030000" "4f030000" "4f030000" // version, extent 847 x 847 (480 x 480 twips)
                               "0300" "20000000"     // packet size 32
                               "0300" "3c000000"     // time to live 60
                               "0300" "e8030000"     // time-out 1000 ms
                               "0300" "00000000"     // not continuous
                               "0300" "03000000"     // count 3
                               "0800" "02000000" "0000" // no host name
                               "0300" "00000000"     // names not resolved
                               "0800" "02000000" "0000" // no address
                               "0300" "00000000"     // the lamp
                               "0300" "01000000");   // one second apart
}

FormDefinition form1Definition()
{
    FormDefinition form(u"Form1"_s, u"Brontel Ping Sample"_s, 8040, 4980);
    form.setBackColor(12632256).setStartUpPosition(StartUpPosition::CenterScreen);

    // clang-format off
    //        Name             Caption or text at start                             Left   Top  Width Height  Tab
    form << C::checkBox(u"Check3"_s, u"Use Pre-Formatted"_s,                         {3480, 1200, 2175,  255},  9)
                .setValue(0);
    form << C::timer(u"Timer1"_s)
                .setInterval(0);
    form << C::commandButton(u"Command2"_s, u"Stop"_s,                               {6600, 2040, 1335,  375},  2)
                .setEnabled(false);
    form << C::textBox(u"Text6"_s, DefaultHost,                                      {4080, 2520, 2175,  375},  0);
    form << C::textBox(u"Text5"_s, u"60"_s,                                          { 120, 2520,  735,  375},  6)
                .setAlignment(TextAlignment::Right);
    form << C::textBox(u"Text4"_s, u"1000"_s,                                        { 120, 1800,  735,  375},  5)
                .setAlignment(TextAlignment::Right);
    form << C::textBox(u"Text3"_s, u"32"_s,                                          { 120, 1080,  735,  375},  4)
                .setAlignment(TextAlignment::Right);
    form << C::checkBox(u"Check2"_s, u"Resolve addresses to hostnames."_s,           {3480,  720, 2175,  375},  8)
                .setValue(0);
    form << C::checkBox(u"Check1"_s, u"Ping the specifed host until interrupted."_s, {3480,  240, 2295,  375},  7)
                .setValue(0);
    form << C::textBox(u"Text2"_s, u"4"_s,                                           { 120,  360,  735,  375},  3)
                .setAlignment(TextAlignment::Right);
    form << C::textBox(u"Text1"_s, u""_s,                                            { 120, 3000, 7815, 1935}, 11)
                .setMultiLine(true).setScrollBars(ScrollBars::Vertical).setFont({u"Courier"_s, 9.75})
                .setAccessibleName(u"Ping output"_s);
    form << C::commandButton(u"Command1"_s, u"Ping"_s,                               {6600, 2520, 1335,  375},  1)
                .setDefault(true);
    form << C::pingControl(u"TarvixCtl1"_s, QString::fromLatin1(TarvixCtlClassName), {7320,  240,  480,  480}, 10)
                .setSavedState(tarvixCtl1State());
    form << C::shape(u"Shape1"_s,                                                    {6960, 1560,  615,  375})
                .setShape(ShapeKind::Circle).setFillStyle(FillStyle::Solid).setFillColor(Green)
                .setAccessibleName(u"Status lamp"_s);
    form << C::label(u"Label5"_s, u"IP Address or Host Name to Ping"_s,              {4080, 2280, 2415,  255}, 16)
                .setNames(u"Text6"_s);
    form << C::label(u"Label4"_s, u"Time To Live."_s,                                { 120, 2280, 1575,  255}, 15)
                .setNames(u"Text5"_s);
    form << C::label(u"Label3"_s, u"Timeout in milliseconds to wait for each reply."_s, { 120, 1560, 3255, 255}, 14)
                .setNames(u"Text4"_s);
    form << C::label(u"Label2"_s, u"Send buffer size."_s,                            { 120,  840, 1455,  255}, 13)
                .setNames(u"Text3"_s);
    form << C::label(u"Label1"_s, u"Number of echo requests to send"_s,              { 120,  120, 2535,  255}, 12)
                .setNames(u"Text2"_s);
    // clang-format on
    return form;
}
