import QtQuick
import QtQuick.Templates as T

// A menu entry in the dark style, with its shortcut at the right. A disabled entry is
// dimmed; a hidden one takes no room and no arrow-key stop.
T.MenuItem {
    id: item

    property string shortcutText: ""
    // Whether the entry is there at all, and whether it can be chosen now. The menu's
    // arrow keys skip what is disabled, so a hidden entry is disabled too.
    property bool shown: true
    property bool active: true

    visible: shown
    enabled: shown && active
    height: shown ? implicitHeight : 0
    implicitWidth: Math.max(220, label.implicitWidth + keys.implicitWidth + leftPadding + rightPadding + 24)
    implicitHeight: 30
    leftPadding: 12
    rightPadding: 12
    font.pixelSize: 13

    contentItem: Item {
        Text {
            id: label
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: item.text
            font: item.font
            color: item.enabled ? Theme.ink : Theme.withAlpha(Theme.muted, 0.5)
        }
        Text {
            id: keys
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: item.shortcutText
            font.pixelSize: 12
            color: item.enabled ? Theme.muted : Theme.withAlpha(Theme.muted, 0.4)
        }
    }
    background: Rectangle {
        x: 1
        y: 1
        width: item.width - 2
        height: item.height - 2
        radius: 4
        color: item.down ? Theme.withAlpha(Theme.cyan, 0.3)
                         : item.highlighted ? Theme.withAlpha(Theme.cyan, 0.18) : "transparent"
    }
}
