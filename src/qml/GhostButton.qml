import QtQuick
import QtQuick.Controls

// A quiet button: the panel's fill with a thin edge. Enter presses it as Space does.
Button {
    id: ghostButton

    implicitHeight: 46
    implicitWidth: Math.max(120, contentItem.implicitWidth + 30)
    Accessible.name: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Text {
        text: ghostButton.text
        color: ghostButton.enabled ? Theme.textPrimary : Theme.textMuted
        font.pixelSize: 14
        font.bold: true
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: Theme.radiusControl
        color: ghostButton.down ? Theme.pressedFill : Theme.panelAlt
        border.width: 1
        border.color: ghostButton.enabled ? Theme.edge : Theme.disabledEdge

        FocusRing {
            visible: ghostButton.visualFocus
        }
    }
}
