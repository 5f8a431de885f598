import QtQuick

// The package list's column widths, shared by the caption row and every package row so that the
// columns line up. The name column takes the larger of 240 px and a third of the list, but gives way
// first where the list is narrow: at the window's minimum size the fixed columns, a toolchain column
// that shows its text whole and the widest pair of pills would not fit beside it, so it narrows (to
// 96 px at least) and its names elide.
QtObject {
    required property real listWidth

    readonly property int spacing: 8
    readonly property int checkWidth: 28
    readonly property int versionWidth: 92
    readonly property int internalVersionWidth: 110
    // One level of the package tree.
    readonly property int indentStep: 28
    readonly property int minimumNameWidth: 96
    // Kept free for the toolchain ("msvc2022_64", "Header Only") and the widest action and status
    // pills ("Upgrade", "Available") with the space between them.
    readonly property int toolchainMinimumWidth: 84
    readonly property int pillsWidth: 164
    // A row's content is inset by its card (6 left, 4 right) and the card's padding (8 each side).
    readonly property int rowInset: 26

    // The check column's right edge to the name column's: the indent and the name.
    readonly property real hierarchyWidth: {
        const fixed = checkWidth + versionWidth + internalVersionWidth + 5 * spacing + toolchainMinimumWidth
                + pillsWidth
        const room = listWidth - rowInset - fixed
        return Math.max(minimumNameWidth, Math.min(Math.max(240, listWidth * 0.34), room))
    }

    function nameWidth(depth: int): real {
        return Math.max(minimumNameWidth, hierarchyWidth - depth * indentStep)
    }
}
