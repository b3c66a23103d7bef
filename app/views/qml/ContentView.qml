import QtQuick
import QtQuick.Layouts

// The main window's content: header, status lines, manager choice, search, the
// catalogue by category, the action row and the footer, with the install's sheets, the
// file dialogs and the error alert. Also the window's commands, shared by the buttons,
// the menus and their shortcuts.
Item {
    id: content

    property var viewModel
    property var actions
    property var identity
    // The catalogue rows (header and app rows of every category) for the list.
    property var catalogueCards
    // ApplicationShell: the platform choices and the quit that waits for a run to stop.
    property var shell
    // WindowSettings: the folders the file dialogs last used.
    property var settings
    signal aboutRequested()
    signal quitRequested()

    property alias showOptions: installSheets.showOptions
    property alias showRun: installSheets.showRun

    readonly property bool onMac: Qt.platform.os === "osx"
    // The last run's sheet can be opened again until the next run starts.
    readonly property bool canShowLastRun: viewModel.run.runFinished && !showRun && !sheetOpen
    // While a sheet, question or file dialog is up, the window's commands wait.
    readonly property bool sheetOpen: installSheets.anyOpen || fileSheets.anyOpen

    readonly property bool canExportScript: viewModel.canExportScript && !sheetOpen
    readonly property bool canExportBrewfile: viewModel.canExportBrewfile && !sheetOpen
    function openProfile() { if (!sheetOpen) fileSheets.openProfile() }
    function saveProfile() { if (!sheetOpen) fileSheets.saveProfile() }
    function exportScript() { if (canExportScript) fileSheets.exportScript() }
    function exportBrewfile() { if (canExportBrewfile) fileSheets.exportBrewfile() }
    function showInstallOptions() { if (!sheetOpen) showOptions = true }

    function install() {
        if (viewModel.options.isMacPorts) {
            if (actions.prepareTerminalHandOff())
                fileSheets.saveTerminalScript()
            return
        }
        // The run sheet opens when the run starts, which may follow a question.
        viewModel.startInstall()
    }

    function focusSearch() { searchRow.focusSearch() }

    function askToStopAndQuit() { installSheets.askToStopAndQuit() }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    WindowShortcuts {
        commands: content
        nativeMenuBar: content.shell.nativeMenuBar
    }
    Timer {
        interval: 300
        running: true
        // Never from under a sheet already open.
        onTriggered: if (!content.sheetOpen) content.focusSearch()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        VelmarHeader {
            identity: content.identity
            leadingPadding: content.shell.hidesTitleBar ? 78 : 18
            Layout.fillWidth: true

            AppMenuButton {
                visible: !content.shell.nativeMenuBar
                identity: content.identity
                commands: content
                onAboutRequested: content.aboutRequested()
                onShowLastRunRequested: content.showRun = true
                onQuitRequested: content.quitRequested()
            }
        }

        Text {
            objectName: "loadErrorText"
            visible: content.viewModel.loadError.length > 0
            text: content.viewModel.loadError
            // It may quote a file's path or contents: never markup.
            textFormat: Text.PlainText
            color: Theme.danger
            font.pixelSize: 13
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 8
            Layout.bottomMargin: 8
        }

        TitleRow {
            viewModel: content.viewModel
            actions: content.actions
            identity: content.identity
        }
        ManagerRow {
            viewModel: content.viewModel
        }
        SearchRow {
            id: searchRow
            viewModel: content.viewModel
            onMac: content.onMac
        }

        NoticeText {
            objectName: "unsupportedWarningText"
            text: content.viewModel.unsupportedWarningText
            color: Theme.warning
        }
        NoticeText {
            objectName: "macPortsNotice"
            visible: content.viewModel.options.isMacPorts
            text: "MacPorts installs open a saved script in Terminal for sudo approval. Progress and completion stay in Terminal, not Cairnmoor."
        }
        NoticeText {
            objectName: "terminalNoticeText"
            text: content.actions ? content.actions.terminalNotice : ""
        }
        SavedNotice {
            actions: content.actions
            onMac: content.onMac
        }

        CatalogueList {
            viewModel: content.viewModel
            catalogueCards: content.catalogueCards
            Layout.fillWidth: true
            Layout.fillHeight: true
            onImportBrewfileRequested: fileSheets.importBrewfile()
            onSaveThisMacRequested: fileSheets.saveThisMac()
        }

        ActionRow {
            viewModel: content.viewModel
            commands: content
        }

        VelmarFooter {
            identity: content.identity
            trailingStatus: content.canShowLastRun ? "Last run: " + content.viewModel.run.runRows.summary : ""
            statusLink: content.canShowLastRun ? "Show last run" : ""
            onStatusLinkActivated: content.showRun = true
            Layout.fillWidth: true
        }
    }

    InstallSheets {
        id: installSheets
        anchors.fill: parent
        viewModel: content.viewModel
        identity: content.identity
        shell: content.shell
    }
    FileSheets {
        id: fileSheets
        anchors.fill: parent
        actions: content.actions
        shell: content.shell
        settings: content.settings
        carry: content.viewModel ? content.viewModel.carryOver : null
    }
}
