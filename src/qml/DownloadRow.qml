import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// One download of a running apply: the package, a busy indicator while it downloads or a check mark
// once it has arrived, and its status.
Rectangle {
    id: downloadRow

    required property var entry

    height: 44
    color: Theme.clear
    Accessible.role: Accessible.ListItem
    Accessible.name: (entry.title ?? "") + ": " + statusText.text

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        spacing: 12

        Text {
            Layout.fillWidth: true
            text: downloadRow.entry.title ?? ""
            color: Theme.textPrimary
            font.pixelSize: 13
            font.bold: true
            elide: Text.ElideRight
        }

        Item {
            Layout.preferredWidth: downloadRow.entry.completed || downloadRow.entry.active ? 18 : 0
            Layout.preferredHeight: 18

            BusyIndicator {
                anchors.fill: parent
                padding: 0
                visible: running
                running: downloadRow.entry.active ?? false
            }
            Text {
                anchors.centerIn: parent
                visible: downloadRow.entry.completed ?? false
                text: "v"
                color: Theme.successText
                font.pixelSize: 14
                font.bold: true
            }
        }

        Text {
            id: statusText

            objectName: "downloadStatus"
            Layout.preferredWidth: 110
            Layout.minimumWidth: 110
            Layout.maximumWidth: 110
            horizontalAlignment: Text.AlignRight
            text: downloadRow.entry.completed ? "Done" : (downloadRow.entry.statusText ?? "")
            color: downloadRow.entry.completed ? Theme.successText
                                               : downloadRow.entry.active ? Theme.accentStrong : Theme.textMuted
            font.pixelSize: 12
            font.bold: downloadRow.entry.active || downloadRow.entry.completed
            elide: Text.ElideRight
        }
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        height: 1
        color: Theme.edge
        opacity: 0.75
    }
}
