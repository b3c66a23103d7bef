import QtQuick
import QtQuick.Controls.Basic

// A rounded-border text field in the dark style.
TextField {
    id: field

    color: Theme.ink
    placeholderTextColor: Theme.withAlpha(Theme.muted, 0.7)
    selectionColor: Theme.withAlpha(Theme.cyan, 0.35)
    selectedTextColor: Theme.ink
    font.pixelSize: 13
    leftPadding: 8
    rightPadding: 8
    topPadding: 5
    bottomPadding: 5

    background: Rectangle {
        implicitWidth: 120
        implicitHeight: 28
        radius: 6
        color: Theme.consoleFill
        border.width: 1
        border.color: field.activeFocus ? Theme.cyan : Theme.lineBright
    }
}
