import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs

// A file dialog that opens in the folder it last used (kept between launches) and hands
// over the file the user saw: the folder on screen and the name in the name field. A save
// dialog starts with `defaultName` in that field, focused, its name part selected.
FileDialog {
    id: dialog

    property var settings
    // The Qt Quick dialog's popup lives in the window's overlay; the platform's own
    // dialog (macOS) has none and does all of this itself.
    property Item overlay
    property bool nativeDialog: false
    // The name under which this dialog's folder is kept.
    property string key
    property string defaultName
    // A path or file URL.
    signal chosen(string file)

    readonly property bool saving: fileMode === FileDialog.SaveFile

    function present() {
        const folder = settings.dialogFolder(key)
        currentFolder = folder
        if (saving && defaultName.length > 0)
            selectedFile = folder + "/" + encodeURIComponent(defaultName)
        open()
    }

    function findVisible(item, name) {
        for (let i = 0; i < item.children.length; ++i) {
            const child = item.children[i]
            if (child.objectName === name && child.visible)
                return child
            const found = findVisible(child, name)
            if (found)
                return found
        }
        return null
    }
    // The stock dialog's name field, found when the dialog shows.
    property Item nameField: null
    property Item acceptingField: null

    // The stock dialog draws its folder path on a white field that the palette does not
    // reach; give it the window's dark colour.
    function themeFolderBar(item) {
        for (let i = 0; i < item.children.length; ++i) {
            const child = item.children[i]
            if (child.upButton !== undefined && child.textField !== undefined && child.background)
                child.background.color = Theme.consoleFill
            themeFolderBar(child)
        }
    }

    // Once the dialog's views exist: the default name, focused, its name part selected
    // (as the platform's own dialog does), and Return in the field saves.
    function prepare() {
        if (!overlay)
            return
        themeFolderBar(overlay)
        const field = nativeDialog ? null : findVisible(overlay, "fileNameTextField")
        nameField = field
        if (!saving || !field)
            return
        field.text = defaultName
        focusName.restart()
        if (acceptingField !== field) {
            acceptingField = field
            field.accepted.connect(() => { if (dialog.visible && field.text.length > 0) dialog.accept() })
        }
    }
    // The stock dialog gives its file list the focus as it shows, and again once the
    // folder's listing arrives (read on another thread): for a moment, until the user
    // types, the name field takes it back.
    readonly property bool settling: focusName.running
    property Timer focusName: Timer {
        interval: 20
        repeat: true
        property int ticks: 0
        onTriggered: {
            const field = dialog.nameField
            if (!field || !dialog.visible || field.text !== dialog.defaultName || ++ticks > 25) {
                stop()
                return
            }
            if (!field.activeFocus) {
                field.forceActiveFocus(Qt.TabFocusReason)
                const dot = dialog.defaultName.lastIndexOf(".")
                field.select(0, dot > 0 ? dot : dialog.defaultName.length)
            }
        }
        onRunningChanged: if (running) ticks = 0
    }

    onVisibleChanged: {
        if (visible) {
            nameField = null
            Qt.callLater(prepare)
        }
    }

    // The file as the user saw it. The stock dialog's own `selectedFile` may name another
    // folder than the one on screen once the name was typed, so the name field and the
    // folder shown decide; a name without an extension gets the dialog's.
    function chosenFile() {
        if (!saving || !nameField)
            return String(selectedFile)
        let name = nameField.text
        if (defaultSuffix.length > 0 && name.indexOf(".") < 0)
            name += "." + defaultSuffix
        return String(currentFolder).replace(/\/$/, "") + "/" + encodeURIComponent(name)
    }

    onAccepted: {
        const file = chosenFile()
        settings.rememberDialogFolder(key, file)
        chosen(file)
    }
}
