import QtQuick
import QtQuick.Controls.Basic

// The link to an entry's homepage: an arrow pointing up and right out of a rounded
// square, with the address as hover help.
Item {
    id: link

    property string url

    implicitWidth: 16
    implicitHeight: 16
    activeFocusOnTab: true
    Keys.onReturnPressed: Qt.openUrlExternally(url)
    Keys.onSpacePressed: Qt.openUrlExternally(url)

    Canvas {
        id: icon
        anchors.fill: parent
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.strokeStyle = Theme.cyan
            ctx.lineWidth = 1.4
            ctx.lineCap = "round"
            ctx.lineJoin = "round"
            const w = width, h = height, r = 3.5
            // The box, inset by half a line so its edge stays sharp.
            ctx.beginPath()
            ctx.roundedRect(0.7, 0.7, w - 1.4, h - 1.4, r, r)
            ctx.stroke()
            // The arrow: a diagonal from the lower left to the upper right, and its head.
            ctx.beginPath()
            ctx.moveTo(w * 0.32, h * 0.68)
            ctx.lineTo(w * 0.68, h * 0.32)
            ctx.moveTo(w * 0.40, h * 0.32)
            ctx.lineTo(w * 0.68, h * 0.32)
            ctx.lineTo(w * 0.68, h * 0.60)
            ctx.stroke()
        }
    }
    FocusRing { visible: link.activeFocus; radius: 6 }
    MouseArea {
        id: area
        anchors.fill: parent
        anchors.margins: -3
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: Qt.openUrlExternally(link.url)
    }
    ToolTip.visible: area.containsMouse
    ToolTip.delay: 600
    ToolTip.text: link.url
}
