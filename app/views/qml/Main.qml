import QtQml
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Window

// The application's one window.
ApplicationWindow {
    id: window

    required property var viewModel
    required property var actions
    required property var identity
    required property var catalogueCards

    title: identity.product
    minimumWidth: 980
    minimumHeight: 680
    width: 1080
    height: 760
    visible: true
    color: Theme.background

    ContentView {
        id: contentView
        objectName: "contentView"
        anchors.fill: parent
        viewModel: window.viewModel
        actions: window.actions
        identity: window.identity
        catalogueCards: window.catalogueCards
        onAboutRequested: aboutWindow.present()
    }

    AboutWindow {
        id: aboutWindow
        objectName: "aboutWindow"
        identity: window.identity
        transientParent: window
    }

    // The global menu bar exists only on macOS; elsewhere the header holds a menu button.
    Instantiator {
        model: Qt.platform.os === "osx" ? 1 : 0
        delegate: NativeMenuBar {
            window: window
            identity: window.identity
            onAboutRequested: aboutWindow.present()
        }
    }
}
