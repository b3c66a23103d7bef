import QtQuick

// The sheets of an install: its options, the run with its log (opened when a run starts),
// and the questions around it (replacing apps found outside the manager, closing open
// apps, sudo's password, stopping a run to quit).
Item {
    id: sheets

    property var viewModel
    property var identity
    // ApplicationShell: the quit that waits for a run to stop.
    property var shell

    property alias showOptions: optionsSheet.visible
    property alias showRun: runSheet.visible
    readonly property bool anyOpen: optionsSheet.visible || runSheet.visible
        || replaceAppsSheet.visible || quitSheet.visible

    function askToStopAndQuit() { quitSheet.open() }

    Connections {
        target: sheets.viewModel.run
        function onRunStarted() { sheets.showRun = true }
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
            viewModel: sheets.viewModel
            kickerText: sheets.identity ? sheets.identity.kickerText : ""
            onDone: sheets.showOptions = false
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
        onReturnPressed: if (!sheets.viewModel.run.isRunning) sheets.showRun = false
        escapeCloses: !sheets.viewModel.run.isRunning

        Connections {
            target: sheets.viewModel.run
            function onRunCompleted() { if (runSheet.visible) runSheet.focusFirst() }
        }

        RunView {
            id: runView
            objectName: "runView"
            anchors.fill: parent
            viewModel: sheets.viewModel
            kickerText: sheets.identity ? sheets.identity.kickerText : ""
            onCloseRequested: sheets.showRun = false
        }
    }

    OpenAppsSheet {
        objectName: "openAppsSheet"
        question: sheets.viewModel.run.openAppsQuestion
    }
    // Over the run sheet while sudo waits for the password.
    PasswordDialog {
        objectName: "passwordDialog"
        prompt: sheets.viewModel.run.passwordPrompt
    }
    // Opened and closed from the question, as the alert is from its message.
    MessageSheet {
        id: replaceAppsSheet
        objectName: "replaceAppsSheet"
        readonly property var confirmation: sheets.viewModel.replaceConfirmation
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
        onAccepted: sheets.shell.stopRunAndQuit()
    }
}
