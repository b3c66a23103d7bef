import QtQuick
import QtQuick.Controls.Basic

// A check box that only shows `checked` and reports clicks; the model decides the value,
// so the box never holds a state of its own that could drift from the model.
Item {
    id: box

    property bool checked: false
    property string help: ""
    signal toggled(bool value)

    implicitWidth: 16
    implicitHeight: 16
    activeFocusOnTab: enabled
    opacity: enabled ? 1 : 0.4

    Rectangle {
        anchors.fill: parent
        radius: 4
        color: box.checked ? Theme.cyan : Theme.elevated
        border.width: 1
        border.color: box.checked ? Theme.cyan : (area.containsMouse && box.enabled ? Theme.cyan
                                                                                   : Theme.lineBright)

        Text {
            anchors.centerIn: parent
            visible: box.checked
            text: "✓"
            color: Theme.background
            font.pixelSize: 12
            font.bold: true
        }
    }
    Rectangle {
        anchors.fill: parent
        anchors.margins: -2
        radius: 6
        color: "transparent"
        border.width: 1
        border.color: Theme.cyan
        visible: box.activeFocus
    }

    MouseArea {
        id: area
        anchors.fill: parent
        anchors.margins: -4
        hoverEnabled: true
        enabled: box.enabled
        onClicked: box.toggled(!box.checked)
    }
    Keys.onSpacePressed: box.toggled(!box.checked)

    ToolTip.visible: area.containsMouse && help.length > 0
    ToolTip.delay: 600
    ToolTip.text: help
}
