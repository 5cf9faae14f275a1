#include "form1definition.h"

#include <tarvix/tarvixctlfactory.h>

using Tarvix::TarvixCtlClassName;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString DefaultHost = u"dns.google"_s;

using C = ControlDefinition;

} // namespace

QByteArray tarvixCtl1State()
{
    // The control's saved state as the form stores it, in the component's own
    // format: three requests a run, one a second, with the component's full
    // run display. The extent is in HIMETRIC (0.01 mm).
    return QByteArray::fromHex("00030000" "61240000" "930b0000" // version, extent 9313 x 2963 (5280 x 1680 twips)
                               "0300" "20000000"     // packet size 32
                               "0300" "3c000000"     // time to live 60
                               "0300" "e8030000"     // time-out 1000 ms
                               "0300" "00000000"     // not continuous
                               "0300" "03000000"     // count 3
                               "0800" "02000000" "0000" // no host name
                               "0300" "00000000"     // names not resolved
                               "0800" "02000000" "0000" // no address
                               "0300" "01000000"     // the full run display
                               "0300" "01000000");   // one second apart
}

FormDefinition form1Definition()
{
    // No background colour: the form keeps the platform's own.
    FormDefinition form(u"Form1"_s, u"Brontel Simple Ping Sample"_s, 6525, 2835);
    form.setStartUpPosition(StartUpPosition::CenterScreen);

    // clang-format off
    //        Name             Caption or text at start                             Left   Top  Width Height  Tab
    form << C::commandButton(u"Command2"_s, u"Stop"_s,                               {4320,  360,  855,  375},  4)
                .setEnabled(true);
    form << C::commandButton(u"Command1"_s, u"Ping"_s,                               {3360,  360,  855,  375},  1)
                .setDefault(true);
    form << C::textBox(u"Text1"_s, DefaultHost,                                      { 600,  360, 2295,  375},  0)
                .setMultiLine(false).setAlignment(TextAlignment::Left);
    form << C::pingControl(u"TarvixCtl1"_s, QString::fromLatin1(TarvixCtlClassName), { 480,  960, 5280, 1680},  2)
                .setSavedState(tarvixCtl1State());
    form << C::label(u"Label1"_s, u"Host Name or IP Address to ping"_s,              { 600,  120, 2535,  255},  3)
                .setNames(u"Text1"_s);
    // clang-format on
    return form;
}
