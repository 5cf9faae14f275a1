import QtQuick
import Tarvix

// The chart of a Pinger's run: set pinger. Zoom with the wheel or + and -,
// drag or Page Up and Page Down to go back through the run, hover or Left,
// Right and Home for a request's readout, End, Escape or a double click to
// return to the live view; Ctrl+C copies the run as text, copyCsv() as CSV.
PingChartItem {
    id: chart
    // Room for a minute of requests a second apart, and the chart's lines.
    implicitWidth: 360
    implicitHeight: 12 * metrics.height
    activeFocusOnTab: true

    Accessible.role: chart.showsChart ? Accessible.Chart : Accessible.Graphic
    Accessible.name: qsTr("Ping")
    Accessible.description: chart.description
    Accessible.focusable: true

    FontMetrics { id: metrics }
}
