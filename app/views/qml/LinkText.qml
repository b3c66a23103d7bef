import QtQuick
import QtQuick.Controls

// A text that opens its address in the browser, with the address as hover help. It takes
// the keyboard focus like any control; Return or Space opens it.
Text {
    id: link

    property string url
    property string help: url
    // Something to do instead of opening an address.
    signal activated()

    function activate() {
        url.length > 0 ? Qt.openUrlExternally(url) : activated()
    }

    color: Theme.cyan
    font.pixelSize: 11
    activeFocusOnTab: true
    Keys.onReturnPressed: activate()
    Keys.onSpacePressed: activate()

    FocusRing { visible: link.activeFocus; radius: 4 }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: link.activate()
    }
    ToolTip.visible: area.containsMouse && link.help.length > 0
    ToolTip.delay: 600
    ToolTip.text: link.help
}
