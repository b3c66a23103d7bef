import QtQuick
import Qt.labs.platform as Platform

// The macOS menu bar. The About and link items move into the application menu (their
// roles put them there, before the platform's own divider); the file commands with their
// shortcuts are under File; the last run is under Window. Nothing here opens a second
// window.
Platform.MenuBar {
    id: bar

    required property var identity
    // The window's commands (ContentView).
    required property var commands
    signal aboutRequested()
    signal showLastRunRequested()
    signal closeRequested()

    Platform.Menu {
        title: "Cairnmoor"

        Platform.MenuItem {
            text: "About Cairnmoor"
            role: Platform.MenuItem.AboutRole
            onTriggered: bar.aboutRequested()
        }
        Platform.MenuItem {
            visible: bar.identity.toolsUrl.length > 0
            text: "More free tools"
            role: Platform.MenuItem.ApplicationSpecificRole
            onTriggered: Qt.openUrlExternally(bar.identity.toolsUrl)
        }
        Platform.MenuItem {
            visible: bar.identity.donationUrl.length > 0
            text: "Buy me a coffee"
            role: Platform.MenuItem.ApplicationSpecificRole
            onTriggered: Qt.openUrlExternally(bar.identity.donationUrl)
        }
    }
    Platform.Menu {
        title: "File"

        // NoRole: the names must not be taken for the application menu's own items.
        Platform.MenuItem {
            text: "Open Profile..."
            role: Platform.MenuItem.NoRole
            shortcut: StandardKey.Open
            enabled: !bar.commands.sheetOpen
            onTriggered: bar.commands.openProfile()
        }
        Platform.MenuItem {
            text: "Save Profile..."
            role: Platform.MenuItem.NoRole
            shortcut: StandardKey.Save
            enabled: !bar.commands.sheetOpen
            onTriggered: bar.commands.saveProfile()
        }
        Platform.MenuSeparator {}
        Platform.MenuItem {
            text: "Export Script..."
            role: Platform.MenuItem.NoRole
            enabled: bar.commands.canExportScript
            onTriggered: bar.commands.exportScript()
        }
        Platform.MenuItem {
            text: "Export Brewfile..."
            role: Platform.MenuItem.NoRole
            shortcut: "Ctrl+E"
            enabled: bar.commands.canExportBrewfile
            onTriggered: bar.commands.exportBrewfile()
        }
        Platform.MenuSeparator {}
        Platform.MenuItem {
            text: "Install Options..."
            role: Platform.MenuItem.NoRole
            shortcut: "Ctrl+,"
            enabled: !bar.commands.sheetOpen
            onTriggered: bar.commands.showInstallOptions()
        }
        Platform.MenuSeparator {}
        Platform.MenuItem {
            text: "Close"
            role: Platform.MenuItem.NoRole
            shortcut: StandardKey.Close
            onTriggered: bar.closeRequested()
        }
    }
    Platform.Menu {
        title: "Window"

        Platform.MenuItem {
            text: "Show last run"
            enabled: bar.commands.canShowLastRun
            onTriggered: bar.showLastRunRequested()
        }
    }
}
