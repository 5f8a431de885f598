import QtQuick
import QtQuick.Controls

// A text field in the window's colours for a value the controller keeps cleaned (trimmed, say). The
// cleaned value replaces the text when the field first shows, whenever it changes while nobody types
// here, and when editing finishes; while the person types, the text stays as typed and the cursor
// where it is.
TextField {
    id: field

    property string value

    color: Theme.textPrimary
    selectionColor: Theme.accent
    selectedTextColor: Theme.pageTop
    placeholderTextColor: Theme.textMuted
    font.pixelSize: 15
    leftPadding: 16
    rightPadding: 16
    topPadding: 13
    bottomPadding: 13
    background: Rectangle {
        radius: Theme.radiusControl
        color: Theme.panelAlt
        border.width: 1
        border.color: field.activeFocus ? Theme.accent : Theme.edge
    }

    Component.onCompleted: text = value
    onValueChanged: {
        if (!activeFocus)
            text = value
    }

    Connections {
        target: field

        function onEditingFinished() {
            field.text = field.value
        }
    }
}
