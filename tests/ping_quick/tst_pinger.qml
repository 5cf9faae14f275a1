import QtQuick
import QtTest
import Tarvix

TestCase {
    name: "Pinger"

    Pinger { id: pinger; count: 3; interval: 20; timeout: 500 }
    SignalSpy { id: results; target: pinger; signalName: "resultReady" }
    SignalSpy { id: finished; target: pinger; signalName: "finished" }

    // Bindings both ways: settings from a property, a property from the state.
    QtObject {
        id: view
        property int wanted: 5
        property bool busy: pinger.active
        property int received: pinger.statistics.received
    }
    Pinger { id: bound; count: view.wanted; interval: view.wanted * 10 }
    SignalSpy { id: busy; target: view; signalName: "busyChanged" }

    function init() {
        results.clear()
        finished.clear()
        busy.clear()
    }

    function runTo(host) {
        pinger.start(host)
        verify(pinger.active)
        finished.wait(5000)
        compare(results.count, 3)
        compare(finished.count, 1)
        verify(!pinger.active)
        compare(pinger.error, Pinger.NoError)
        compare(pinger.ipAddress, host)
        for (let i = 0; i < 3; ++i) {
            const result = results.signalArguments[i][0]
            compare(result.sequence, i + 1)
            compare(result.address, host)
            verify(result.roundTripMs > 0, "round trip " + result.roundTripMs)
            verify(result.line.indexOf("icmp_seq=" + (i + 1)) >= 0, result.line)
        }
        compare(busy.count, 2)
        compare(view.received, 3)
        compare(pinger.statistics.sent, 3)
        compare(pinger.statistics.received, 3)
        compare(pinger.statistics.loss, 0)
        verify(pinger.statistics.minimum <= pinger.statistics.maximum)
    }

    function test_loopback_data() {
        return [{ tag: "IPv4", host: "127.0.0.1" }, { tag: "IPv6", host: "::1" }]
    }

    function test_loopback(data) {
        runTo(data.host)
    }

    function test_testNetwork_data() {
        return [{ tag: "IPv4", v6: false }, { tag: "IPv6", v6: true }]
    }

    function test_testNetwork(data) {
        if (testNetworkUnavailable !== "")
            skip(testNetworkUnavailable)
        runTo(data.v6 ? testHost6 : testHost4)
    }

    function test_settingsFollowBindings() {
        compare(bound.count, 5)
        view.wanted = 7
        compare(bound.count, 7)
        compare(bound.interval, 70)
    }

    function test_badSettingsSayWhy() {
        const size = Qt.createQmlObject("import Tarvix; Pinger { packetSize: 70000 }", this)
        const spy = Qt.createQmlObject("import QtTest; SignalSpy { signalName: \"errorChanged\" }", this)
        spy.target = size
        size.start("127.0.0.1")
        tryCompare(size, "error", Pinger.InvalidSetting)
        verify(size.errorString.length > 0)
        verify(spy.count >= 1)
        size.destroy()
        spy.destroy()
    }
}
