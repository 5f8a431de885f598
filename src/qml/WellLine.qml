import QtQuick

// One line of a text well: a plain text, with a text edit over it only while the line holds part of
// the selection, which the text edit draws as it draws its own (a text edit costs far more to make).
Text {
    id: wellLine

    required property string line
    required property int index
    property color textColor: Theme.textPrimary
    // The line's part of the selection: columns [selectedFrom, selectedTo), none for -1.
    property int selectedFrom: -1
    property int selectedTo: -1

    text: line
    textFormat: Text.PlainText
    color: selection.active ? Theme.clear : textColor

    Loader {
        id: selection

        anchors.fill: parent
        active: wellLine.selectedFrom >= 0 && wellLine.selectedFrom < wellLine.selectedTo
        source: active ? "SelectionLine.qml" : ""
    }
}
