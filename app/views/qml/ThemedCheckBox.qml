import QtQuick
import QtQuick.Controls.Basic

// A check box that only shows `checked` and reports clicks; the model decides the value,
// so the box never holds a state of its own that could drift from the model. A box that
// is not `editable` looks disabled but keeps its hover help, which says why.
Item {
    id: box

    property bool checked: false
    // Some but not all of what the box stands for is checked: a dash.
    property bool partial: false
    property bool editable: true
    property string help: ""
    signal toggled(bool value)

    implicitWidth: 16
    implicitHeight: 16
    activeFocusOnTab: editable

    Rectangle {
        anchors.fill: parent
        radius: 4
        opacity: box.editable ? 1 : 0.4
        color: box.checked || box.partial ? Theme.cyan : Theme.elevated
        border.width: 1
        border.color: box.checked || box.partial ? Theme.cyan
                                  : (area.containsMouse && box.editable ? Theme.cyan : Theme.lineBright)

        Rectangle {
            anchors.centerIn: parent
            visible: box.partial && !box.checked
            width: 8
            height: 2
            radius: 1
            color: Theme.background
        }
        Text {
            anchors.centerIn: parent
            visible: box.checked
            text: "✓"
            color: Theme.background
            font.pixelSize: 12
            font.bold: true
        }
    }
    FocusRing { visible: box.activeFocus }

    MouseArea {
        id: area
        anchors.fill: parent
        anchors.margins: -4
        hoverEnabled: true
        cursorShape: box.editable ? Qt.PointingHandCursor : Qt.ArrowCursor
        onClicked: if (box.editable) box.toggled(!box.checked)
    }
    Keys.onSpacePressed: if (box.editable) box.toggled(!box.checked)

    ToolTip.visible: area.containsMouse && help.length > 0
    ToolTip.delay: 600
    ToolTip.text: help
}
