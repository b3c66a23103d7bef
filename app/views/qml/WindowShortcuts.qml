import QtQuick

// The window's keyboard shortcuts, none of them while a sheet is open. Ctrl is the
// Command key on macOS.
Item {
    id: shortcuts

    // The window's commands (ContentView).
    property var commands
    property bool nativeMenuBar

    // The search field promises the platform's Find shortcut, so bind it.
    Shortcut {
        enabled: !shortcuts.commands.sheetOpen
        sequences: [StandardKey.Find]
        onActivated: shortcuts.commands.focusSearch()
    }
    // The menu's commands where the window's own menu holds them (macOS's menu bar binds
    // its own).
    Shortcut {
        enabled: !shortcuts.nativeMenuBar && !shortcuts.commands.sheetOpen
        sequences: [StandardKey.Open]
        onActivated: shortcuts.commands.openProfile()
    }
    Shortcut {
        enabled: !shortcuts.nativeMenuBar && !shortcuts.commands.sheetOpen
        sequences: [StandardKey.Save]
        onActivated: shortcuts.commands.saveProfile()
    }
    Shortcut {
        enabled: !shortcuts.nativeMenuBar && shortcuts.commands.canExportBrewfile
        sequence: "Ctrl+E"
        onActivated: shortcuts.commands.exportBrewfile()
    }
    Shortcut {
        enabled: !shortcuts.nativeMenuBar && !shortcuts.commands.sheetOpen
        sequence: "Ctrl+,"
        onActivated: shortcuts.commands.showInstallOptions()
    }
    Shortcut {
        enabled: !shortcuts.nativeMenuBar && !shortcuts.commands.sheetOpen
        sequences: [StandardKey.Close, StandardKey.Quit]
        onActivated: shortcuts.commands.quitRequested()
    }
}
