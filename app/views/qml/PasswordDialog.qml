import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The administrator password sudo asks for during a run, for the app named. Opened and
// closed by the prompt's question; the typed text goes to the prompt and the field is
// emptied at once, whichever way the sheet closes.
Sheet {
    id: sheet

    property var prompt

    closePolicy: Popup.CloseOnEscape
    readonly property bool asking: prompt ? prompt.asking : false
    onAskingChanged: asking ? open() : close()
    Component.onCompleted: if (asking) open()
    onOpened: password.forceActiveFocus()
    onClosed: {
        password.text = ""
        if (asking) prompt.cancel()
    }

    function send() {
        const text = password.text
        password.text = ""
        prompt.submit(text, keep.checked)
    }

    ColumnLayout {
        spacing: 12

        Text {
            text: "Administrator password"
            color: Theme.ink
            font.pixelSize: 14
            font.bold: true
            Layout.topMargin: 20
            Layout.leftMargin: 20
            Layout.rightMargin: 20
        }
        Text {
            objectName: "passwordQuestion"
            text: sheet.prompt ? sheet.prompt.question : ""
            textFormat: Text.PlainText
            color: Theme.ink
            font.pixelSize: 13
            wrapMode: Text.Wrap
            Layout.preferredWidth: 380
            Layout.leftMargin: 20
            Layout.rightMargin: 20
        }
        Text {
            objectName: "passwordWrong"
            visible: sheet.prompt ? sheet.prompt.lastTryWrong : false
            text: "That password was wrong. Try again."
            color: Theme.danger
            font.pixelSize: 12
            Layout.leftMargin: 20
            Layout.rightMargin: 20
        }
        ThemedTextField {
            id: password
            objectName: "passwordField"
            echoMode: TextInput.Password
            inputMethodHints: Qt.ImhHiddenText | Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
            placeholderText: "Password"
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            onAccepted: sheet.send()
        }
        RowLayout {
            spacing: 8
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            ThemedCheckBox {
                id: keep
                objectName: "passwordKeep"
                onToggled: value => checked = value
            }
            Text {
                text: "Use this password for the rest of this run"
                color: Theme.ink
                font.pixelSize: 12
            }
        }
        RowLayout {
            spacing: 8
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.bottomMargin: 20
            Item { Layout.fillWidth: true }
            SecondaryButtonStyle {
                objectName: "passwordCancel"
                text: "Cancel"
                onClicked: sheet.close()
            }
            PrimaryButtonStyle {
                objectName: "passwordSend"
                text: "OK"
                enabled: password.text.length > 0
                onClicked: sheet.send()
            }
        }
    }
}
