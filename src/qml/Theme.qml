pragma Singleton

import QtQuick

// The window's palette, corner radii and the colour rules of the pills: every colour the window
// shows is named here, and nowhere else.
QtObject {
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

    // Colours of one place each.
    readonly property color glowLarge: "#124466"
    readonly property color glowSmall: "#0f3548"
    readonly property color headerTop: "#1d2a39"
    readonly property color headerMiddle: "#162230"
    readonly property color headerBottom: "#111a25"
    // The "Applying" pill and the "recommended" status.
    readonly property color busyFill: "#17324a"
    readonly property color statusPillFill: "#1c2835"
    readonly property color accentButtonFill: "#1f80be"
    readonly property color accentButtonEdge: "#58cfff"
    // A pressed ghost button and a disabled accent button.
    readonly property color pressedFill: "#243140"
    readonly property color disabledEdge: "#202834"
    readonly property color activeRowFill: "#18222d"
    readonly property color activeRowEdge: "#365066"
    readonly property color rowDivider: "#243241"
    readonly property color busyShade: "#82060a10"
    readonly property color busyCardFill: "#15202b"
    readonly property color popupFill: "#17212d"
    readonly property color clear: "transparent"

    readonly property int radiusSurface: 8
    readonly property int radiusPanel: 6
    readonly property int radiusControl: 4
    readonly property int radiusSmall: 2

    // Drawn around the control that has the keyboard's focus.
    readonly property color focusRing: accent
    readonly property int focusRingWidth: 2

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
            return busyFill
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
}
