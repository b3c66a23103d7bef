import QtQuick
import QtQuick.Layouts

// The branded band at the top: wordmark, product name, version pill and two soft glows.
Rectangle {
    id: header

    // Build identity (AppIdentity): wordmark, product, version.
    property var identity
    // Room at the leading edge: 78 where the window's buttons sit over a hidden title bar.
    property real leadingPadding: 18
    // After the version pill: the menu button where there is no menu bar.
    default property alias trailingContent: trailing.data

    color: Theme.background
    implicitHeight: row.implicitHeight + 28
    clip: true

    Canvas {
        id: glows
        anchors.fill: parent
        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            function glow(cx, cy, radius, colour) {
                const gradient = ctx.createRadialGradient(cx, cy, 0, cx, cy, radius)
                gradient.addColorStop(0, Qt.rgba(colour.r, colour.g, colour.b, 0.10))
                gradient.addColorStop(1, Qt.rgba(colour.r, colour.g, colour.b, 0))
                ctx.fillStyle = gradient
                ctx.fillRect(cx - radius, cy - radius, 2 * radius, 2 * radius)
            }
            // 360 x 360 frame at the top-leading corner offset by (-60, -140).
            glow(-60 + 180, -140 + 180, 180, Theme.cyan)
            // 320 x 320 frame at the top-trailing corner offset by (60, -120).
            glow(width - 320 + 60 + 160, -120 + 160, 160, Theme.violet)
        }
    }

    RowLayout {
        id: row
        spacing: 12
        anchors.fill: parent
        anchors.leftMargin: header.leadingPadding
        anchors.rightMargin: 18
        anchors.topMargin: 14
        anchors.bottomMargin: 14

        ColumnLayout {
            spacing: 0
            Layout.alignment: Qt.AlignVCenter

            Item {
                id: wordmark
                objectName: "wordmark"
                property string text: header.identity ? header.identity.wordmark : ""
                implicitWidth: metrics.implicitWidth
                implicitHeight: metrics.implicitHeight

                Text {
                    id: metrics
                    text: wordmark.text
                    font.pixelSize: 24
                    font.bold: true
                    font.family: "sans-serif"
                    visible: false
                }
                // The gradient masked by the text.
                Canvas {
                    anchors.fill: parent
                    property string shown: wordmark.text
                    onShownChanged: requestPaint()
                    onWidthChanged: requestPaint()
                    onPaint: {
                        const ctx = getContext("2d")
                        ctx.reset()
                        const gradient = ctx.createLinearGradient(0, 0, width, 0)
                        gradient.addColorStop(0, Theme.cyan)
                        gradient.addColorStop(1, Theme.violet)
                        ctx.fillStyle = gradient
                        // Context2D takes only installed or generic family names.
                        ctx.font = "bold 24px sans-serif"
                        ctx.textBaseline = "alphabetic"
                        ctx.fillText(shown, 0, metrics.baselineOffset)
                    }
                }
            }
            Text {
                objectName: "productName"
                text: header.identity ? header.identity.product : ""
                color: Theme.muted
                font.pixelSize: 12
            }
        }

        Item { Layout.fillWidth: true }

        Rectangle {
            objectName: "versionPill"
            implicitWidth: versionText.implicitWidth + 24
            implicitHeight: versionText.implicitHeight + 10
            radius: height / 2
            color: Theme.elevated
            border.color: Theme.lineBright
            border.width: 1

            Text {
                id: versionText
                anchors.centerIn: parent
                text: "v" + (header.identity ? header.identity.version : "")
                color: Theme.cyan
                font.pixelSize: 11
                font.weight: Font.DemiBold
                font.family: Theme.monospaceFamily
            }
        }
        Row {
            id: trailing
            visible: children.length > 0
        }
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: Theme.line
    }
}
