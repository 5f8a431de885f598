import QtQuick

// A small rounded label: a package's action or status, the installer's state, the status line.
Rectangle {
    id: pill

    property string label: ""
    property color fill: Theme.neutralFill
    property color foreground: Theme.neutralText
    // Above 0, the text is elided at this width.
    property int maxTextWidth: -1

    implicitWidth: (maxTextWidth > 0 ? Math.min(pillText.implicitWidth, maxTextWidth)
                                     : pillText.implicitWidth) + 24
    implicitHeight: 26
    radius: Theme.radiusControl
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
