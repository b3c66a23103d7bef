import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The options sheet: the switches, what to do with apps found outside Homebrew and the
// per-package time-out, written straight into the view model's options. "Done" only
// closes; there is nothing to cancel.
Rectangle {
    id: sheet

    property var viewModel
    property string kickerText
    signal done()

    // Called whenever the sheet opens: the field shows the value in force, not an
    // invalid text left from last time.
    function reset() {
        timeoutField.text = String(viewModel.options.timeoutSeconds)
        timeoutValid = true
    }
    // Whether the time-out field holds a value in force; while it does not, the field
    // says why and "Done" waits.
    property bool timeoutValid: true
    // Where the keyboard starts, and what Return does.
    readonly property Item firstControl: skipOption.box
    function finish() { if (timeoutValid) done() }

    color: Theme.background
    radius: 10
    implicitWidth: 420
    implicitHeight: column.implicitHeight + 40

    ColumnLayout {
        id: column
        spacing: 16
        anchors.fill: parent
        anchors.margins: 20

        Kicker { text: sheet.kickerText }
        Text {
            text: "Install options"
            color: Theme.ink
            font.pixelSize: 15
            font.bold: true
        }

        Card {
            padding: 16
            Layout.fillWidth: true

            ColumnLayout {
                spacing: 10
                Layout.fillWidth: true

                // Upgrading takes precedence over skipping: while it is on, an installed
                // app is upgraded, and the switch says so instead of seeming to skip it.
                OptionSwitch {
                    id: skipOption
                    objectName: "skipInstalledOption"
                    text: "Skip apps already installed"
                          + (sheet.viewModel.options.upgradeIfPresent ? " (they are upgraded instead)" : "")
                    checked: sheet.viewModel.options.skipInstalled
                    editable: !sheet.viewModel.options.upgradeIfPresent
                    onToggled: value => sheet.viewModel.options.skipInstalled = value
                }
                OptionSwitch {
                    objectName: "upgradeOption"
                    text: "Upgrade when an older version is present"
                    checked: sheet.viewModel.options.upgradeIfPresent
                    onToggled: value => sheet.viewModel.options.upgradeIfPresent = value
                }
                OptionSwitch {
                    objectName: "updateFirstOption"
                    text: "Update " + sheet.viewModel.options.managerDisplayName + " first"
                    checked: sheet.viewModel.options.runUpdateFirst
                    onToggled: value => sheet.viewModel.options.runUpdateFirst = value
                }
                OptionSwitch {
                    objectName: "writeLogOption"
                    text: "Write a log file"
                    checked: sheet.viewModel.options.writeLog
                    onToggled: value => sheet.viewModel.options.writeLog = value
                }
                // Downloads ahead and apps outside the manager are Homebrew's matters.
                OptionSwitch {
                    objectName: "prefetchOption"
                    visible: !sheet.viewModel.options.isMacPorts
                    text: "Download everything first, then install"
                    checked: sheet.viewModel.options.prefetch
                    onToggled: value => sheet.viewModel.options.prefetch = value
                }
                OptionSwitch {
                    objectName: "quitRunningAppsOption"
                    visible: !sheet.viewModel.options.isMacPorts
                    text: "Ask open apps to quit before changing them (else they wait for the next run)"
                    checked: sheet.viewModel.options.quitRunningApps
                    onToggled: value => sheet.viewModel.options.quitRunningApps = value
                }
                Text {
                    visible: !sheet.viewModel.options.isMacPorts
                    text: "Selected apps already on the Mac, not installed by Homebrew:"
                    color: Theme.ink
                    font.pixelSize: 13
                    wrapMode: Text.WordWrap
                    Layout.fillWidth: true
                    Layout.topMargin: 4
                }
                ThemedComboBox {
                    objectName: "existingAppsPicker"
                    visible: !sheet.viewModel.options.isMacPorts
                    model: ["Leave them as they are", "Let Homebrew adopt them", "Replace them"]
                    currentIndex: sheet.viewModel.options.existingAppsIndex
                    onActivated: index => sheet.viewModel.options.existingAppsIndex = index
                    Layout.fillWidth: true
                }
                Text {
                    objectName: "existingAppsNote"
                    visible: !sheet.viewModel.options.isMacPorts
                    text: ["They count as installed and stay as they are.",
                           "Homebrew takes them over where they are, without copying; if it cannot, the package fails.",
                           "Homebrew installs over them; you are asked first, with the apps named."][sheet.viewModel.options.existingAppsIndex]
                          + " Apps from the App Store are always left alone."
                    color: Theme.muted
                    font.pixelSize: 12
                    wrapMode: Text.WordWrap
                    Layout.fillWidth: true
                }
                RowLayout {
                    Layout.fillWidth: true
                    Text {
                        text: "Per-package timeout (seconds)"
                        color: Theme.ink
                        font.pixelSize: 13
                    }
                    Item { Layout.fillWidth: true }
                    ThemedTextField {
                        id: timeoutField
                        objectName: "timeoutField"
                        placeholderText: "900"
                        Layout.preferredWidth: 90
                        // Only a whole number of at least 1 is taken; anything else stays
                        // visible here, marked, while the last valid value stays in force.
                        onTextChanged: sheet.timeoutValid = sheet.viewModel.options.applyTimeoutText(text)
                        background: Rectangle {
                            implicitWidth: 90
                            implicitHeight: 28
                            radius: 6
                            color: Theme.consoleFill
                            border.width: sheet.timeoutValid ? 1 : 2
                            border.color: !sheet.timeoutValid ? Theme.danger
                                          : timeoutField.activeFocus ? Theme.cyan : Theme.lineBright
                        }
                    }
                }
                Text {
                    objectName: "timeoutProblem"
                    visible: !sheet.timeoutValid
                    text: "Enter a whole number of seconds, 1 or more; "
                          + sheet.viewModel.options.timeoutSeconds + " stays in force until then."
                    color: Theme.danger
                    font.pixelSize: 12
                    wrapMode: Text.WordWrap
                    Layout.fillWidth: true
                }
                Text {
                    objectName: "macPortsTimeoutNote"
                    visible: sheet.viewModel.options.isMacPorts
                    text: "GUI installs use Terminal for administrator access. The timeout applies to CLI runs only; use Control-C to interrupt Terminal scripts."
                    color: Theme.muted
                    font.pixelSize: 12
                    wrapMode: Text.WordWrap
                    Layout.fillWidth: true
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Item { Layout.fillWidth: true }
            PrimaryButtonStyle {
                objectName: "optionsDoneButton"
                text: "Done"
                enabled: sheet.timeoutValid
                onClicked: sheet.finish()
            }
        }
    }
}
