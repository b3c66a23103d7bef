import QtQuick
import QtQuick.Templates as T

// The body every button style shares; the styles only choose the colours.
T.Button {
    id: control

    property color fillColor
    property color pressedFillColor
    property color borderColor
    property color foregroundColor

    font.pixelSize: 13
    font.weight: Font.Medium
    leftPadding: 14
    rightPadding: 14
    topPadding: 7
    bottomPadding: 7
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    hoverEnabled: true

    contentItem: Text {
        text: control.text
        font: control.font
        color: control.enabled ? control.foregroundColor : Theme.withAlpha(Theme.muted, 0.5)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        radius: 7
        color: !control.enabled ? Theme.withAlpha(Theme.elevated, 0.4)
                                : control.down ? control.pressedFillColor : control.fillColor
        border.width: 1
        border.color: control.enabled ? control.borderColor : Theme.line

        FocusRing { visible: control.visualFocus; radius: 9 }
    }
}
