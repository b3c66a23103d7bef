pragma Singleton
import QtQuick

// The one fixed dark palette; every value is an exact multiple of 1/255.
QtObject {
    readonly property color background: Qt.rgba(4 / 255, 6 / 255, 15 / 255, 1)
    readonly property color elevated: Qt.rgba(10 / 255, 16 / 255, 48 / 255, 1)
    readonly property color surface: Qt.rgba(12 / 255, 18 / 255, 48 / 255, 1)
    readonly property color line: Qt.rgba(28 / 255, 37 / 255, 71 / 255, 1)
    readonly property color lineBright: Qt.rgba(44 / 255, 58 / 255, 107 / 255, 1)
    // The palette's "console" colour; that word is reserved in QML.
    readonly property color consoleFill: Qt.rgba(5 / 255, 7 / 255, 15 / 255, 1)
    readonly property color ink: Qt.rgba(234 / 255, 240 / 255, 255 / 255, 1)
    readonly property color muted: Qt.rgba(147 / 255, 160 / 255, 207 / 255, 1)
    readonly property color cyan: Qt.rgba(34 / 255, 211 / 255, 238 / 255, 1)
    readonly property color violet: Qt.rgba(168 / 255, 85 / 255, 247 / 255, 1)
    readonly property color danger: Qt.rgba(255 / 255, 157 / 255, 157 / 255, 1)
    readonly property color success: Qt.rgba(110 / 255, 231 / 255, 183 / 255, 1)
    readonly property color warning: Qt.rgba(252 / 255, 211 / 255, 77 / 255, 1)

    // Sizes are points on macOS and logical pixels elsewhere, so pixelSize keeps them exact.
    readonly property string monospaceFamily: Qt.platform.os === "osx" ? "Menlo" : "monospace"

    function withAlpha(colour, alpha) {
        return Qt.rgba(colour.r, colour.g, colour.b, alpha)
    }

    // Licence keys to badge texts and colours; unknown keys show as written, muted.
    function licenceLabel(key) {
        switch (key) {
        case "open-source": return "Open source"
        case "freeware": return "Freeware"
        case "free-personal": return "Free (personal)"
        case "free-tier": return "Free tier"
        default: return key
        }
    }

    function licenceColor(key) {
        switch (key) {
        case "open-source": return success
        case "freeware": return cyan
        case "free-personal": return warning
        default: return muted
        }
    }
}
