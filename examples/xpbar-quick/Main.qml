// Four bars in different looks follow one progress, which runs from empty to full and again.
import QtQuick
import XPProgressBar

Window {
    id: window
    width: 320
    height: 150
    visible: true
    title: "XPProgressBar in Qt Quick"

    property real progress: 0.6

    Column {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 10

        XPProgressBar {
            width: parent.width
            value: window.progress
        }
        XPProgressBar {
            width: parent.width
            value: window.progress
            barStyle: XPProgressBar.Glass
            textVisible: true
        }
        // A byte count: any range, QProgressBar's percentage of it.
        XPProgressBar {
            width: parent.width
            to: 30000000
            value: window.progress * to
            barStyle: XPProgressBar.Shaded
            color: "#c03000"
        }
        XPProgressBar {
            width: parent.width
            value: window.progress
            barStyle: XPProgressBar.Hatch
            brushStyle: 5
            color: "navy"
        }
    }

    Timer {
        interval: 50
        repeat: true
        running: true
        onTriggered: window.progress = window.progress >= 1 ? 0 : window.progress + 0.01
    }
}
