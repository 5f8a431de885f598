import QtQuick

// The text edit a well line gets while it holds part of the selection: the line's text once more,
// with the selection drawn as a text edit draws it.
TextEdit {
    id: selectionLine

    // The line it draws: the parent of its loader.
    readonly property WellLine owner: parent?.parent as WellLine

    function showSelection() {
        select(owner.selectedFrom, owner.selectedTo)
    }

    text: owner.line
    readOnly: true
    activeFocusOnPress: false
    persistentSelection: true
    textFormat: TextEdit.PlainText
    wrapMode: owner.wrapMode
    font: owner.font
    color: owner.textColor
    selectionColor: Theme.accent
    selectedTextColor: Theme.pageTop
    Component.onCompleted: showSelection()

    Connections {
        target: selectionLine.owner

        function onSelectedFromChanged() {
            selectionLine.showSelection()
        }
        function onSelectedToChanged() {
            selectionLine.showSelection()
        }
    }
}
