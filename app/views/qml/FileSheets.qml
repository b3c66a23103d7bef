import QtQuick
import QtQuick.Dialogs
import QtQuick.Templates as T

// The file dialogs (open and save a profile, export a script or a Brewfile, save the
// Terminal script, import a Brewfile, save this Mac as a profile), the question before replacing a file and the alert a failed file
// action shows.
Item {
    id: files

    property var actions
    // ApplicationShell: whether the platform's own dialogs are used.
    property var shell
    // WindowSettings: the folders the dialogs last used.
    property var settings
    // CarryOver: where an imported Brewfile and a saved Mac go.
    property var carry

    readonly property bool anyOpen: alert.visible || replaceSheet.visible
        || openProfileDialog.visible || saveProfileDialog.visible || exportScriptDialog.visible
        || exportBrewfileDialog.visible || terminalScriptDialog.visible
        || importBrewfileDialog.visible || saveThisMacDialog.visible

    function openProfile() { openProfileDialog.present() }
    function saveProfile() { saveProfileDialog.present() }
    function exportScript() { exportScriptDialog.present() }
    function exportBrewfile() { exportBrewfileDialog.present() }
    function saveTerminalScript() { terminalScriptDialog.present() }
    function importBrewfile() { importBrewfileDialog.present() }
    function saveThisMac() { saveThisMacDialog.present() }

    // Where each dialog's file goes.
    function openProfileFile(path) { files.actions.openProfile(path) }
    function saveProfileFile(path) { files.actions.saveProfile(path) }
    function exportScriptFile(path) { files.actions.exportShellScript(path) }
    function exportBrewfileFile(path) { files.actions.exportBrewfile(path) }
    function installInTerminalFile(path) { files.actions.installInTerminal(path) }

    // A save dialog hands over its file here; an existing file is replaced only when the
    // user agrees (the platform's own dialog has asked already).
    function saveChosen(file, save) {
        if (files.shell.nativeDialogs || !files.actions.fileExists(file)) {
            save(file)
            return
        }
        replaceSheet.file = file
        replaceSheet.save = save
        replaceSheet.message = files.actions.replaceQuestion(file)
        replaceSheet.open()
    }

    AlertSheet {
        id: alert
        objectName: "errorAlert"
        message: files.actions ? files.actions.fileError : ""
        onAcknowledged: files.actions.dismissError()
    }
    MessageSheet {
        id: replaceSheet
        objectName: "replaceSheet"
        property var file
        property var save
        acceptText: "Replace"
        rejectText: "Cancel"
        destructive: true
        onAccepted: save(file)
    }

    // Elsewhere than macOS these are the themed Qt Quick dialogs; they do not ask before
    // replacing a file, so saveChosen() does. Each opens where it was last used.
    FileChooser {
        id: openProfileDialog
        objectName: "openProfileDialog"
        settings: files.settings
        overlay: files.T.Overlay.overlay
        nativeDialog: files.shell.nativeDialogs
        key: "profile"
        title: "Open profile"
        fileMode: FileDialog.OpenFile
        acceptLabel: "Open"
        nameFilters: ["Cairnmoor profile (*.cmprofile)"]
        onChosen: file => files.openProfileFile(file)
    }
    FileChooser {
        id: saveProfileDialog
        objectName: "saveProfileDialog"
        settings: files.settings
        overlay: files.T.Overlay.overlay
        nativeDialog: files.shell.nativeDialogs
        key: "profile"
        defaultName: "profile.cmprofile"
        title: "Save profile"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Save"
        options: nativeDialog ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Cairnmoor profile (*.cmprofile)"]
        defaultSuffix: "cmprofile"
        onChosen: file => files.saveChosen(file, files.saveProfileFile)
    }
    FileChooser {
        id: exportScriptDialog
        objectName: "exportScriptDialog"
        settings: files.settings
        overlay: files.T.Overlay.overlay
        nativeDialog: files.shell.nativeDialogs
        key: "script"
        defaultName: "install-cairnmoor.sh"
        title: "Export script"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Export"
        options: nativeDialog ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Shell script (*.sh)"]
        defaultSuffix: "sh"
        onChosen: file => files.saveChosen(file, files.exportScriptFile)
    }
    FileChooser {
        id: exportBrewfileDialog
        objectName: "exportBrewfileDialog"
        settings: files.settings
        overlay: files.T.Overlay.overlay
        nativeDialog: files.shell.nativeDialogs
        key: "brewfile"
        defaultName: "Brewfile"
        title: "Export Brewfile"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Export"
        options: nativeDialog ? 0 : FileDialog.DontConfirmOverwrite
        onChosen: file => files.saveChosen(file, files.exportBrewfileFile)
    }
    FileChooser {
        id: terminalScriptDialog
        objectName: "terminalScriptDialog"
        settings: files.settings
        overlay: files.T.Overlay.overlay
        nativeDialog: files.shell.nativeDialogs
        key: "terminal"
        defaultName: "install-cairnmoor.command"
        title: "Save install script for Terminal"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Save"
        options: nativeDialog ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Terminal script (*.command)"]
        defaultSuffix: "command"
        onChosen: file => files.saveChosen(file, files.installInTerminalFile)
    }
    FileChooser {
        id: importBrewfileDialog
        objectName: "importBrewfileDialog"
        settings: files.settings
        overlay: files.T.Overlay.overlay
        nativeDialog: files.shell.nativeDialogs
        key: "brewfile"
        title: "Import Brewfile"
        fileMode: FileDialog.OpenFile
        acceptLabel: "Import"
        onChosen: file => files.carry.importBrewfile(file)
    }
    FileChooser {
        id: saveThisMacDialog
        objectName: "saveThisMacDialog"
        settings: files.settings
        overlay: files.T.Overlay.overlay
        nativeDialog: files.shell.nativeDialogs
        key: "profile"
        defaultName: "this-mac.cmprofile"
        title: "Save this Mac as a profile"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Save"
        options: nativeDialog ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Cairnmoor profile (*.cmprofile)"]
        defaultSuffix: "cmprofile"
        onChosen: file => files.saveChosen(file, path => files.carry.captureMac(path))
    }
}
