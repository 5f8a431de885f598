import QtQuick

// The ring around the control that has the keyboard's focus, drawn just outside its parent.
Rectangle {
    objectName: "focusRing"
    anchors.fill: parent
    anchors.margins: -3
    radius: Theme.radiusControl + 3
    color: Theme.clear
    border.width: Theme.focusRingWidth
    border.color: Theme.focusRing
}
