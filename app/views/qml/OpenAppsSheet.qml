import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// Apps the run would change are open: ask them to quit and go on, leave them for the next
// run, or cancel the run. Opened and closed by the question; Escape cancels the run.
Sheet {
    id: sheet

    property var question
    readonly property string text: question ? question.question : ""
    property bool answered: false

    closePolicy: Popup.CloseOnEscape
    onTextChanged: text.length > 0 ? open() : close()
    Component.onCompleted: if (text.length > 0) open()
    onAboutToShow: answered = false
    onClosed: if (!answered && text.length > 0) question.answer(2)

    function choose(choice) {
        answered = true
        question.answer(choice)
        close()
    }

    ColumnLayout {
        spacing: 12

        Text {
            text: "Open apps"
            color: Theme.ink
            font.pixelSize: 14
            font.bold: true
            Layout.topMargin: 20
            Layout.leftMargin: 20
            Layout.rightMargin: 20
        }
        Text {
            objectName: "openAppsMessage"
            text: sheet.text
            textFormat: Text.PlainText
            color: Theme.ink
            font.pixelSize: 13
            wrapMode: Text.Wrap
            Layout.preferredWidth: 420
            Layout.leftMargin: 20
            Layout.rightMargin: 20
        }
        RowLayout {
            spacing: 8
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.bottomMargin: 20
            Item { Layout.fillWidth: true }
            SecondaryButtonStyle {
                objectName: "openAppsCancel"
                text: "Cancel"
                onClicked: sheet.choose(2)
            }
            SecondaryButtonStyle {
                objectName: "openAppsSkip"
                text: "Skip them"
                onClicked: sheet.choose(1)
            }
            PrimaryButtonStyle {
                objectName: "openAppsQuit"
                text: "Quit them and go on"
                onClicked: sheet.choose(0)
            }
        }
    }
}
