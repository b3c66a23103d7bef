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
    signal aboutRequested()
    signal quitRequested()

    property alias showOptions: optionsSheet.visible
    property alias showRun: runSheet.visible

    readonly property bool onMac: Qt.platform.os === "osx"
    readonly property string documentsFolder: content.actions ? content.actions.documentsFolderUrl() : ""
    // The last run's sheet can be opened again until the next run starts.
    readonly property bool canShowLastRun: viewModel.run.runFinished && !showRun

    // Entry points of the file dialogs, also used directly by tests.
    function openProfileFile(path) { actions.openProfile(path) }
    function saveProfileFile(path) { actions.saveProfile(path) }
    function exportScriptFile(path) { actions.exportShellScript(path) }
    function exportBrewfileFile(path) { actions.exportBrewfile(path) }
    function installInTerminalFile(path) { actions.installInTerminal(path) }

    function install() {
        if (viewModel.options.isMacPorts) {
            if (actions.prepareTerminalHandOff())
                terminalScriptDialog.open()
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

    // The stock file dialog draws its folder path on a white field that the palette does
    // not reach; once its views exist, give that field the window's dark colour.
    function themeFolderBar(item) {
        for (let i = 0; i < item.children.length; ++i) {
            const child = item.children[i]
            if (child.upButton !== undefined && child.textField !== undefined && child.background)
                child.background.color = Theme.consoleFill
            themeFolderBar(child)
        }
    }

    // A save dialog hands over its file here; an existing file is replaced only when the
    // user agrees (the platform's own dialog has asked already).
    function saveChosen(file, save) {
        if (content.shell.nativeDialogs || !content.actions.fileExists(file)) {
            save(file)
            return
        }
        const path = decodeURIComponent(String(file))
        replaceSheet.file = file
        replaceSheet.save = save
        replaceSheet.message = "“" + path.substring(path.lastIndexOf("/") + 1)
                + "” already exists. Do you want to replace it?"
        replaceSheet.open()
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    // The search field promises the platform's Find shortcut, so bind it.
    Shortcut {
        sequences: [StandardKey.Find]
        onActivated: content.focusSearch()
    }
    Timer {
        interval: 300
        running: true
        onTriggered: content.focusSearch()
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
                canShowLastRun: content.canShowLastRun
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
            LinkText {
                objectName: "installManagerLink"
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
                Layout.fillWidth: true
                Layout.maximumWidth: 320
            }
            SecondaryButtonStyle {
                objectName: "selectRecommendedButton"
                text: "Select recommended"
                onClicked: content.viewModel.selectRecommended()
            }
            SecondaryButtonStyle {
                objectName: "clearButton"
                text: "Clear"
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

                // A focus scope, so that Tab reaching a control of a row scrolls that row into view.
                delegate: FocusScope {
                    id: rowItem
                    required property int index
                    required property bool isHeader
                    required property bool closesCard
                    required property string category
                    required property bool categoryChecked
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
                            Layout.fillWidth: true
                            sourceComponent: rowItem.isHeader ? headerRow : appRow
                        }
                    }

                    Component {
                        id: headerRow
                        Item {
                            implicitHeight: section.implicitHeight + (rowItem.closesCard ? 0 : 6)
                            CategorySection {
                                id: section
                                width: parent.width
                                viewModel: content.viewModel
                                category: rowItem.category
                                checked: rowItem.categoryChecked
                            }
                        }
                    }
                    Component {
                        id: appRow
                        Item {
                            implicitHeight: entry.implicitHeight + 10
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
                Text {
                    objectName: "noAppsMatchText"
                    visible: catalogue.count === 0 && content.viewModel.searchText.length > 0
                    anchors.centerIn: parent
                    text: "No apps match"
                    color: Theme.muted
                    font.pixelSize: 13
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
                onClicked: content.showOptions = true
            }
            SecondaryButtonStyle {
                objectName: "openProfileButton"
                text: "Open profile..."
                onClicked: openProfileDialog.open()
            }
            SecondaryButtonStyle {
                objectName: "saveProfileButton"
                text: "Save profile..."
                onClicked: saveProfileDialog.open()
            }
            SecondaryButtonStyle {
                objectName: "exportScriptButton"
                text: "Export script..."
                enabled: content.viewModel.canExportScript
                onClicked: exportScriptDialog.open()
            }
            SecondaryButtonStyle {
                objectName: "exportBrewfileButton"
                text: "Export Brewfile..."
                enabled: content.viewModel.canExportBrewfile
                onClicked: exportBrewfileDialog.open()
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
        closePolicy: Popup.CloseOnEscape
        onAboutToShow: optionsView.reset()

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
        // Only "Close" ends the sheet; a run is stopped with "Cancel".
        closePolicy: Popup.NoAutoClose

        RunView {
            objectName: "runView"
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
        destructive: true
        onMessageChanged: message.length > 0 ? open() : close()
        onAccepted: confirmation.accept()
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
    // replacing a file, so saveChosen() does.
    FileDialog {
        id: openProfileDialog
        objectName: "openProfileDialog"
        title: "Open profile"
        fileMode: FileDialog.OpenFile
        acceptLabel: "Open"
        nameFilters: ["Cairnmoor profile (*.cmprofile)"]
        currentFolder: content.documentsFolder
        onVisibleChanged: if (visible) content.themeFolderBar(content.T.Overlay.overlay)
        onAccepted: content.openProfileFile(selectedFile)
    }
    FileDialog {
        id: saveProfileDialog
        objectName: "saveProfileDialog"
        title: "Save profile"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Save"
        options: content.shell.nativeDialogs ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Cairnmoor profile (*.cmprofile)"]
        defaultSuffix: "cmprofile"
        currentFolder: content.documentsFolder
        onVisibleChanged: if (visible) content.themeFolderBar(content.T.Overlay.overlay)
        selectedFile: content.documentsFolder + "/profile.cmprofile"
        onAccepted: content.saveChosen(selectedFile, content.saveProfileFile)
    }
    FileDialog {
        id: exportScriptDialog
        objectName: "exportScriptDialog"
        title: "Export script"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Export"
        options: content.shell.nativeDialogs ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Shell script (*.sh)"]
        defaultSuffix: "sh"
        currentFolder: content.documentsFolder
        onVisibleChanged: if (visible) content.themeFolderBar(content.T.Overlay.overlay)
        selectedFile: content.documentsFolder + "/install-cairnmoor.sh"
        onAccepted: content.saveChosen(selectedFile, content.exportScriptFile)
    }
    FileDialog {
        id: exportBrewfileDialog
        objectName: "exportBrewfileDialog"
        title: "Export Brewfile"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Export"
        options: content.shell.nativeDialogs ? 0 : FileDialog.DontConfirmOverwrite
        currentFolder: content.documentsFolder
        onVisibleChanged: if (visible) content.themeFolderBar(content.T.Overlay.overlay)
        selectedFile: content.documentsFolder + "/Brewfile"
        onAccepted: content.saveChosen(selectedFile, content.exportBrewfileFile)
    }
    FileDialog {
        id: terminalScriptDialog
        objectName: "terminalScriptDialog"
        title: "Save install script for Terminal"
        fileMode: FileDialog.SaveFile
        acceptLabel: "Save"
        options: content.shell.nativeDialogs ? 0 : FileDialog.DontConfirmOverwrite
        nameFilters: ["Terminal script (*.command)"]
        defaultSuffix: "command"
        currentFolder: content.documentsFolder
        onVisibleChanged: if (visible) content.themeFolderBar(content.T.Overlay.overlay)
        selectedFile: content.documentsFolder + "/install-cairnmoor.command"
        onAccepted: content.saveChosen(selectedFile, content.installInTerminalFile)
    }
}
