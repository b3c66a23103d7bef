import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The run sheet: overall progress, one line per package, the log as it arrives, where
// the log file is, and Cancel while the run goes on (Close afterwards).
Rectangle {
    id: sheet

    property var viewModel
    property string kickerText
    signal closeRequested()
    readonly property Item closeButton: closeButton

    function stateColor(kind) {
        switch (kind) {
        case "downloading": return Theme.violet
        case "installing": return Theme.cyan
        case "installed":
        case "alreadyPresent":
        case "installedOutside": return Theme.success
        case "skipped":
        case "skippedRunning": return Theme.warning
        case "failed": return Theme.danger
        default: return Theme.muted
        }
    }

    color: Theme.background
    radius: 10
    implicitWidth: 560
    implicitHeight: column.implicitHeight + 40

    ColumnLayout {
        id: column
        spacing: 12
        anchors.fill: parent
        anchors.margins: 20

        Kicker { text: sheet.kickerText }
        // What goes on, then what happened.
        Text {
            objectName: "runHeadline"
            text: sheet.viewModel.run.headline
            color: Theme.ink
            font.pixelSize: 15
            font.bold: true
        }

        Rectangle {
            id: track
            objectName: "progressTrack"
            Layout.fillWidth: true
            implicitHeight: 8
            radius: 4
            color: Theme.elevated
            readonly property string outcome: sheet.viewModel.run.outcome

            // The downloads ahead fill the track faintly before the installs fill it.
            Rectangle {
                objectName: "downloadBar"
                height: parent.height
                radius: 4
                visible: sheet.viewModel.run.isRunning
                width: track.width * Math.min(1, sheet.viewModel.run.downloadProgress)
                color: Theme.withAlpha(Theme.cyan, 0.3)
            }
            Rectangle {
                objectName: "progressBar"
                height: parent.height
                radius: 4
                // A stub stays visible at 0 so the bar reads as a progress bar; it stays
                // where the work stopped, in the colour of how the run ended.
                width: Math.max(4, track.width * Math.min(1, Math.max(0, sheet.viewModel.run.overallProgress)))
                gradient: track.outcome === "running" || track.outcome === "done" ? brand : null
                color: track.outcome === "failed" ? Theme.danger : Theme.warning
                BrandGradient { id: brand }
            }
        }

        // The rows and the log share the height the sheet has; the rows take what they
        // need up to half of it.
        Card {
            padding: 12
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: Math.min(rows.contentHeight, 120) + 24
            Layout.maximumHeight: rows.contentHeight + 24
            Layout.preferredHeight: Math.min(rows.contentHeight, 180) + 24

            ListView {
                id: rows
                objectName: "runRowsList"
                model: sheet.viewModel.run.runRows
                clip: true
                spacing: 4
                interactive: contentHeight > height
                Layout.fillWidth: true
                Layout.fillHeight: true
                implicitHeight: Math.min(contentHeight, 180)
                ScrollBar.vertical: ScrollBar { id: rowsBar }
                // The package at work stays in view, unless the user scrolled away to
                // read (scrolling back to the end follows again).
                property bool following: true
                onMovementStarted: following = false
                onMovementEnded: following = atYEnd
                readonly property int active: sheet.viewModel.run.runRows.activeIndex
                onActiveChanged: if (following && active >= 0) positionViewAtIndex(active, ListView.Contain)
                Connections {
                    target: sheet.viewModel.run
                    function onRunStarted() { rows.following = true }
                }

                delegate: ColumnLayout {
                    id: runRow
                    required property string appId
                    required property string name
                    required property string stateKind
                    required property string stateText
                    required property string detail
                    spacing: 1
                    // The scroll bar has its own lane and never covers the state.
                    width: ListView.view.width - (rowsBar.visible && rowsBar.size < 1 ? rowsBar.width + 4 : 0)
                    RowLayout {
                        Layout.fillWidth: true
                        Text {
                            text: runRow.name
                            color: Theme.ink
                            font.pixelSize: 13
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Text {
                            objectName: "runState_" + runRow.appId
                            text: runRow.stateText
                            textFormat: Text.PlainText
                            color: sheet.stateColor(runRow.stateKind)
                            font.pixelSize: 13
                            font.weight: Font.DemiBold
                            elide: Text.ElideRight
                            Layout.maximumWidth: 320
                        }
                    }
                    // A failure's own words from the manager, beneath the row.
                    Text {
                        objectName: "runDetail_" + runRow.appId
                        visible: runRow.detail.length > 0
                        text: runRow.detail
                        textFormat: Text.PlainText
                        color: Theme.withAlpha(Theme.danger, 0.85)
                        font.pixelSize: 11
                        font.family: Theme.monospaceFamily
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                        MouseArea {
                            id: detailArea
                            anchors.fill: parent
                            hoverEnabled: parent.truncated
                            acceptedButtons: Qt.NoButton
                        }
                        ToolTip.visible: detailArea.containsMouse && truncated
                        ToolTip.delay: 600
                        ToolTip.text: runRow.detail
                    }
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Text {
                text: "Log"
                color: Theme.muted
                font.pixelSize: 13
                font.bold: true
            }
            Item { Layout.fillWidth: true }
            // The whole log, for a bug report or a search elsewhere.
            LinkText {
                objectName: "copyLogLink"
                text: "Copy log"
                help: ""
                font.pixelSize: 12
                onActivated: {
                    clipboard.text = sheet.viewModel.run.logLines.text()
                    clipboard.selectAll()
                    clipboard.copy()
                    clipboard.text = ""
                }
            }
            TextEdit { id: clipboard; visible: false }
        }

        Rectangle {
            color: Theme.consoleFill
            radius: 6
            border.width: 1
            border.color: Theme.line
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 100
            implicitHeight: 160

            ListView {
                id: log
                objectName: "logList"
                anchors.fill: parent
                anchors.margins: 8
                model: sheet.viewModel.run.logLines
                clip: true
                spacing: 2
                ScrollBar.vertical: ScrollBar {}
                // Follow new lines unless the user scrolled up to read.
                property bool following: true
                onMovementEnded: following = atYEnd
                onCountChanged: if (following) Qt.callLater(positionViewAtEnd)

                // Each line can be selected and copied with the mouse.
                delegate: TextEdit {
                    required property string line
                    width: ListView.view.width
                    text: line
                    // The manager's output, never markup.
                    textFormat: TextEdit.PlainText
                    readOnly: true
                    selectByMouse: true
                    selectionColor: Theme.withAlpha(Theme.cyan, 0.35)
                    selectedTextColor: Theme.ink
                    color: Theme.ink
                    font.pixelSize: 11
                    font.family: Theme.monospaceFamily
                    wrapMode: TextEdit.WrapAnywhere
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 12

            Text {
                id: logPath
                objectName: "logPathText"
                // During a run the model still names the previous run's log; show it only once this run is over.
                visible: !sheet.viewModel.run.isRunning && sheet.viewModel.run.lastLogPath.length > 0
                text: "Log: " + sheet.viewModel.run.lastLogPath
                color: Theme.muted
                font.pixelSize: 11
                elide: Text.ElideMiddle
                maximumLineCount: 1
                Layout.fillWidth: true
            }
            Item { Layout.fillWidth: true; visible: !logPath.visible }
            DangerButtonStyle {
                objectName: "cancelRunButton"
                visible: sheet.viewModel.run.isRunning
                text: "Cancel"
                onClicked: sheet.viewModel.run.cancelRun()
            }
            PrimaryButtonStyle {
                id: closeButton
                objectName: "closeRunButton"
                visible: !sheet.viewModel.run.isRunning
                text: "Close"
                onClicked: sheet.closeRequested()
            }
        }
    }
}
