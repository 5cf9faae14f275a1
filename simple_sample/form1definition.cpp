#include "form1definition.h"

#include "statestreamwriter.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QString DefaultHost = u"dns.google"_s;

using C = ControlDefinition;

} // namespace

QByteArray tarvixCtl1State()
{
    // Version 0x300, then the control's extent in HIMETRIC (0.01 mm): 5280 x
    // 1680 twips. Of the ten tagged values the fifth is the count of requests
    // per run, the ninth (1) turns on the component's full run display and the
    // tenth is the gap between requests in seconds.
    StateStreamWriter state(0x300, {9313, 2963});
    state << 32 << 60 << 1000 << 0 << 3 << u""_s << 0 << u""_s << 1 << 1;
    return state.bytes();
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
