import QtQuick

// A group's header in the package list: its name and a rule. It has no tap action.
Item {
    id: groupRow

    required property var entry
    // The list's keyboard focus is on this row.
    property bool keyboardCurrent: false

    height: 34
    Accessible.role: Accessible.StaticText
    Accessible.name: entry.groupName ?? ""

    Row {
        anchors.verticalCenter: parent.verticalCenter
        spacing: 12

        Text {
            text: groupRow.entry.groupName ?? ""
            color: Theme.textSecondary
            font.pixelSize: 12
            font.bold: true
            font.letterSpacing: 0.8
        }
        Rectangle {
            y: 10
            width: groupRow.width - 140
            height: 1
            color: Theme.edge
        }
    }

    FocusRing {
        anchors.margins: 1
        visible: groupRow.keyboardCurrent
    }
}
