import QtQuick
import QtTest
import Tarvix

// The module in the user's language, which the test's LANG sets (de or C,
// testLanguage says which): the chart's and the engine's texts alike, their
// catalogues installed by the libraries on their own.
TestCase {
    name: "Language"
    width: 300
    height: 200
    visible: true
    when: windowShown

    Pinger { id: pinger; packetSize: 70000 }
    PingChart { id: chart; anchors.fill: parent; pinger: pinger }

    function test_chartAndErrors() {
        if (testLanguage === "")
            skip("quick.language.de and quick.language.C run this")
        const german = testLanguage === "de"
        compare(chart.description, german ? "Bereit, noch kein Lauf" : "Idle, no run yet")
        pinger.start("127.0.0.1")
        tryCompare(pinger, "error", Pinger.InvalidSetting)
        verify(pinger.errorString.startsWith(german ? "Ungültiger Wert" : "Bad value"), pinger.errorString)
    }
}
