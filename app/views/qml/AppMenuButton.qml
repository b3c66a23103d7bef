import QtQuick
import QtQuick.Controls.Basic

// The application's commands where the platform has no global menu bar: About, the
// publisher's links and Quit. No command opens a second window.
Item {
    id: button

    property var identity
    signal aboutRequested()

    implicitWidth: 30
    implicitHeight: 26
    objectName: "appMenuButton"

    Rectangle {
        anchors.fill: parent
        radius: 6
        color: area.pressed ? Theme.withAlpha(Theme.lineBright, 0.4) : Theme.elevated
        border.width: 1
        border.color: area.containsMouse ? Theme.lineBright : Theme.line
        Text {
            anchors.centerIn: parent
            text: "☰"
            color: Theme.cyan
            font.pixelSize: 14
        }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: menu.open()
    }

    Menu {
        id: menu
        objectName: "appMenu"
        y: button.height + 4

        MenuItem {
            objectName: "aboutMenuItem"
            text: "About Cairnmoor"
            onTriggered: button.aboutRequested()
        }
        MenuItem {
            text: "More free tools"
            onTriggered: Qt.openUrlExternally(button.identity.toolsUrl)
        }
        MenuItem {
            text: "Buy me a coffee"
            onTriggered: Qt.openUrlExternally(button.identity.donationUrl)
        }
        MenuSeparator {}
        MenuItem {
            text: "Quit Cairnmoor"
            onTriggered: Qt.quit()
        }
    }
}
