import QtQuick

// A package row's check box. It never flips itself: it shows what the controller publishes, and a
// click (or a screen reader's toggle) only asks for the change.
Item {
    id: check

    property bool checked: false
    signal toggled

    width: 24
    height: 24
    Accessible.role: Accessible.CheckBox
    Accessible.checkable: true
    Accessible.checked: checked
    Accessible.onToggleAction: check.toggled()
    Accessible.onPressAction: check.toggled()

    Rectangle {
        anchors.fill: parent
        radius: Theme.radiusSmall
        color: check.checked ? Theme.accent : Theme.panelAlt
        border.width: 1
        border.color: check.checked ? Theme.accentStrong : Theme.edge
    }
    Text {
        anchors.centerIn: parent
        visible: check.checked
        text: "v"
        color: Theme.pageTop
        font.pixelSize: 13
        font.bold: true
    }
    MouseArea {
        anchors.fill: parent
        onClicked: check.toggled()
    }
}
