import QtQuick
import QtQuick.Controls.Basic

// The application's commands where the platform has no global menu bar: About, the
// publisher's links (those configured), the last run and Quit. No command opens a second
// window.
Item {
    id: button

    property var identity
    property bool canShowLastRun: false
    signal aboutRequested()
    signal showLastRunRequested()
    signal quitRequested()

    implicitWidth: 30
    implicitHeight: 26
    objectName: "appMenuButton"
    activeFocusOnTab: true
    Keys.onSpacePressed: menu.open()
    Keys.onReturnPressed: menu.open()

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
        FocusRing { visible: button.activeFocus; radius: 8 }
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
        x: button.width - width

        MenuItem {
            objectName: "aboutMenuItem"
            text: "About Cairnmoor"
            onTriggered: button.aboutRequested()
        }
        MenuItem {
            // A hidden item still takes its row in a Menu unless its height goes too.
            visible: button.identity.toolsUrl.length > 0
            height: visible ? implicitHeight : 0
            text: "More free tools"
            onTriggered: Qt.openUrlExternally(button.identity.toolsUrl)
        }
        MenuItem {
            visible: button.identity.donationUrl.length > 0
            height: visible ? implicitHeight : 0
            text: "Buy me a coffee"
            onTriggered: Qt.openUrlExternally(button.identity.donationUrl)
        }
        MenuSeparator {}
        MenuItem {
            objectName: "showLastRunMenuItem"
            text: "Show last run"
            enabled: button.canShowLastRun
            onTriggered: button.showLastRunRequested()
        }
        MenuSeparator {}
        MenuItem {
            objectName: "quitMenuItem"
            text: "Quit Cairnmoor"
            onTriggered: button.quitRequested()
        }
    }
}
