pragma ComponentBehavior: Bound

// The installer's main window: the page, the panels and the popups. Every datum it shows comes from
// the installer controller, which start-up hands to the window as its required property `installer`
// (and publishes as the context property "installer"); the window passes it on to the panels, opens
// the popups and asks before an apply that removes packages.

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import CompanyVexaInstaller

ApplicationWindow {
    id: window

    required property InstallerController installer

    // The popups are made the first time they are needed, which keeps them out of start-up.
    property MessagePopup messagePopup: null
    property ConfirmPopup confirmPopup: null

    // Asks before an apply that removes packages; applies at once otherwise.
    function requestApply() {
        const confirmation = installer.removalConfirmationText()
        if (confirmation.length > 0) {
            if (!confirmPopup)
                confirmPopup = confirmPopupComponent.createObject(window) as ConfirmPopup
            confirmPopup.bodyText = confirmation
            confirmPopup.open()
        } else {
            installer.apply()
        }
    }

    function showMessage(title: string, message: string) {
        if (!messagePopup)
            messagePopup = messagePopupComponent.createObject(window) as MessagePopup
        messagePopup.titleText = title
        messagePopup.bodyText = message
        messagePopup.open()
    }

    objectName: "mainWindow"
    visible: true
    width: 1500
    height: 920
    minimumWidth: 1280
    minimumHeight: 820
    title: "Kestrow Vexa Installer"
    color: Theme.clear

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0.0; color: Theme.pageTop }
            GradientStop { position: 1.0; color: Theme.pageBottom }
        }
    }

    Rectangle {
        x: 140
        y: -140
        width: 520
        height: 520
        radius: width / 2
        color: Theme.glowLarge
        opacity: 0.22
    }

    Rectangle {
        x: -180
        y: 250
        width: 360
        height: 360
        radius: width / 2
        color: Theme.glowSmall
        opacity: 0.25
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 22

        RootBar {
            Layout.fillWidth: true
            Layout.preferredHeight: 176
            installer: window.installer
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 22

            PackagePanel {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredWidth: 920
                installer: window.installer
            }

            ColumnLayout {
                Layout.preferredWidth: 470
                Layout.minimumWidth: 470
                Layout.maximumWidth: 470
                Layout.fillHeight: true
                spacing: 14

                SummaryPanel {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumHeight: 250
                    Layout.preferredHeight: 320
                    installer: window.installer
                    onApplyRequested: window.requestApply()
                }

                CmakeHelpPanel {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumHeight: 220
                    Layout.preferredHeight: 260
                    installer: window.installer
                }
            }
        }
    }

    BusyOverlay {
        objectName: "busyOverlay"
        anchors.fill: parent
        z: 80
        installer: window.installer
    }

    Component {
        id: messagePopupComponent

        MessagePopup {
            objectName: "messagePopup"
            z: 90
        }
    }

    Component {
        id: confirmPopupComponent

        ConfirmPopup {
            objectName: "confirmPopup"
            z: 91
            onConfirmed: window.installer.apply()
        }
    }

    Connections {
        target: window.installer

        function onMessageRequested(title: string, message: string) {
            window.showMessage(title, message)
        }
    }
}
