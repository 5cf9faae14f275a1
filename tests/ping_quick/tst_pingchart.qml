import QtQuick
import QtTest
import Tarvix

TestCase {
    id: test
    name: "PingChart"
    width: 400
    height: 260
    visible: true
    when: windowShown

    Pinger { id: pinger; count: 8; interval: 10; timeout: 500 }
    SignalSpy { id: finished; target: pinger; signalName: "finished" }

    PingChart {
        id: chart
        anchors.fill: parent
        pinger: pinger
    }

    // How many pixels of the chart's middle band differ between two grabs.
    function changedPixels(before, after) {
        let changed = 0
        for (let y = Math.floor(chart.height * 0.3); y < chart.height * 0.6; y += 2)
            for (let x = 0; x < chart.width; x += 2)
                if (!Qt.colorEqual(before.pixel(x, y), after.pixel(x, y)))
                    ++changed
        return changed
    }

    function test_columnsAppearAndKeysMoveTheReadout() {
        verify(chart.showsChart)
        compare(chart.Accessible.role, Accessible.Chart)
        verify(chart.description.indexOf("no run yet") >= 0, chart.description)
        waitForRendering(chart)
        const empty = grabImage(chart)

        pinger.start("127.0.0.1")
        finished.wait(5000)
        waitForRendering(chart)
        const full = grabImage(chart)
        verify(changedPixels(empty, full) > 20, "the chart drew no columns")
        verify(chart.description.indexOf("received 8") >= 0, chart.description)

        chart.forceActiveFocus()
        compare(chart.readout, "")
        keyClick(Qt.Key_Home)
        verify(chart.readout.indexOf("icmp_seq=1 ") >= 0, chart.readout)
        keyClick(Qt.Key_Right)
        verify(chart.readout.indexOf("icmp_seq=2 ") >= 0, chart.readout)
        compare(chart.description, chart.readout)
        keyClick(Qt.Key_End)
        compare(chart.readout, "")
    }

    function test_itsColoursAreThePalettes() {
        waitForRendering(chart)
        const light = grabImage(chart).pixel(1, 1)
        chart.palette.base = "#102030"
        waitForRendering(chart)
        verify(Qt.colorEqual(grabImage(chart).pixel(1, 1), "#102030"), "the ground is not the palette's base")
        verify(!Qt.colorEqual(light, "#102030"))
    }

    function test_aSmallChartIsALamp() {
        chart.anchors.fill = undefined
        chart.width = 24
        chart.height = 24
        verify(!chart.showsChart)
        compare(chart.Accessible.role, Accessible.Graphic)
        chart.anchors.fill = test
        verify(chart.showsChart)
    }
}
