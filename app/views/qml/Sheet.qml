import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T

// A modal panel over the window, centred, on a dimmed backdrop.
Popup {
    id: sheet

    modal: true
    focus: true
    dim: true
    anchors.centerIn: T.Overlay.overlay
    // The border of the background stays visible around the content.
    padding: 1
    // Keep the whole sheet reachable in the smallest window.
    height: Math.min(implicitHeight, parent ? parent.height - 40 : implicitHeight)

    background: Rectangle {
        color: Theme.background
        radius: 10
        border.width: 1
        border.color: Theme.lineBright
    }
    T.Overlay.modal: Rectangle { color: Theme.withAlpha(Theme.background, 0.6) }
}
