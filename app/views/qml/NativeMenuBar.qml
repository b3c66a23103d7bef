import QtQuick
import Qt.labs.platform as Platform

// The macOS menu bar. The About and link items move into the application menu (their
// roles put them there, before the platform's own divider); the last run is under
// Window. Nothing here opens a second window.
Platform.MenuBar {
    id: bar

    required property var identity
    property bool canShowLastRun: false
    signal aboutRequested()
    signal showLastRunRequested()

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
        title: "Window"

        Platform.MenuItem {
            text: "Show last run"
            enabled: bar.canShowLastRun
            onTriggered: bar.showLastRunRequested()
        }
    }
}
