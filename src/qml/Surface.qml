import QtQuick

// A rounded panel with a thin edge. Its users may fill it differently.
Rectangle {
    radius: Theme.radiusSurface
    color: Theme.panel
    border.width: 1
    border.color: Theme.edge
}
