// The installer's main window. Every datum it shows comes from the context property "installer"
// (the installer controller); the window itself only lays out, colours, opens popups and keeps the
// package list's scroll position across rebuilds.
//
// The linter cannot see context properties; each use of "installer" carries a directive saying so.

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import CompanyVexaInstaller

ApplicationWindow {
    id: window
    objectName: "mainWindow"

    visible: true
    width: 1500
    height: 920
    minimumWidth: 1280
    minimumHeight: 820
    title: "Kestrow Vexa Installer"
    color: "transparent"

    readonly property color pageTop: "#091018"
    readonly property color pageBottom: "#101724"
    readonly property color panel: "#151c26"
    readonly property color panelAlt: "#1b2430"
    readonly property color panelRaised: "#212c39"
    readonly property color edge: "#283445"
    readonly property color accent: "#5cc8ff"
    readonly property color accentStrong: "#74e0ff"
    readonly property color textPrimary: "#eef4ff"
    readonly property color textSecondary: "#aeb9cb"
    readonly property color textMuted: "#7f8aa0"
    readonly property color installFill: "#133726"
    readonly property color installText: "#9af0bf"
    readonly property color upgradeFill: "#3d3013"
    readonly property color upgradeText: "#ffd585"
    readonly property color removeFill: "#402028"
    readonly property color removeText: "#ff9dad"
    readonly property color neutralFill: "#243040"
    readonly property color neutralText: "#c8d3e4"
    readonly property color successFill: "#18382b"
    readonly property color successText: "#9be8c0"
    readonly property color staleFill: "#3b2a16"
    readonly property color staleText: "#ffd48a"
    readonly property color availableFill: "#222c39"
    readonly property color availableText: "#aab8cc"
    readonly property int radiusSurface: 8
    readonly property int radiusPanel: 6
    readonly property int radiusControl: 4
    readonly property int radiusSmall: 2

    function actionFill(key: string): color {
        if (key === "install")
            return installFill
        if (key === "upgrade")
            return upgradeFill
        if (key === "remove")
            return removeFill
        return neutralFill
    }

    function actionText(key: string): color {
        if (key === "install")
            return installText
        if (key === "upgrade")
            return upgradeText
        if (key === "remove")
            return removeText
        return neutralText
    }

    function statusFill(key: string): color {
        if (key === "installed")
            return successFill
        if (key === "stale")
            return staleFill
        if (key === "recommended")
            return "#17324a"
        return availableFill
    }

    function statusTextColor(key: string): color {
        if (key === "installed")
            return successText
        if (key === "stale")
            return staleText
        if (key === "recommended")
            return accentStrong
        return availableText
    }

    // A plan over thousands of packages has a summary of thousands of lines, which takes longer than a
    // frame to lay out. A new summary is therefore shown right after the frame that shows the tick
    // (or other change) that caused it, and a burst of changes lays it out once.
    property bool summaryOutdated: false

    function showSummary() {
        summaryOutdated = false
        summaryScroll.text = installer.summaryText // qmllint disable unqualified
    }

    onAfterAnimating: {
        if (summaryOutdated)
            summaryTimer.start()
    }

    Timer {
        id: summaryTimer
        interval: 0
        onTriggered: window.showSummary()
    }

    Component.onCompleted: showSummary()

    // Asks before an apply that removes packages; applies at once otherwise.
    function requestApply() {
        const confirmation = installer.removalConfirmationText() // qmllint disable unqualified
        if (confirmation.length > 0) {
            confirmPopup.bodyText = confirmation
            confirmPopup.open()
        } else {
            installer.apply() // qmllint disable unqualified
        }
    }

    // Inline components and delegates reach this window's palette and items by id. Qt 6.4's linter
    // reports every id used across a component boundary as unqualified (later versions accept them
    // under "pragma ComponentBehavior: Bound"), so that one check is off inside those regions; the
    // window tests fail on any binding error at run time instead.
    // qmllint disable unqualified
    component Surface: Rectangle {
        radius: window.radiusSurface
        color: window.panel
        border.width: 1
        border.color: window.edge
    }

    component Pill: Rectangle {
        id: pill

        property string label: ""
        property color fill: window.neutralFill
        property color foreground: window.neutralText
        property int maxTextWidth: -1

        implicitWidth: (maxTextWidth > 0 ? Math.min(pillText.implicitWidth, maxTextWidth)
                                         : pillText.implicitWidth) + 24
        implicitHeight: 26
        radius: window.radiusControl
        color: fill

        Text {
            id: pillText
            anchors.centerIn: parent
            width: pill.maxTextWidth > 0 ? pill.maxTextWidth : implicitWidth
            text: pill.label
            color: pill.foreground
            font.pixelSize: 11
            font.bold: true
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignHCenter
        }
    }

    component ThemeTextField: TextField {
        id: field

        color: window.textPrimary
        selectionColor: window.accent
        selectedTextColor: window.pageTop
        placeholderTextColor: window.textMuted
        font.pixelSize: 15
        leftPadding: 16
        rightPadding: 16
        topPadding: 13
        bottomPadding: 13
        background: Rectangle {
            radius: window.radiusControl
            color: window.panelAlt
            border.width: 1
            border.color: field.activeFocus ? window.accent : window.edge
        }
    }

    component AccentButton: Button {
        id: accentButton

        implicitHeight: 48
        implicitWidth: Math.max(140, contentItem.implicitWidth + 34)
        contentItem: Text {
            text: accentButton.text
            color: window.textPrimary
            font.pixelSize: 14
            font.bold: true
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: window.radiusControl
            color: accentButton.enabled ? "#1f80be" : "#243140"
            border.width: 1
            border.color: accentButton.enabled ? "#58cfff" : window.edge
            opacity: accentButton.down ? 0.9 : 1
        }
    }

    component GhostButton: Button {
        id: ghostButton

        implicitHeight: 46
        implicitWidth: Math.max(120, contentItem.implicitWidth + 30)
        contentItem: Text {
            text: ghostButton.text
            color: ghostButton.enabled ? window.textPrimary : window.textMuted
            font.pixelSize: 14
            font.bold: true
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: window.radiusControl
            color: ghostButton.down ? "#243140" : window.panelAlt
            border.width: 1
            border.color: ghostButton.enabled ? window.edge : "#202834"
        }
    }

    component MetricCard: Rectangle {
        id: metric

        property string value: "0"
        property string label: ""

        implicitHeight: 96
        radius: window.radiusPanel
        color: window.panelAlt
        border.width: 1
        border.color: window.edge

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 18
            spacing: 8

            Text {
                text: metric.value
                color: window.textPrimary
                font.pixelSize: 30
                font.bold: true
            }
            Text {
                text: metric.label
                color: window.textSecondary
                font.pixelSize: 13
            }
        }
    }

    component PackageCheck: Item {
        id: check

        property bool checked: false
        signal toggled()

        width: 24
        height: 24

        Rectangle {
            anchors.fill: parent
            radius: window.radiusSmall
            color: check.checked ? window.accent : window.panelAlt
            border.width: 1
            border.color: check.checked ? window.accentStrong : window.edge
        }
        Text {
            anchors.centerIn: parent
            visible: check.checked
            text: "v"
            color: window.pageTop
            font.pixelSize: 13
            font.bold: true
        }
        // The box never flips itself: it shows what the controller publishes.
        MouseArea {
            anchors.fill: parent
            onClicked: check.toggled()
        }
    }

    // The read-only, selectable text wells of the summary, the CMake help and the message popup.
    // "Consolas" keeps the summary's and the guidance's columns aligned; where it is missing the
    // application substitutes the system's fixed-pitch family.
    component TextWell: ScrollView {
        id: well

        property alias text: wellText.text
        property alias textColor: wellText.color
        property alias wrapMode: wellText.wrapMode
        property alias textEditObjectName: wellText.objectName

        clip: true
        contentWidth: availableWidth
        ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
        background: Rectangle {
            radius: window.radiusPanel
            color: window.panelAlt
            border.width: 1
            border.color: window.edge
        }

        Item {
            width: well.availableWidth
            implicitHeight: wellText.paintedHeight + 24

            TextEdit {
                id: wellText
                anchors.fill: parent
                anchors.margins: 12
                readOnly: true
                selectByMouse: true
                textFormat: TextEdit.PlainText
                font.family: "Consolas"
                font.pixelSize: 12
                color: window.textPrimary
                selectionColor: window.accent
                selectedTextColor: window.pageTop
            }
        }
    }

    // qmllint enable unqualified

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0.0; color: window.pageTop }
            GradientStop { position: 1.0; color: window.pageBottom }
        }
    }

    Rectangle {
        x: 140
        y: -140
        width: 520
        height: 520
        radius: width / 2
        color: "#124466"
        opacity: 0.22
    }

    Rectangle {
        x: -180
        y: 250
        width: 360
        height: 360
        radius: width / 2
        color: "#0f3548"
        opacity: 0.25
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 22

        Surface {
            id: header
            Layout.fillWidth: true
            Layout.preferredHeight: 176
            color: window.panelRaised

            Rectangle {
                anchors.fill: parent
                radius: header.radius
                gradient: Gradient {
                    GradientStop { position: 0.0; color: "#1d2a39" }
                    GradientStop { position: 0.55; color: "#162230" }
                    GradientStop { position: 1.0; color: "#111a25" }
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
                            color: window.textPrimary
                            font.pixelSize: 34
                            font.bold: true
                        }
                    }

                    Pill {
                        objectName: "statePill"
                        label: installer.busy ? "Applying" : "Ready" // qmllint disable unqualified
                        fill: installer.busy ? "#17324a" : "#18382b" // qmllint disable unqualified
                        foreground: installer.busy ? window.accentStrong : window.successText // qmllint disable unqualified
                    }
                }

                RowLayout {
                    spacing: 12

                    Text {
                        text: "Install Root"
                        color: window.textSecondary
                        font.pixelSize: 13
                        font.bold: true
                    }

                    ThemeTextField {
                        id: rootField
                        objectName: "rootField"
                        Layout.fillWidth: true
                        enabled: !installer.busy // qmllint disable unqualified
                        placeholderText: "Choose a Vexa root"
                        text: installer.rootPath // qmllint disable unqualified
                        onTextChanged: installer.rootPath = text // qmllint disable unqualified
                        onEditingFinished: installer.refresh() // qmllint disable unqualified
                    }

                    GhostButton {
                        objectName: "browseButton"
                        text: "Browse"
                        enabled: !installer.busy // qmllint disable unqualified
                        onClicked: installer.browseRoot() // qmllint disable unqualified
                    }

                    GhostButton {
                        objectName: "rescanButton"
                        text: "Rescan"
                        enabled: !installer.busy // qmllint disable unqualified
                        onClicked: {
                            installer.rootPath = rootField.text // qmllint disable unqualified
                            installer.refresh() // qmllint disable unqualified
                        }
                    }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 22

            Surface {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredWidth: 920

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
                                color: window.textPrimary
                                font.pixelSize: 24
                                font.bold: true
                            }
                            Text {
                                Layout.fillWidth: true
                                text: "Search, inspect, and toggle the final package set."
                                color: window.textSecondary
                                font.pixelSize: 13
                            }
                        }

                        ThemeTextField {
                            id: searchField
                            objectName: "searchField"
                            Layout.preferredWidth: 360
                            enabled: !installer.busy // qmllint disable unqualified
                            placeholderText: "Search packages, versions, toolchains, or descriptions"
                            text: installer.searchText // qmllint disable unqualified
                            onTextChanged: installer.searchText = text // qmllint disable unqualified
                        }
                    }

                    RowLayout {
                        spacing: 12

                        MetricCard {
                            objectName: "installMetric"
                            Layout.fillWidth: true
                            Layout.preferredWidth: 1
                            value: String(installer.installCount) // qmllint disable unqualified
                            label: "New installs"
                        }
                        MetricCard {
                            objectName: "upgradeMetric"
                            Layout.fillWidth: true
                            Layout.preferredWidth: 1
                            value: String(installer.upgradeCount) // qmllint disable unqualified
                            label: "Upgrades"
                        }
                        MetricCard {
                            objectName: "removeMetric"
                            Layout.fillWidth: true
                            Layout.preferredWidth: 1
                            value: String(installer.removeCount) // qmllint disable unqualified
                            label: "Removals"
                        }
                    }

                    Rectangle {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        radius: window.radiusSurface
                        color: window.panelAlt
                        border.width: 1
                        border.color: window.edge

                        ColumnLayout {
                            anchors.fill: parent
                            anchors.margins: 12
                            spacing: 0

                            // Column captions over the rows' cells; the caption widths are the rows'.
                            Row {
                                id: columnHeader

                                Layout.fillWidth: true
                                Layout.leftMargin: 14
                                Layout.rightMargin: 8
                                Layout.topMargin: 2
                                Layout.bottomMargin: 4
                                spacing: 8

                                Item {
                                    width: 28
                                    height: 1
                                }
                                Text {
                                    width: Math.max(240, packageList.width * 0.34)
                                    text: "Package"
                                    color: window.textSecondary
                                    font.pixelSize: 11
                                    font.bold: true
                                }
                                Text {
                                    width: 92
                                    text: "Version"
                                    color: window.textSecondary
                                    font.pixelSize: 11
                                    font.bold: true
                                }
                                Text {
                                    width: 110
                                    text: "Internal version"
                                    color: window.textSecondary
                                    font.pixelSize: 11
                                    font.bold: true
                                }
                                Text {
                                    width: Math.max(0, columnHeader.width - x)
                                    text: "Toolchain"
                                    color: window.textSecondary
                                    font.pixelSize: 11
                                    font.bold: true
                                }
                            }

                            Rectangle {
                                Layout.fillWidth: true
                                Layout.preferredHeight: 1
                                color: window.edge
                            }

                            ListView {
                                id: packageList
                                objectName: "packageList"

                                // The offset the last check-box click left the list at; every rebuild
                                // returns there, clamped to the new content.
                                property real preservedContentY: 0

                                function preserveScrollPosition() {
                                    preservedContentY = contentY
                                }

                                function restoreScrollPosition() {
                                    // Model changes are laid out once per frame; the clamp needs the
                                    // content height of the rows just published.
                                    forceLayout()
                                    const bottom = Math.max(0, contentHeight - height)
                                    contentY = Math.max(0, Math.min(preservedContentY, bottom))
                                }

                                Layout.fillWidth: true
                                Layout.fillHeight: true
                                Layout.topMargin: 4
                                clip: true
                                spacing: 0
                                boundsBehavior: Flickable.StopAtBounds
                                // Rows are compared with the shown ones, so a tick updates the rows it
                                // changed instead of rebuilding the whole view.
                                model: EntryListModel {
                                    entries: installer.packageEntries // qmllint disable unqualified
                                }
                                ScrollBar.vertical: ScrollBar {}

                                delegate: Loader {
                                    id: rowLoader

                                    required property var entry

                                    function pushEntry() {
                                        if (item && "entry" in item)
                                            item.entry = entry
                                    }

                                    width: ListView.view.width
                                    sourceComponent: entry.kind === "group" ? groupDelegate : packageDelegate
                                    onLoaded: pushEntry()
                                    onEntryChanged: pushEntry()
                                }
                            }
                        }
                    }
                }
            }

            ColumnLayout {
                Layout.preferredWidth: 470
                Layout.minimumWidth: 470
                Layout.maximumWidth: 470
                Layout.fillHeight: true
                spacing: 14

                Surface {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumHeight: 250
                    Layout.preferredHeight: 320

                    ColumnLayout {
                        anchors.fill: parent
                        anchors.margins: 16
                        spacing: 10

                        RowLayout {
                            spacing: 10

                            Text {
                                text: "Apply Summary"
                                color: window.textPrimary
                                font.pixelSize: 20
                                font.bold: true
                            }
                            Item {
                                Layout.fillWidth: true
                            }
                            Pill {
                                objectName: "statusPill"
                                label: installer.statusText // qmllint disable unqualified
                                maxTextWidth: 210
                                fill: "#1c2835"
                                foreground: window.textSecondary
                            }
                        }

                        TextWell {
                            id: summaryScroll
                            objectName: "summaryScroll"
                            Layout.fillWidth: true
                            Layout.fillHeight: true
                            textEditObjectName: "summaryTextEdit"
                            wrapMode: TextEdit.WrapAnywhere
                        }

                        AccentButton {
                            id: applyButton
                            objectName: "applyButton"
                            Layout.fillWidth: true
                            Layout.preferredHeight: 42
                            text: installer.busy ? "Applying..." : "Apply Changes" // qmllint disable unqualified
                            enabled: installer.hasChanges && !installer.busy && rootField.text.trim().length > 0 // qmllint disable unqualified
                            onClicked: window.requestApply()
                        }
                    }
                }

                Surface {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumHeight: 220
                    Layout.preferredHeight: 260

                    ColumnLayout {
                        anchors.fill: parent
                        anchors.margins: 16
                        spacing: 10

                        Text {
                            text: "CMake Help"
                            color: window.textPrimary
                            font.pixelSize: 20
                            font.bold: true
                        }

                        TextWell {
                            objectName: "cmakeHelpScroll"
                            Layout.fillWidth: true
                            Layout.fillHeight: true
                            textEditObjectName: "cmakeHelpTextEdit"
                            text: installer.cmakeHelpText // qmllint disable unqualified
                            wrapMode: TextEdit.Wrap
                        }
                    }
                }
            }
        }
    }

    // qmllint disable unqualified
    Component {
        id: groupDelegate

        Item {
            id: groupRow

            property var entry: ({})

            width: packageList.width
            height: 34

            Row {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 12

                Text {
                    text: groupRow.entry.groupName ?? ""
                    color: "#aeb9cb"
                    font.pixelSize: 12
                    font.bold: true
                    font.letterSpacing: 0.8
                }
                Rectangle {
                    y: 10
                    width: packageList.width - 140
                    height: 1
                    color: "#283445"
                }
            }
        }
    }

    Component {
        id: packageDelegate

        Item {
            id: packageRow

            property var entry: ({})
            readonly property int checkColumnWidth: 28
            readonly property int indentWidth: (entry.depth ?? 0) * 28
            readonly property real hierarchyColumnWidth: Math.max(240, packageList.width * 0.34)
            readonly property real nameColumnWidth: Math.max(96, hierarchyColumnWidth - indentWidth)
            readonly property int versionColumnWidth: 92
            readonly property int internalVersionColumnWidth: 110

            width: packageList.width
            height: card.height

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
                color: packageRow.entry.active ? "#18222d" : "transparent"
                border.width: 1
                border.color: packageRow.entry.active ? "#365066" : "#00000000"

                MouseArea {
                    anchors.fill: parent
                    onClicked: installer.selectPackage(packageRow.entry.packageId)
                }

                RowLayout {
                    id: contentRow

                    anchors.fill: parent
                    anchors.leftMargin: 8
                    anchors.rightMargin: 8
                    anchors.topMargin: 4
                    anchors.bottomMargin: 4
                    spacing: 8

                    Item {
                        Layout.preferredWidth: packageRow.checkColumnWidth
                        Layout.fillHeight: true

                        PackageCheck {
                            objectName: "packageCheck"
                            anchors.centerIn: parent
                            checked: packageRow.entry.checked ?? false
                            onToggled: {
                                packageList.preserveScrollPosition()
                                installer.togglePackage(packageRow.entry.packageId, !packageRow.entry.checked)
                            }
                        }
                    }

                    // The indent is the name cell's left margin rather than a cell of its own, so that
                    // the row's spacing does not shift child rows' columns away from the header's.
                    Text {
                        objectName: "nameCell"
                        Layout.leftMargin: packageRow.indentWidth
                        Layout.preferredWidth: packageRow.nameColumnWidth
                        Layout.minimumWidth: packageRow.nameColumnWidth
                        Layout.maximumWidth: packageRow.nameColumnWidth
                        Layout.alignment: Qt.AlignVCenter
                        text: packageRow.entry.title ?? ""
                        color: "#eef4ff"
                        font.pixelSize: 13
                        font.bold: true
                        elide: Text.ElideRight
                    }
                    Text {
                        Layout.preferredWidth: packageRow.versionColumnWidth
                        Layout.minimumWidth: packageRow.versionColumnWidth
                        text: packageRow.entry.version ?? ""
                        color: "#aeb9cb"
                        font.pixelSize: 12
                        elide: Text.ElideRight
                    }
                    Text {
                        Layout.preferredWidth: packageRow.internalVersionColumnWidth
                        Layout.minimumWidth: packageRow.internalVersionColumnWidth
                        Layout.maximumWidth: packageRow.internalVersionColumnWidth
                        text: packageRow.entry.internalVersion ?? ""
                        color: "#aeb9cb"
                        font.pixelSize: 12
                        elide: Text.ElideRight
                    }
                    Text {
                        Layout.fillWidth: true
                        text: packageRow.entry.toolchain ?? ""
                        color: "#7f8aa0"
                        font.pixelSize: 12
                        elide: Text.ElideRight
                    }
                    Row {
                        spacing: 6

                        Pill {
                            objectName: "actionPill"
                            label: packageRow.entry.action ?? ""
                            fill: window.actionFill(packageRow.entry.actionKey ?? "")
                            foreground: window.actionText(packageRow.entry.actionKey ?? "")
                        }
                        Pill {
                            objectName: "statusPill"
                            label: packageRow.entry.status ?? ""
                            fill: window.statusFill(packageRow.entry.statusKey ?? "")
                            foreground: window.statusTextColor(packageRow.entry.statusKey ?? "")
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
                    color: "#243241"
                }
            }
        }
    }

    // qmllint enable unqualified

    // While an apply runs: a translucent layer with the status line and the download rows. It takes no
    // pointer input; the editing controls beneath are disabled while busy instead.
    Rectangle {
        id: busyOverlay
        objectName: "busyOverlay"

        anchors.fill: parent
        z: 80
        color: "#82060a10"
        visible: installer.busy // qmllint disable unqualified

        Surface {
            objectName: "busyCard"
            anchors.centerIn: parent
            width: 620
            height: installer.downloadEntries.length > 0 ? 360 : 210 // qmllint disable unqualified
            color: "#15202b"

            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 24
                spacing: 18

                Text {
                    text: "Applying package changes"
                    color: window.textPrimary
                    font.pixelSize: 20
                    font.bold: true
                }

                Text {
                    objectName: "busyStatusText"
                    Layout.fillWidth: true
                    text: installer.statusText // qmllint disable unqualified
                    color: window.textSecondary
                    font.pixelSize: 13
                    wrapMode: Text.Wrap
                }

                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 1
                    visible: downloadRepeater.count > 0
                    color: window.edge
                }

                ScrollView {
                    id: downloadScroll

                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    visible: downloadRepeater.count > 0
                    clip: true
                    contentWidth: availableWidth
                    ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
                    background: Rectangle {
                        radius: window.radiusPanel
                        color: window.panelAlt
                        border.width: 1
                        border.color: window.edge
                    }

                    Column {
                        width: downloadScroll.availableWidth
                        spacing: 0

                        Repeater {
                            id: downloadRepeater

                            model: installer.downloadEntries // qmllint disable unqualified

                            // qmllint disable unqualified
                            delegate: Rectangle {
                                id: downloadRow

                                required property var modelData

                                width: downloadScroll.availableWidth
                                height: 44
                                color: "transparent"

                                RowLayout {
                                    anchors.fill: parent
                                    anchors.leftMargin: 14
                                    anchors.rightMargin: 14
                                    spacing: 12

                                    Text {
                                        Layout.fillWidth: true
                                        text: downloadRow.modelData.title ?? ""
                                        color: window.textPrimary
                                        font.pixelSize: 13
                                        font.bold: true
                                        elide: Text.ElideRight
                                    }

                                    Item {
                                        Layout.preferredWidth: downloadRow.modelData.completed || downloadRow.modelData.active ? 18 : 0
                                        Layout.preferredHeight: 18

                                        BusyIndicator {
                                            anchors.fill: parent
                                            padding: 0
                                            visible: running
                                            running: downloadRow.modelData.active ?? false
                                        }
                                        Text {
                                            anchors.centerIn: parent
                                            visible: downloadRow.modelData.completed ?? false
                                            text: "v"
                                            color: window.successText
                                            font.pixelSize: 14
                                            font.bold: true
                                        }
                                    }

                                    Text {
                                        objectName: "downloadStatus"
                                        Layout.preferredWidth: 110
                                        Layout.minimumWidth: 110
                                        Layout.maximumWidth: 110
                                        horizontalAlignment: Text.AlignRight
                                        text: downloadRow.modelData.completed ? "Done" : (downloadRow.modelData.statusText ?? "")
                                        color: downloadRow.modelData.completed ? window.successText
                                             : downloadRow.modelData.active ? window.accentStrong : window.textMuted
                                        font.pixelSize: 12
                                        font.bold: downloadRow.modelData.active || downloadRow.modelData.completed
                                        elide: Text.ElideRight
                                    }
                                }

                                Rectangle {
                                    anchors.left: parent.left
                                    anchors.right: parent.right
                                    anchors.bottom: parent.bottom
                                    anchors.leftMargin: 12
                                    anchors.rightMargin: 12
                                    height: 1
                                    color: window.edge
                                    opacity: 0.75
                                }
                            }
                            // qmllint enable unqualified
                        }
                    }
                }
            }
        }
    }

    Popup {
        id: messagePopup
        objectName: "messagePopup"

        property string titleText: ""
        property string bodyText: ""

        parent: Overlay.overlay
        anchors.centerIn: parent
        width: 720
        height: 520
        z: 90
        modal: true
        focus: true
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        padding: 0
        background: Surface {
            color: "#17212d"
        }

        contentItem: Item {
            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 22
                spacing: 16

                Text {
                    Layout.fillWidth: true
                    text: messagePopup.titleText
                    color: window.textPrimary
                    font.pixelSize: 24
                    font.bold: true
                }

                TextWell {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    textEditObjectName: "messageTextEdit"
                    text: messagePopup.bodyText
                    textColor: window.textSecondary
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
                        onClicked: messagePopup.close()
                    }
                }
            }
        }
    }

    Popup {
        id: confirmPopup
        objectName: "confirmPopup"

        property string bodyText: ""

        parent: Overlay.overlay
        anchors.centerIn: parent
        width: 520
        height: 250
        z: 91
        modal: true
        focus: true
        closePolicy: Popup.CloseOnEscape
        padding: 0
        background: Surface {
            color: "#17212d"
        }

        contentItem: Item {
            ColumnLayout {
                anchors.fill: parent
                anchors.margins: 22
                spacing: 18

                Text {
                    text: "Confirm Removal"
                    color: window.textPrimary
                    font.pixelSize: 24
                    font.bold: true
                }

                Text {
                    objectName: "confirmBodyText"
                    Layout.fillWidth: true
                    text: confirmPopup.bodyText
                    color: window.textSecondary
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
                        onClicked: confirmPopup.close()
                    }
                    AccentButton {
                        objectName: "confirmContinueButton"
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        text: "Continue"
                        onClicked: {
                            confirmPopup.close()
                            installer.apply() // qmllint disable unqualified
                        }
                    }
                }
            }
        }
    }

    Connections {
        target: installer // qmllint disable unqualified

        function onPackageEntriesChanged() {
            // After the list has taken the new model, which puts it back at the top. The linter cannot
            // tell that Qt.callLater, declared as a script value, is a method.
            Qt.callLater(packageList.restoreScrollPosition) // qmllint disable
        }

        function onRootPathChanged() {
            if (rootField.text !== installer.rootPath) // qmllint disable unqualified
                rootField.text = installer.rootPath // qmllint disable unqualified
        }

        function onSearchTextChanged() {
            if (searchField.text !== installer.searchText) // qmllint disable unqualified
                searchField.text = installer.searchText // qmllint disable unqualified
        }

        function onSummaryTextChanged() {
            window.summaryOutdated = true
            window.update()
        }

        function onMessageRequested(title: string, message: string) {
            messagePopup.titleText = title
            messagePopup.bodyText = message
            messagePopup.open()
        }
    }
}
