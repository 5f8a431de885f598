import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Asks before an apply that removes packages. "Continue" (or Enter) confirms; "Cancel" (or Escape)
// only closes it. A press outside does not close it.
Popup {
    id: popup

    property string bodyText: ""

    signal confirmed

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: 520
    height: 250
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    padding: 0
    background: Surface {
        color: Theme.popupFill
    }

    contentItem: Item {
        Accessible.role: Accessible.Dialog
        Accessible.name: "Confirm Removal"

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 22
            spacing: 18

            Text {
                text: "Confirm Removal"
                color: Theme.textPrimary
                font.pixelSize: 24
                font.bold: true
            }

            Text {
                objectName: "confirmBodyText"
                Layout.fillWidth: true
                text: popup.bodyText
                color: Theme.textSecondary
                font.pixelSize: 14
                wrapMode: Text.Wrap
            }

            Item {
                Layout.fillHeight: true
            }

            RowLayout {
                spacing: 12

                GhostButton {
                    objectName: "confirmCancelButton"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    text: "Cancel"
                    onClicked: popup.close()
                }
                AccentButton {
                    objectName: "confirmContinueButton"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    text: "Continue"
                    focus: true
                    onClicked: {
                        popup.close()
                        popup.confirmed()
                    }
                }
            }
        }
    }
}
