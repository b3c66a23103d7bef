import QtQuick
import Qt.labs.platform as Platform

// The macOS menu bar. The About and link items move into the application menu (their
// roles put them there); nothing here opens a second window.
Platform.MenuBar {
    id: bar

    property var identity
    signal aboutRequested()

    Platform.Menu {
        title: "Cairnmoor"

        Platform.MenuItem {
            text: "About Cairnmoor"
            role: Platform.MenuItem.AboutRole
            onTriggered: bar.aboutRequested()
        }
        Platform.MenuItem {
            text: "More free tools"
            role: Platform.MenuItem.ApplicationSpecificRole
            onTriggered: Qt.openUrlExternally(bar.identity.toolsUrl)
        }
        Platform.MenuItem {
            text: "Buy me a coffee"
            role: Platform.MenuItem.ApplicationSpecificRole
            onTriggered: Qt.openUrlExternally(bar.identity.donationUrl)
        }
        Platform.MenuSeparator {}
    }
}
