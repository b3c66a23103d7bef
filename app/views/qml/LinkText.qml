import QtQuick
import QtQuick.Controls

// A text that opens its address in the browser, with the address as hover help.
Text {
    id: link

    property string url
    property string help: url

    color: Theme.cyan
    font.pixelSize: 11

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: Qt.openUrlExternally(link.url)
    }
    ToolTip.visible: area.containsMouse && link.help.length > 0
    ToolTip.delay: 600
    ToolTip.text: link.help
}
