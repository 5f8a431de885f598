import QtQuick
import QtQuick.Layouts
import CompanyVexaInstaller

// The apply summary: the status line, what applying would do, and the apply button.
Surface {
    id: panel

    required property InstallerController installer

    signal applyRequested

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 10

        RowLayout {
            spacing: 10

            Text {
                text: "Apply Summary"
                color: Theme.textPrimary
                font.pixelSize: 20
                font.bold: true
            }
            Item {
                Layout.fillWidth: true
            }
            Pill {
                objectName: "statusPill"
                label: panel.installer.statusText
                maxTextWidth: 210
                fill: Theme.statusPillFill
                foreground: Theme.textSecondary
            }
        }

        TextWell {
            objectName: "summaryScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            textObjectName: "summaryText"
            accessibleName: "Apply summary"
            text: panel.installer.summaryText
            wrapMode: TextEdit.WrapAnywhere
        }

        AccentButton {
            objectName: "applyButton"
            Layout.fillWidth: true
            Layout.preferredHeight: 42
            text: panel.installer.busy ? "Applying..." : "Apply Changes"
            enabled: panel.installer.canApply
            onClicked: panel.applyRequested()
        }
    }
}
