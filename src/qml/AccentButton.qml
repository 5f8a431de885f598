import QtQuick
import QtQuick.Controls

// The window's main action, filled with the accent colour. Enter presses it as Space does.
Button {
    id: accentButton

    implicitHeight: 48
    implicitWidth: Math.max(140, contentItem.implicitWidth + 34)
    Accessible.name: text
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Text {
        text: accentButton.text
        color: Theme.textPrimary
        font.pixelSize: 14
        font.bold: true
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: Theme.radiusControl
        color: accentButton.enabled ? Theme.accentButtonFill : Theme.pressedFill
        border.width: 1
        border.color: accentButton.enabled ? Theme.accentButtonEdge : Theme.edge
        opacity: accentButton.down ? 0.9 : 1

        FocusRing {
            visible: accentButton.visualFocus
        }
    }
}
