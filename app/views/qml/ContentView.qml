import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import QtQuick.Layouts
import QtQuick.Templates as T

// The main window's content: header, status lines, manager choice, search, the
// catalogue by category, the action row and the footer, with the two sheets, the file
// dialogs and the error alert.
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

    property alias showOptions: optionsSheet.visible
    property alias showRun: runSheet.visible

    readonly property bool onMac: Qt.platform.os === "osx"
    // The last run's sheet can be opened again until the next run starts.
    readonly property bool canShowLastRun: viewModel.run.runFinished && !showRun && !sheetOpen
    // While a sheet, question or file dialog is up, the window's commands wait.
    readonly property bool sheetOpen: optionsSheet.visible || runSheet.visible || alert.visible
        || replaceSheet.visible || replaceAppsSheet.visible || quitSheet.visible
        || openProfileDialog.visible || saveProfileDialog.visible || exportScriptDialog.visible
        || exportBrewfileDialog.visible || terminalScriptDialog.visible

    // The window's commands, shared by the buttons, the menus and their shortcuts.
    readonly property bool canExportScript: viewModel.canExportScript && !sheetOpen
    readonly property bool canExportBrewfile: viewModel.canExportBrewfile && !sheetOpen
    function openProfile() { if (!sheetOpen) openProfileDialog.present() }
    function saveProfile() { if (!sheetOpen) saveProfileDialog.present() }
    function exportScript() { if (canExportScript) exportScriptDialog.present() }
    function exportBrewfile() { if (canExportBrewfile) exportBrewfileDialog.present() }
    function showInstallOptions() { if (!sheetOpen) showOptions = true }

    // Entry points of the file dialogs, also used directly by tests.
    function openProfileFile(path) { actions.openProfile(path) }
    function saveProfileFile(path) { actions.saveProfile(path) }
    function exportScriptFile(path) { actions.exportShellScript(path) }
    function exportBrewfileFile(path) { actions.exportBrewfile(path) }
    function installInTerminalFile(path) { actions.installInTerminal(path) }

    function install() {
        if (viewModel.options.isMacPorts) {
            if (actions.prepareTerminalHandOff())
                terminalScriptDialog.present()
            return
        }
        // The run sheet opens when the run starts, which may follow a question.
        viewModel.startInstall()
    }

    Connections {
        target: content.viewModel.run
        function onRunStarted() { content.showRun = true }
    }

    function focusSearch() { searchField.forceActiveFocus() }

    function askToStopAndQuit() { quitSheet.open() }

    // A save dialog hands over its file here; an existing file is replaced only when the
    // user agrees (the platform's own dialog has asked already).
    function saveChosen(file, save) {
        if (content.shell.nativeDialogs || !content.actions.fileExists(file)) {
            save(file)
            return
        }
        replaceSheet.file = file
        replaceSheet.save = save
        replaceSheet.message = content.actions.replaceQuestion(file)
        replaceSheet.open()
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    // The search field promises the platform's Find shortcut, so bind it.
    Shortcut {
        enabled: !content.sheetOpen
        sequences: [StandardKey.Find]
        onActivated: content.focusSearch()
    }
    // The menu's shortcuts where the window's own menu holds the commands (macOS's menu
    // bar binds its own). Ctrl is the Command key on macOS.
    Shortcut {
        enabled: !content.shell.nativeMenuBar && !content.sheetOpen
        sequences: [StandardKey.Open]
        onActivated: content.openProfile()
    }
    Shortcut {
        enabled: !content.shell.nativeMenuBar && !content.sheetOpen
        sequences: [StandardKey.Save]
        onActivated: content.saveProfile()
    }
    Shortcut {
        enabled: !content.shell.nativeMenuBar && content.canExportBrewfile
        sequence: "Ctrl+E"
        onActivated: content.exportBrewfile()
    }
    Shortcut {
        enabled: !content.shell.nativeMenuBar && !content.sheetOpen
        sequence: "Ctrl+,"
        onActivated: content.showInstallOptions()
    }
    Shortcut {
        enabled: !content.shell.nativeMenuBar && !content.sheetOpen
        sequences: [StandardKey.Close, StandardKey.Quit]
        onActivated: content.quitRequested()
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

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 18
            Layout.rightMargin: 18
            Kicker { text: content.identity ? content.identity.kickerText : "" }
            Item { Layout.fillWidth: true }
            // The title bar's profile name, also where the title bar is hidden.
            Text {
                objectName: "profileTitleText"
                visible: text.length > 0
                text: !content.actions || content.actions.profileName.length === 0 ? ""
                      : content.actions.profileName + (content.actions.profileEdited ? " — Edited" : "")
                textFormat: Text.PlainText
                color: Theme.muted
                font.pixelSize: 11
                elide: Text.ElideMiddle
                Layout.maximumWidth: 360
            }
            Text {
                objectName: "selectedCountText"
                text: content.viewModel.selectedCount + " selected"
                color: Theme.ink
                font.pixelSize: 11
                font.weight: Font.DemiBold
                font.family: Theme.monospaceFamily
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 18
            Layout.rightMargin: 18
            spacing: 10

            RowLayout {
                spacing: 8
                Layout.preferredWidth: 260
                Layout.maximumWidth: 260
                Text {
                    text: "Package manager"
                    color: Theme.ink
                    font.pixelSize: 13
                }
                ThemedComboBox {
                    objectName: "managerPicker"
                    model: content.viewModel.options.managerNames
                    currentIndex: content.viewModel.options.packageManagerIndex
                    onActivated: index => content.viewModel.options.packageManagerIndex = index
                    Layout.fillWidth: true
                }
            }
            Text {
                text: "Choose either manager on Intel or Apple silicon. Packages are not migrated between them."
                color: Theme.muted
                font.pixelSize: 11
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            // Needed only while the chosen manager was not found.
            LinkText {
                objectName: "installManagerLink"
                visible: !content.viewModel.hasManagerPath
                text: "Install " + content.viewModel.options.managerDisplayName
                url: content.viewModel.options.managerInstallURL
                font.pixelSize: 13
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 18
            Layout.rightMargin: 18
            spacing: 10

            ThemedTextField {
                id: searchField
                objectName: "searchField"
                placeholderText: content.onMac ? "Search apps (⌘F)" : "Search apps (Ctrl+F)"
                text: content.viewModel.searchText
                onTextEdited: content.viewModel.searchText = text
                // Escape empties the search (never the selection); an empty field lets
                // it pass on.
                Keys.onEscapePressed: event => {
                    event.accepted = text.length > 0
                    content.viewModel.searchText = ""
                }
                rightPadding: clearSearch.visible ? clearSearch.width + 6 : 8
                Layout.fillWidth: true
                Layout.maximumWidth: 320
                Layout.minimumWidth: 160

                Text {
                    id: clearSearch
                    objectName: "clearSearchButton"
                    visible: searchField.text.length > 0
                    anchors.right: parent.right
                    anchors.rightMargin: 6
                    anchors.verticalCenter: parent.verticalCenter
                    text: "✕"
                    color: clearArea.containsMouse ? Theme.ink : Theme.muted
                    font.pixelSize: 12
                    MouseArea {
                        id: clearArea
                        anchors.fill: parent
                        anchors.margins: -4
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: content.viewModel.searchText = ""
                    }
                    ToolTip.visible: clearArea.containsMouse
                    ToolTip.delay: 600
                    ToolTip.text: "Clear the search"
                }
            }
            SecondaryButtonStyle {
                objectName: "selectRecommendedButton"
                text: "Select recommended"
                onClicked: content.viewModel.selectRecommended()
            }
            SecondaryButtonStyle {
                objectName: "clearButton"
                text: "Clear selection"
                onClicked: content.viewModel.clearSelection()
            }
            Item { Layout.fillWidth: true }
            Text {
                objectName: "managerStatusText"
                text: content.viewModel.managerStatusText
                color: content.viewModel.hasManagerPath ? Theme.muted : Theme.danger
                font.pixelSize: 12
                font.bold: !content.viewModel.hasManagerPath
                elide: Text.ElideMiddle
                Layout.maximumWidth: 360
            }
        }

        Text {
            objectName: "unsupportedWarningText"
            visible: text.length > 0
            text: content.viewModel.unsupportedWarningText
            color: Theme.warning
            font.pixelSize: 12
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
            Layout.leftMargin: 18
            Layout.rightMargin: 18
        }
        Text {
            objectName: "macPortsNotice"
            visible: content.viewModel.options.isMacPorts
            text: "MacPorts installs open a saved script in Terminal for sudo approval. Progress and completion stay in Terminal, not Cairnmoor."
            color: Theme.muted
            font.pixelSize: 12
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
            Layout.leftMargin: 18
            Layout.rightMargin: 18
        }
        Text {
            objectName: "terminalNoticeText"
            visible: text.length > 0
            text: content.actions ? content.actions.terminalNotice : ""
            color: Theme.muted
            font.pixelSize: 12
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
            Layout.leftMargin: 18
            Layout.rightMargin: 18
        }
        // Where the last save went, with a way to see it there.
        RowLayout {
            visible: savedText.text.length > 0
            spacing: 10
            Layout.fillWidth: true
            Layout.leftMargin: 18
            Layout.rightMargin: 18
            Text {
                id: savedText
                objectName: "savedNoticeText"
                text: content.actions ? content.actions.savedNotice : ""
                textFormat: Text.PlainText
                color: Theme.success
                font.pixelSize: 12
                elide: Text.ElideMiddle
                Layout.fillWidth: true
                Layout.preferredWidth: Math.ceil(implicitWidth)
                Layout.maximumWidth: Math.ceil(implicitWidth)
            }
            LinkText {
                objectName: "revealSavedLink"
                text: content.onMac ? "Show in Finder" : "Show in file manager"
                help: ""
                font.pixelSize: 12
                onActivated: content.actions.revealSaved()
            }
            LinkText {
                objectName: "dismissSavedLink"
                text: "✕"
                help: "Dismiss"
                font.pixelSize: 12
                color: Theme.muted
                onActivated: content.actions.dismissSaved()
            }
            Item { Layout.fillWidth: true }
        }

        // One flat, virtualised list: each category is a header row followed by its
        // entries, drawn as slices of one card.
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: catalogue
                objectName: "catalogueList"
                model: content.catalogueCards
                clip: true
                topMargin: 18
                bottomMargin: 18
                boundsBehavior: Flickable.StopAtBounds
                anchors.fill: parent
                ScrollBar.vertical: ScrollBar {}
                // After the catalogue: what is chosen beyond it, and carrying a Mac over.
                footer: Item {
                    id: carryFooter
                    // Read here: inside the card, "content" is the card's own property.
                    readonly property var carry: content.viewModel ? content.viewModel.carryOver : null
                    readonly property string folder: content.documentsFolder ?? ""
                    width: ListView.view.width
                    height: carryView.implicitHeight + 12
                    CarryOverView {
                        id: carryView
                        x: 18
                        y: 12
                        width: parent.width - 36
                        carry: carryFooter.carry
                        documentsFolder: carryFooter.folder
                    }
                }

                // Up and Down move the keyboard from one row's check box to the next
                // row's, scrolling it into view.
                function focusRow(index) {
                    if (index < 0 || index >= count)
                        return
                    positionViewAtIndex(index, ListView.Contain)
                    const row = itemAtIndex(index)
                    if (row)
                        row.focusBox()
                }

                // A focus scope, so that Tab reaching a control of a row scrolls that row into view.
                delegate: FocusScope {
                    id: rowItem
                    required property int index
                    required property bool isHeader
                    required property bool closesCard
                    required property string category
                    required property bool categoryChecked
                    required property int categoryState
                    required property string appId
                    required property string name
                    required property string summary
                    required property string licence
                    required property string licenceTooltip
                    required property string homepage
                    required property bool recommended
                    required property bool selected
                    required property bool checkEnabled
                    required property string packageText
                    required property string helpText
                    required property string installedText
                    required property string installedHelp

                    readonly property real gap: isHeader && index > 0 ? 12 : 0
                    onActiveFocusChanged: if (activeFocus) ListView.view.positionViewAtIndex(index, ListView.Contain)
                    function focusBox() { if (rowLoader.item) rowLoader.item.focusBox() }
                    Keys.onUpPressed: catalogue.focusRow(index - 1)
                    Keys.onDownPressed: catalogue.focusRow(index + 1)
                    x: 18
                    width: ListView.view.width - 36
                    height: gap + slice.implicitHeight

                    Card {
                        id: slice
                        y: rowItem.gap
                        width: parent.width
                        padding: 16
                        openTop: !rowItem.isHeader
                        openBottom: !rowItem.closesCard

                        Loader {
                            id: rowLoader
                            Layout.fillWidth: true
                            sourceComponent: rowItem.isHeader ? headerRow : appRow
                        }
                    }

                    Component {
                        id: headerRow
                        Item {
                            implicitHeight: section.implicitHeight + (rowItem.closesCard ? 0 : 6)
                            function focusBox() { section.focusBox() }
                            CategorySection {
                                id: section
                                width: parent.width
                                viewModel: content.viewModel
                                category: rowItem.category
                                checked: rowItem.categoryChecked
                                partial: rowItem.categoryState === -1
                            }
                        }
                    }
                    Component {
                        id: appRow
                        Item {
                            implicitHeight: entry.implicitHeight + 10
                            function focusBox() { entry.focusBox() }
                        AppRow {
                            id: entry
                            y: 5
                            width: parent.width
                            viewModel: content.viewModel
                            appId: rowItem.appId
                            name: rowItem.name
                            summary: rowItem.summary
                            licence: rowItem.licence
                            licenceTooltip: rowItem.licenceTooltip
                            homepage: rowItem.homepage
                            recommended: rowItem.recommended
                            selected: rowItem.selected
                            checkEnabled: rowItem.checkEnabled
                            packageText: rowItem.packageText
                            helpText: rowItem.helpText
                            installedText: rowItem.installedText
                            installedHelp: rowItem.installedHelp
                        }
                        }
                    }
                }
            }

                // One notch of the wheel moves as many entries as the platform's scroll lines
                // (Flickable's own step is a few pixels); a touchpad's pixel deltas pass as they are.
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.NoButton
                    onWheel: wheel => {
                        const step = wheel.pixelDelta.y !== 0
                            ? wheel.pixelDelta.y
                            : wheel.angleDelta.y / 120 * Qt.styleHints.wheelScrollLines * 48
                        const top = catalogue.originY - catalogue.topMargin
                        const bottom = catalogue.originY + catalogue.contentHeight
                            + catalogue.bottomMargin - catalogue.height
                        catalogue.contentY = Math.max(top, Math.min(Math.max(top, bottom),
                                                                    catalogue.contentY - step))
                    }
                }
                Column {
                    visible: catalogue.count === 0 && content.viewModel.searchText.length > 0
                    anchors.centerIn: parent
                    spacing: 6
                    Text {
                        objectName: "noAppsMatchText"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "No apps match"
                        color: Theme.muted
                        font.pixelSize: 13
                    }
                    LinkText {
                        objectName: "clearSearchLink"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Clear the search"
                        help: ""
                        font.pixelSize: 13
                        onActivated: content.viewModel.searchText = ""
                    }
                }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 18
            Layout.rightMargin: 18
            Layout.bottomMargin: 6
            spacing: 8

            SecondaryButtonStyle {
                objectName: "installOptionsButton"
                text: "Install options..."
                onClicked: content.showInstallOptions()
            }
            SecondaryButtonStyle {
                objectName: "openProfileButton"
                text: "Open profile..."
                onClicked: content.openProfile()
            }
            SecondaryButtonStyle {
                objectName: "saveProfileButton"
                text: "Save profile..."
                onClicked: content.saveProfile()
            }
            SecondaryButtonStyle {
                objectName: "exportScriptButton"
                text: "Export script..."
                enabled: content.viewModel.canExportScript
                onClicked: content.exportScript()
            }
            SecondaryButtonStyle {
                objectName: "exportBrewfileButton"
                text: "Export Brewfile..."
                enabled: content.viewModel.canExportBrewfile
                onClicked: content.exportBrewfile()
            }
            Item { Layout.fillWidth: true }
            PrimaryButtonStyle {
                objectName: "installButton"
                text: content.viewModel.replaceConfirmation.checking
                      ? "Checking apps..." : content.viewModel.options.installButtonText
                enabled: content.viewModel.canInstall
                onClicked: content.install()
            }
        }

        VelmarFooter {
            identity: content.identity
            trailingStatus: content.canShowLastRun ? "Last run: " + content.viewModel.run.runRows.summary : ""
            statusLink: content.canShowLastRun ? "Show last run" : ""
            onStatusLinkActivated: content.showRun = true
            Layout.fillWidth: true
        }
    }

    Sheet {
        id: optionsSheet
        objectName: "optionsSheet"
        onAboutToShow: optionsView.reset()
        firstFocus: optionsView.firstControl
        // "Done" is the default; there is nothing to cancel, so Escape only closes.
        onReturnPressed: optionsView.finish()

        InstallOptionsView {
            id: optionsView
            objectName: "installOptionsView"
            viewModel: content.viewModel
            kickerText: content.identity ? content.identity.kickerText : ""
            onDone: content.showOptions = false
        }
    }

    Sheet {
        id: runSheet
        objectName: "runSheet"
        // It grows with the window, for long runs and their logs.
        width: Math.min(parent.width - 40, Math.max(560, parent.width * 0.7))
        height: Math.min(parent.height - 40, Math.max(implicitHeight, parent.height * 0.85))
        // Only "Close" (Return or Escape once the run is over) ends the sheet; a run is
        // stopped with "Cancel", never by a stray key.
        firstFocus: runView.closeButton
        onReturnPressed: if (!content.viewModel.run.isRunning) content.showRun = false
        escapeCloses: !content.viewModel.run.isRunning

        Connections {
            target: content.viewModel.run
            function onRunCompleted() { if (runSheet.visible) runSheet.focusFirst() }
        }

        RunView {
            id: runView
            objectName: "runView"
            anchors.fill: parent
            viewModel: content.viewModel
            kickerText: content.identity ? content.identity.kickerText : ""
            onCloseRequested: content.showRun = false
        }
    }

    OpenAppsSheet {
        objectName: "openAppsSheet"
        question: content.viewModel.run.openAppsQuestion
    }
    // Over the run sheet while sudo waits for the password.
    PasswordDialog {
        objectName: "passwordDialog"
        prompt: content.viewModel.run.passwordPrompt
    }

    AlertSheet {
        id: alert
        objectName: "errorAlert"
        message: content.actions ? content.actions.fileError : ""
        onAcknowledged: content.actions.dismissError()
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
    // Opened and closed from the question, as the alert is from its message.
    MessageSheet {
        id: replaceAppsSheet
        objectName: "replaceAppsSheet"
        readonly property var confirmation: content.viewModel.replaceConfirmation
        message: confirmation.question
        acceptText: "Replace"
        rejectText: "Cancel"
        alternativeText: "Skip these and install the rest"
        destructive: true
        onMessageChanged: message.length > 0 ? open() : close()
        onAccepted: confirmation.accept()
        onAlternative: confirmation.skipThese()
        onRejected: if (message.length > 0) confirmation.decline()
    }
    MessageSheet {
        id: quitSheet
        objectName: "quitSheet"
        message: "An install is running. Stop it and quit?"
        acceptText: "Stop and quit"
        rejectText: "Keep installing"
        destructive: true
        onAccepted: content.shell.stopRunAndQuit()
    }

    // Elsewhere than macOS these are the themed Qt Quick dialogs; they do not ask before
    // replacing a file, so saveChosen() does. Each opens where it was last used.
    FileChooser {
        id: openProfileDialog
        objectName: "openProfileDialog"
        settings: content.settings
        overlay: content.T.Overlay.overlay
        nativeDialog: content.shell.nativeDialogs
        key: "profile"
        title: "Open profile"
        fileMode: FileDialog.OpenFile
        acceptLabel: "Open"
        nameFilters: ["Cairnmoor profile (*.cmprofile)"]
        onChosen: file => content.openProfileFile(file)
    }
    FileChooser {
        id: saveProfileDialog
        objectName: "saveProfileDialog"
        settings: content.settings
        overlay: content.T.Overlay.overlay
        nativeDialog: content.shell.nativeDialogs
        key: "profile"
        defaultName: "profile.cmprofile"
        title: "Save profile"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Save"
        options: nativeDialog ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Cairnmoor profile (*.cmprofile)"]
        defaultSuffix: "cmprofile"
        onChosen: file => content.saveChosen(file, content.saveProfileFile)
    }
    FileChooser {
        id: exportScriptDialog
        objectName: "exportScriptDialog"
        settings: content.settings
        overlay: content.T.Overlay.overlay
        nativeDialog: content.shell.nativeDialogs
        key: "script"
        defaultName: "install-cairnmoor.sh"
        title: "Export script"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Export"
        options: nativeDialog ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Shell script (*.sh)"]
        defaultSuffix: "sh"
        onChosen: file => content.saveChosen(file, content.exportScriptFile)
    }
    FileChooser {
        id: exportBrewfileDialog
        objectName: "exportBrewfileDialog"
        settings: content.settings
        overlay: content.T.Overlay.overlay
        nativeDialog: content.shell.nativeDialogs
        key: "brewfile"
        defaultName: "Brewfile"
        title: "Export Brewfile"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Export"
        options: nativeDialog ? 0 : FileDialog.DontConfirmOverwrite
        onChosen: file => content.saveChosen(file, content.exportBrewfileFile)
    }
    FileChooser {
        id: terminalScriptDialog
        objectName: "terminalScriptDialog"
        settings: content.settings
        overlay: content.T.Overlay.overlay
        nativeDialog: content.shell.nativeDialogs
        key: "terminal"
        defaultName: "install-cairnmoor.command"
        title: "Save install script for Terminal"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Save"
        options: nativeDialog ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Terminal script (*.command)"]
        defaultSuffix: "command"
        onChosen: file => content.saveChosen(file, content.installInTerminalFile)
    }
}
