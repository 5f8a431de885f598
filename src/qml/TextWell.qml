pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import CompanyVexaInstaller

// A read-only, selectable text well: the plan summary, the CMake help and the message popup's body.
// Only the lines in view exist as items (WellLine), so a summary of thousands of lines lays out a
// screenful when it changes. It is read and copied as a read-only text edit is: drag to select, double-click for a
// word, Shift+click to extend, Ctrl+A for all and Ctrl+C to copy; the selection goes when the well
// loses the focus or its text changes. "Consolas" keeps the summary's and the guidance's columns
// aligned; where it is missing, start-up substitutes the system's fixed-pitch family.
ScrollView {
    id: well

    property string text
    property string accessibleName
    property color textColor: Theme.textPrimary
    property int wrapMode: TextEdit.Wrap
    property alias textObjectName: lines.objectName

    clip: true
    ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
    background: Rectangle {
        radius: Theme.radiusPanel
        color: Theme.panelAlt
        border.width: 1
        border.color: Theme.edge
    }

    ListView {
        id: lines

        // What the well shows, as a text edit would tell it.
        readonly property string text: lineModel.text
        readonly property font font: Qt.font({ family: "Consolas", pixelSize: 12 })
        readonly property int lineCount: count

        // The selection runs from where the press began (the anchor) to the pointer (the cursor), as
        // line and column; there is none while both are the same.
        property int anchorLine: 0
        property int anchorColumn: 0
        property int cursorLine: 0
        property int cursorColumn: 0
        readonly property bool cursorFirst: cursorLine < anchorLine
                                            || (cursorLine === anchorLine && cursorColumn < anchorColumn)
        readonly property int startLine: cursorFirst ? cursorLine : anchorLine
        readonly property int startColumn: cursorFirst ? cursorColumn : anchorColumn
        readonly property int endLine: cursorFirst ? anchorLine : cursorLine
        readonly property int endColumn: cursorFirst ? anchorColumn : cursorColumn

        function selectRange(fromLine: int, fromColumn: int, toLine: int, toColumn: int) {
            anchorLine = fromLine
            anchorColumn = fromColumn
            cursorLine = toLine
            cursorColumn = toColumn
        }

        function moveCursor(at: point) {
            cursorLine = at.y
            cursorColumn = at.x
        }

        // The column (x) and line (y) under a point of the view.
        function positionAt(x: real, y: real): point {
            let line = indexAt(0, y + contentY)
            if (line < 0)
                line = y + contentY < 0 ? 0 : count - 1
            const item = itemAtIndex(line) as Text
            if (!item)
                return Qt.point(0, line)
            const local = mapToItem(item, x, y)
            probe.text = item.text
            return Qt.point(probe.positionAt(local.x, local.y), line)
        }

        // Lines are cheap to make as they scroll into view; none is made ahead of it.
        cacheBuffer: 0
        topMargin: 12
        bottomMargin: 12
        leftMargin: 12
        rightMargin: 12
        boundsBehavior: Flickable.StopAtBounds
        keyNavigationEnabled: false
        Accessible.role: Accessible.List
        Accessible.name: well.accessibleName
        model: TextLinesModel {
            id: lineModel

            text: well.text
            onTextChanged: lines.selectRange(0, 0, 0, 0)
        }
        delegate: WellLine {
            width: lines.width - lines.leftMargin - lines.rightMargin
            wrapMode: well.wrapMode
            font: lines.font
            textColor: well.textColor
            selectedFrom: index < lines.startLine || index > lines.endLine ? -1
                          : index === lines.startLine ? lines.startColumn : 0
            selectedTo: index === lines.endLine ? Math.min(lines.endColumn, line.length) : line.length
        }

        // Finds the column under a point of a line, which is a plain text.
        TextEdit {
            id: probe

            parent: lines
            visible: false
            width: lines.width - lines.leftMargin - lines.rightMargin
            textFormat: TextEdit.PlainText
            wrapMode: well.wrapMode
            font: lines.font
        }

        // Over the view (not its content) and above the lines: selection by the mouse; wheel events pass
        // on to the view.
        MouseArea {
            parent: lines
            anchors.fill: parent
            z: 2
            preventStealing: true
            cursorShape: Qt.IBeamCursor
            Keys.onPressed: event => {
                if (event.matches(StandardKey.Copy)) {
                    lineModel.copy(lines.startLine, lines.startColumn, lines.endLine, lines.endColumn)
                    event.accepted = true
                } else if (event.matches(StandardKey.SelectAll)) {
                    lines.selectRange(0, 0, lines.count - 1, lineModel.lineLength(lines.count - 1))
                    event.accepted = true
                }
            }
            onActiveFocusChanged: {
                if (!activeFocus)
                    lines.selectRange(0, 0, 0, 0)
            }
            onPressed: mouse => {
                forceActiveFocus(Qt.MouseFocusReason)
                const at = lines.positionAt(mouse.x, mouse.y)
                if (mouse.modifiers & Qt.ShiftModifier)
                    lines.moveCursor(at)
                else
                    lines.selectRange(at.y, at.x, at.y, at.x)
            }
            onPositionChanged: mouse => lines.moveCursor(lines.positionAt(mouse.x, mouse.y))
            onDoubleClicked: mouse => {
                const at = lines.positionAt(mouse.x, mouse.y)
                const word = lineModel.wordAt(at.y, at.x)
                lines.selectRange(at.y, word.x, at.y, word.y)
            }
        }
    }
}
