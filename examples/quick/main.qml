import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tarvix

ApplicationWindow {
    id: window
    // Set from the command line: requests per run, and a host to ping at once.
    required property int count
    required property string host

    width: 520
    height: 340
    visible: true
    title: qsTr("Tarvix in Qt Quick")

    Pinger {
        id: pinger
        count: window.count
        onResultReady: (result) => {
            log.text = result.line
            if (window.host !== "")
                console.info(result.line)
        }
        onErrorOccurred: log.text = qsTr("error: ") + errorString
        onFinished: {
            if (window.host !== "") {
                console.info(qsTr("%1 packets transmitted, %2 received").arg(statistics.sent).arg(statistics.received))
                Qt.exit(error === Pinger.NoError ? 0 : 1)
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8

        RowLayout {
            TextField {
                id: hostField
                Layout.fillWidth: true
                text: window.host !== "" ? window.host : "127.0.0.1"
                Accessible.name: qsTr("Host")
                onAccepted: pinger.start(text)
                focus: true
            }
            Button {
                text: qsTr("&Ping")
                onClicked: pinger.start(hostField.text)
            }
            Button {
                text: qsTr("&Stop")
                enabled: pinger.active
                onClicked: pinger.stop()
            }
        }

        PingChart {
            id: chart
            pinger: pinger
            Layout.fillWidth: true
            Layout.fillHeight: true

            TapHandler {
                acceptedButtons: Qt.RightButton
                onTapped: menu.popup()
            }
            Menu {
                id: menu
                MenuItem { text: qsTr("&Copy"); enabled: pinger.statistics.sent > 0; onTriggered: chart.copyText() }
                MenuItem { text: qsTr("Copy as &CSV"); enabled: pinger.statistics.sent > 0; onTriggered: chart.copyCsv() }
                MenuItem { text: qsTr("Back to &live view"); onTriggered: chart.goLive() }
            }
        }

        Label {
            id: log
            Layout.fillWidth: true
            elide: Text.ElideRight
        }
    }

    Component.onCompleted: if (window.host !== "") pinger.start(window.host)
}
