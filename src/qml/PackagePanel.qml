pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Qt.labs.qmlmodels
import CompanyVexaInstaller

// The package panel: search field, the plan's three counts and the package list. The list keeps its
// scroll position across the controller's rebuilds, and is used with the keyboard as well: Tab
// reaches it, the arrow keys move through the rows, Space ticks the current package and Enter selects
// it.
Surface {
    id: panel

    required property InstallerController installer

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 22
        spacing: 18

        RowLayout {
            spacing: 14

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 4

                Text {
                    Layout.fillWidth: true
                    text: "Packages"
                    color: Theme.textPrimary
                    font.pixelSize: 24
                    font.bold: true
                }
                Text {
                    Layout.fillWidth: true
                    text: "Search, inspect, and toggle the final package set."
                    color: Theme.textSecondary
                    font.pixelSize: 13
                }
            }

            ThemeTextField {
                objectName: "searchField"
                Layout.preferredWidth: 360
                enabled: !panel.installer.busy
                placeholderText: "Search packages, versions, toolchains, or descriptions"
                Accessible.name: "Search packages"
                value: panel.installer.searchText
                onTextChanged: panel.installer.searchText = text
            }
        }

        RowLayout {
            spacing: 12

            MetricCard {
                objectName: "installMetric"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                value: String(panel.installer.installCount)
                label: "New installs"
            }
            MetricCard {
                objectName: "upgradeMetric"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                value: String(panel.installer.upgradeCount)
                label: "Upgrades"
            }
            MetricCard {
                objectName: "removeMetric"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                value: String(panel.installer.removeCount)
                label: "Removals"
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: Theme.radiusSurface
            color: Theme.panelAlt
            border.width: 1
            border.color: Theme.edge

            PackageColumns {
                id: columns

                listWidth: packageList.width
            }

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 12
                spacing: 0

                PackageListHeader {
                    Layout.fillWidth: true
                    Layout.leftMargin: 14
                    Layout.rightMargin: 8
                    Layout.topMargin: 2
                    Layout.bottomMargin: 4
                    columns: columns
                }

                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 1
                    color: Theme.edge
                }

                ListView {
                    id: packageList

                    // The offset the last tick left the list at; every rebuild returns there, clamped
                    // to the new content.
                    property real preservedContentY: 0

                    function preserveScrollPosition() {
                        preservedContentY = contentY
                    }

                    function restoreScrollPosition() {
                        // Model changes are laid out once per frame; the clamp needs the content
                        // height of the rows just published.
                        forceLayout()
                        const bottom = Math.max(0, contentHeight - height)
                        contentY = Math.max(0, Math.min(preservedContentY, bottom))
                    }

                    function toggle(entry: var) {
                        preserveScrollPosition()
                        panel.installer.togglePackage(entry.packageId, !entry.checked)
                    }

                    function selectCurrent() {
                        const row = currentItem as PackageRow
                        if (row)
                            panel.installer.selectPackage(row.entry.packageId)
                    }

                    objectName: "packageList"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.topMargin: 4
                    clip: true
                    spacing: 0
                    boundsBehavior: Flickable.StopAtBounds
                    activeFocusOnTab: true
                    Accessible.role: Accessible.List
                    Accessible.name: "Packages"
                    ScrollBar.vertical: ScrollBar {}
                    // Rows are compared with the shown ones, so a tick updates the rows it changed
                    // instead of rebuilding the whole view. Once the list holds the new rows, it goes
                    // back to where the last tick left it.
                    model: EntryListModel {
                        entries: panel.installer.packageEntries
                        onEntriesChanged: packageList.restoreScrollPosition()
                    }
                    delegate: DelegateChooser {
                        role: "kind"

                        DelegateChoice {
                            roleValue: "group"

                            GroupRow {
                                width: packageList.width
                                keyboardCurrent: ListView.isCurrentItem && packageList.activeFocus
                            }
                        }
                        DelegateChoice {
                            PackageRow {
                                id: packageRow

                                width: packageList.width
                                columns: columns
                                keyboardCurrent: ListView.isCurrentItem && packageList.activeFocus
                                onSelectRequested: panel.installer.selectPackage(packageRow.entry.packageId)
                                onToggleRequested: packageList.toggle(packageRow.entry)
                            }
                        }
                    }

                    Keys.onSpacePressed: {
                        const row = currentItem as PackageRow
                        if (row)
                            toggle(row.entry)
                    }
                    Keys.onReturnPressed: selectCurrent()
                    Keys.onEnterPressed: selectCurrent()
                }
            }
        }
    }
}
