import QtQuick
import QtQuick.Layouts

// One of the plan's counts with its label.
Rectangle {
    id: metric

    property string value: "0"
    property string label: ""

    implicitHeight: 96
    radius: Theme.radiusPanel
    color: Theme.panelAlt
    border.width: 1
    border.color: Theme.edge

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 18
        spacing: 8

        Text {
            text: metric.value
            color: Theme.textPrimary
            font.pixelSize: 30
            font.bold: true
        }
        Text {
            text: metric.label
            color: Theme.textSecondary
            font.pixelSize: 13
        }
    }
}
