pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import CompanyVexaInstaller

// While an apply runs: a translucent layer with the status line and the download rows. It takes no
// pointer input; the editing controls beneath are disabled while busy instead. The rows come from a
// model that changes only the row a progress line moved, and only the rows in view exist.
Rectangle {
    id: overlay

    required property InstallerController installer

    color: Theme.busyShade
    visible: installer.busy

    Surface {
        objectName: "busyCard"
        anchors.centerIn: parent
        width: 620
        height: downloadList.count > 0 ? 360 : 210
        color: Theme.busyCardFill

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 24
            spacing: 18

            Text {
                text: "Applying package changes"
                color: Theme.textPrimary
                font.pixelSize: 20
                font.bold: true
            }

            Text {
                objectName: "busyStatusText"
                Layout.fillWidth: true
                text: overlay.installer.statusText
                color: Theme.textSecondary
                font.pixelSize: 13
                wrapMode: Text.Wrap
            }

            Rectangle {
                Layout.fillWidth: true
                Layout.preferredHeight: 1
                visible: downloadList.count > 0
                color: Theme.edge
            }

            ScrollView {
                Layout.fillWidth: true
                Layout.fillHeight: true
                visible: downloadList.count > 0
                ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
                background: Rectangle {
                    radius: Theme.radiusPanel
                    color: Theme.panelAlt
                    border.width: 1
                    border.color: Theme.edge
                }

                ListView {
                    id: downloadList

                    objectName: "downloadList"
                    clip: true
                    spacing: 0
                    boundsBehavior: Flickable.StopAtBounds
                    Accessible.role: Accessible.List
                    Accessible.name: "Downloads"
                    model: EntryListModel {
                        entries: overlay.installer.downloadEntries
                    }
                    delegate: DownloadRow {
                        width: downloadList.width
                    }
                }
            }
        }
    }
}
