import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The controller's messages: a title and a body to read and copy. Escape, Enter, "Close" or a press
// outside close it.
Popup {
    id: popup

    property string titleText: ""
    property string bodyText: ""

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: 720
    height: 520
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    padding: 0
    background: Surface {
        color: Theme.popupFill
    }

    contentItem: Item {
        Accessible.role: Accessible.Dialog
        Accessible.name: popup.titleText

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 22
            spacing: 16

            Text {
                Layout.fillWidth: true
                text: popup.titleText
                color: Theme.textPrimary
                font.pixelSize: 24
                font.bold: true
            }

            TextWell {
                Layout.fillWidth: true
                Layout.fillHeight: true
                textObjectName: "messageText"
                accessibleName: popup.titleText
                text: popup.bodyText
                textColor: Theme.textSecondary
                wrapMode: TextEdit.Wrap
            }

            RowLayout {
                Layout.bottomMargin: 8

                Item {
                    Layout.fillWidth: true
                }
                GhostButton {
                    objectName: "messageCloseButton"
                    text: "Close"
                    focus: true
                    onClicked: popup.close()
                }
            }
        }
    }
}
