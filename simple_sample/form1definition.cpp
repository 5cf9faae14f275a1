#include "form1definition.h"

#include "savedstate.h"
#include "tarvixctlfactory.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QString DefaultHost = u"dns.google"_s;

using C = ControlDefinition;

} // namespace

QByteArray tarvixCtl1State()
{
    // Three requests a run, one a second, with the component's full run
    // display; the control's extent is in HIMETRIC (0.01 mm): 5280 x 1680 twips.
    const PingSettings settings{.packetSize = 32, .timeToLive = 60, .timeout = 1000, .continuous = 0, .count = 3,
                                .resolveAddresses = 0, .display = 1, .intervalMs = 1000};
    const SavedState state{.extentX = 9313, .extentY = 2963, .settings = settings, .hostName = {}, .ipAddress = {}};
    return state.encode();
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
