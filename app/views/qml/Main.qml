import QtQml
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Window

// The application's one window.
ApplicationWindow {
    id: mainWindow

    required property var viewModel
    required property var actions
    required property var identity
    required property var catalogueCards
    required property var shell
    // What is kept between launches (the dialogs' folders, the window's frame).
    required property var settings

    // The profile in use, with the edited mark while the choice differs from its file.
    title: actions.profileName.length === 0 ? identity.product
           : actions.profileName + (actions.profileEdited ? " — Edited" : "") + " — " + identity.product
    // Small enough for a 13-inch screen with larger text; the list shrinks, the
    // actions stay in view. Shown by the shell once its last frame is restored.
    minimumWidth: 900
    minimumHeight: 600
    width: 1080
    height: 760
    color: Theme.background

    // The stock controls (tooltips, the menu, the file dialogs) draw from the palette;
    // this one keeps them in the window's dark look.
    palette.window: Theme.elevated
    palette.windowText: Theme.ink
    palette.base: Theme.consoleFill
    palette.alternateBase: Theme.surface
    palette.text: Theme.ink
    palette.placeholderText: Theme.withAlpha(Theme.muted, 0.7)
    palette.button: Theme.elevated
    palette.buttonText: Theme.ink
    palette.brightText: Theme.ink
    palette.light: Theme.line
    palette.midlight: Theme.lineBright
    palette.mid: Theme.lineBright
    palette.dark: Theme.lineBright
    palette.shadow: Theme.background
    palette.highlight: Theme.cyan
    palette.highlightedText: Theme.background
    palette.link: Theme.cyan
    palette.toolTipBase: Theme.elevated
    palette.toolTipText: Theme.ink
    palette.disabled.windowText: Theme.withAlpha(Theme.muted, 0.5)
    palette.disabled.text: Theme.withAlpha(Theme.muted, 0.5)
    palette.disabled.buttonText: Theme.withAlpha(Theme.muted, 0.5)

    // Closing the window ends the application (also on macOS: with no command to open
    // another window, a windowless application could not be used); a running install
    // is stopped cleanly first, if the user agrees.
    onClosing: close => {
        if (viewModel.run.isRunning) {
            close.accepted = false
            contentView.askToStopAndQuit()
        }
    }

    ContentView {
        id: contentView
        objectName: "contentView"
        anchors.fill: parent
        viewModel: mainWindow.viewModel
        actions: mainWindow.actions
        identity: mainWindow.identity
        catalogueCards: mainWindow.catalogueCards
        shell: mainWindow.shell
        settings: mainWindow.settings
        onAboutRequested: aboutWindow.present()
        onQuitRequested: mainWindow.close()
    }

    AboutWindow {
        id: aboutWindow
        objectName: "aboutWindow"
        identity: mainWindow.identity
        transientParent: mainWindow
    }

    // The global menu bar, where the platform has one; elsewhere the header holds a
    // menu button.
    Instantiator {
        objectName: "nativeMenu"
        model: mainWindow.shell.nativeMenuBar ? 1 : 0
        delegate: NativeMenuBar {
            window: mainWindow
            identity: mainWindow.identity
            commands: contentView
            onAboutRequested: aboutWindow.present()
            onShowLastRunRequested: contentView.showRun = true
            onCloseRequested: mainWindow.close()
        }
    }
}
