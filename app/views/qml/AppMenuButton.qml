import QtQuick
import QtQuick.Controls.Basic

// The application's commands where the platform has no global menu bar: About, the
// publisher's links (those configured), the file commands with their shortcuts, the last
// run and Quit. No command opens a second window.
Item {
    id: button

    property var identity
    // The window's commands (ContentView).
    property var commands
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
        width: 260

        ThemedMenuItem {
            objectName: "aboutMenuItem"
            text: "About Cairnmoor"
            onTriggered: button.aboutRequested()
        }
        ThemedMenuItem {
            shown: button.identity.toolsUrl.length > 0
            text: "More free tools"
            onTriggered: Qt.openUrlExternally(button.identity.toolsUrl)
        }
        ThemedMenuItem {
            shown: button.identity.donationUrl.length > 0
            text: "Buy me a coffee"
            onTriggered: Qt.openUrlExternally(button.identity.donationUrl)
        }
        MenuSeparator {}
        ThemedMenuItem {
            objectName: "openProfileMenuItem"
            text: "Open Profile..."
            shortcutText: "Ctrl+O"
            onTriggered: button.commands.openProfile()
        }
        ThemedMenuItem {
            objectName: "saveProfileMenuItem"
            text: "Save Profile..."
            shortcutText: "Ctrl+S"
            onTriggered: button.commands.saveProfile()
        }
        ThemedMenuItem {
            objectName: "exportScriptMenuItem"
            text: "Export Script..."
            active: button.commands.canExportScript
            onTriggered: button.commands.exportScript()
        }
        ThemedMenuItem {
            objectName: "exportBrewfileMenuItem"
            text: "Export Brewfile..."
            shortcutText: "Ctrl+E"
            active: button.commands.canExportBrewfile
            onTriggered: button.commands.exportBrewfile()
        }
        ThemedMenuItem {
            objectName: "installOptionsMenuItem"
            text: "Install Options..."
            shortcutText: "Ctrl+,"
            onTriggered: button.commands.showInstallOptions()
        }
        MenuSeparator {}
        ThemedMenuItem {
            objectName: "showLastRunMenuItem"
            text: "Show last run"
            active: button.commands.canShowLastRun
            onTriggered: button.showLastRunRequested()
        }
        MenuSeparator {}
        ThemedMenuItem {
            objectName: "quitMenuItem"
            text: "Quit Cairnmoor"
            shortcutText: "Ctrl+Q"
            onTriggered: button.quitRequested()
        }
    }
}
