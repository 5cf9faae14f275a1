import QtQuick
import QtTest
import Tarvix

// The installed module as a QML program meets it: its types made and working.
TestCase {
    name: "InstalledModule"
    width: 300
    height: 200
    visible: true
    when: windowShown

    Pinger { id: pinger; count: 1 }
    PingChart { id: chart; anchors.fill: parent; pinger: pinger }

    function test_typesAreThere() {
        compare(pinger.count, 1)
        compare(pinger.error, Pinger.NoError)
        compare(chart.pinger, pinger)
        verify(chart.showsChart)
        compare(chart.Accessible.role, Accessible.Chart)
        pinger.packetSize = 70000
        pinger.start("127.0.0.1")
        tryCompare(pinger, "error", Pinger.InvalidSetting)
    }
}
