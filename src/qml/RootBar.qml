import QtQuick
import QtQuick.Layouts
import CompanyVexaInstaller

// The header: the product's title, the installer's state and the root field with Browse and Rescan.
Surface {
    id: rootBar

    required property InstallerController installer

    color: Theme.panelRaised

    Rectangle {
        anchors.fill: parent
        radius: rootBar.radius
        gradient: Gradient {
            GradientStop { position: 0.0; color: Theme.headerTop }
            GradientStop { position: 0.55; color: Theme.headerMiddle }
            GradientStop { position: 1.0; color: Theme.headerBottom }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 24
        spacing: 18

        RowLayout {
            spacing: 18

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 6

                Text {
                    Layout.fillWidth: true
                    text: "Vexa Installer"
                    color: Theme.textPrimary
                    font.pixelSize: 34
                    font.bold: true
                }
            }

            Pill {
                objectName: "statePill"
                label: rootBar.installer.busy ? "Applying" : "Ready"
                fill: rootBar.installer.busy ? Theme.busyFill : Theme.successFill
                foreground: rootBar.installer.busy ? Theme.accentStrong : Theme.successText
            }
        }

        RowLayout {
            spacing: 12

            Text {
                text: "Install Root"
                color: Theme.textSecondary
                font.pixelSize: 13
                font.bold: true
            }

            ThemeTextField {
                id: rootField

                objectName: "rootField"
                Layout.fillWidth: true
                enabled: !rootBar.installer.busy
                placeholderText: "Choose a Vexa root"
                Accessible.name: "Install Root"
                value: rootBar.installer.rootPath
                onTextChanged: rootBar.installer.rootPath = text
                onEditingFinished: rootBar.installer.finishRootEditing()
            }

            GhostButton {
                objectName: "browseButton"
                text: "Browse"
                enabled: !rootBar.installer.busy
                onClicked: rootBar.installer.browseRoot()
            }

            GhostButton {
                objectName: "rescanButton"
                text: "Rescan"
                enabled: !rootBar.installer.busy
                onClicked: {
                    rootBar.installer.rootPath = rootField.text
                    rootBar.installer.refresh()
                }
            }
        }
    }
}
