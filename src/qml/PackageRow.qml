import QtQuick
import QtQuick.Layouts

// A package in the list: check box, name (indented by the package's depth in its tree), versions,
// toolchain and the action and status pills. A tap on the card asks to select the package, a click on
// the box to tick or untick it; the row itself changes only when the controller publishes the change.
Item {
    id: packageRow

    required property var entry
    required property PackageColumns columns
    // The list's keyboard focus is on this row.
    property bool keyboardCurrent: false

    signal selectRequested
    signal toggleRequested

    height: card.height
    Accessible.role: Accessible.ListItem
    Accessible.name: entry.title ?? ""
    Accessible.description: [entry.version, entry.internalVersion, entry.toolchain, entry.action,
        entry.status].join(", ")

    Rectangle {
        id: card

        objectName: "packageCard"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 6
        anchors.rightMargin: 4
        implicitHeight: contentRow.implicitHeight + 8
        height: implicitHeight
        radius: 2
        color: packageRow.entry.active ? Theme.activeRowFill : Theme.clear
        // The keyboard's ring is the card's own edge, drawn wider.
        border.width: packageRow.keyboardCurrent ? Theme.focusRingWidth : 1
        border.color: packageRow.keyboardCurrent ? Theme.focusRing
                                                 : packageRow.entry.active ? Theme.activeRowEdge : Theme.clear

        MouseArea {
            anchors.fill: parent
            onClicked: packageRow.selectRequested()
        }

        RowLayout {
            id: contentRow

            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            anchors.topMargin: 4
            anchors.bottomMargin: 4
            spacing: packageRow.columns.spacing

            Item {
                Layout.preferredWidth: packageRow.columns.checkWidth
                Layout.fillHeight: true

                PackageCheck {
                    objectName: "packageCheck"
                    anchors.centerIn: parent
                    checked: packageRow.entry.checked ?? false
                    Accessible.name: packageRow.entry.title ?? ""
                    onToggled: packageRow.toggleRequested()
                }
            }

            // The indent is the name cell's left margin rather than a cell of its own, so that the
            // row's spacing does not shift child rows' columns away from the captions.
            Text {
                readonly property real cellWidth: packageRow.columns.nameWidth(packageRow.entry.depth ?? 0)

                objectName: "nameCell"
                Layout.leftMargin: (packageRow.entry.depth ?? 0) * packageRow.columns.indentStep
                Layout.preferredWidth: cellWidth
                Layout.minimumWidth: cellWidth
                Layout.maximumWidth: cellWidth
                Layout.alignment: Qt.AlignVCenter
                text: packageRow.entry.title ?? ""
                color: Theme.textPrimary
                font.pixelSize: 13
                font.bold: true
                elide: Text.ElideRight
            }
            Text {
                objectName: "versionCell"
                Layout.preferredWidth: packageRow.columns.versionWidth
                Layout.minimumWidth: packageRow.columns.versionWidth
                text: packageRow.entry.version ?? ""
                color: Theme.textSecondary
                font.pixelSize: 12
                elide: Text.ElideRight
            }
            Text {
                objectName: "internalVersionCell"
                Layout.preferredWidth: packageRow.columns.internalVersionWidth
                Layout.minimumWidth: packageRow.columns.internalVersionWidth
                Layout.maximumWidth: packageRow.columns.internalVersionWidth
                text: packageRow.entry.internalVersion ?? ""
                color: Theme.textSecondary
                font.pixelSize: 12
                elide: Text.ElideRight
            }
            Text {
                objectName: "toolchainCell"
                Layout.fillWidth: true
                text: packageRow.entry.toolchain ?? ""
                color: Theme.textMuted
                font.pixelSize: 12
                elide: Text.ElideRight
            }
            Row {
                spacing: 6

                Pill {
                    objectName: "actionPill"
                    label: packageRow.entry.action ?? ""
                    fill: Theme.actionFill(packageRow.entry.actionKey ?? "")
                    foreground: Theme.actionText(packageRow.entry.actionKey ?? "")
                }
                Pill {
                    objectName: "statusPill"
                    label: packageRow.entry.status ?? ""
                    fill: Theme.statusFill(packageRow.entry.statusKey ?? "")
                    foreground: Theme.statusTextColor(packageRow.entry.statusKey ?? "")
                }
            }
        }

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            height: 1
            color: Theme.rowDivider
        }
    }
}
