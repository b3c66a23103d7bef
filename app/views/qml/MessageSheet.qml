import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A message with one or two choices over the window. The text wraps at spaces within a
// readable width, so a long message never stretches the sheet across the window. The
// keyboard starts on the default choice, which Return presses: the accept button, but
// for a destructive question the cautious one; Escape is always the cautious choice.
Sheet {
    id: sheet

    property string message
    property string acceptText: "OK"
    // Empty: the sheet has the accept button only.
    property string rejectText: ""
    // A third answer between the two (empty: none), given by `alternative`.
    property string alternativeText: ""
    signal alternative()
    property bool destructive: false
    signal accepted()
    signal rejected()

    property bool answered: false
    function answer(accept) {
        answered = true
        close()
        accept ? accepted() : rejected()
    }
    function answerAlternative() {
        answered = true
        close()
        alternative()
    }

    readonly property bool acceptIsDefault: !destructive || rejectText.length === 0
    firstFocus: acceptIsDefault ? (destructive ? dangerAccept : primaryAccept) : rejectButton
    onReturnPressed: answer(acceptIsDefault)
    onAboutToShow: answered = false
    onClosed: if (!answered) rejected()

    ColumnLayout {
        spacing: 12

        Text {
            text: "Cairnmoor"
            color: Theme.ink
            font.pixelSize: 14
            font.bold: true
            Layout.topMargin: 20
            Layout.leftMargin: 20
            Layout.rightMargin: 20
        }
        Text {
            objectName: sheet.objectName + "Message"
            // A word joiner after each hyphen keeps names such as "x-ray" on one line.
            text: sheet.message.replace(/-/g, "-\u2060")
            // Names and paths from files, never markup.
            textFormat: Text.PlainText
            color: Theme.ink
            font.pixelSize: 13
            wrapMode: Text.Wrap
            Layout.preferredWidth: Math.max(300, Math.min(implicitWidth, 460))
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
                id: rejectButton
                objectName: sheet.objectName + "Reject"
                visible: sheet.rejectText.length > 0
                text: sheet.rejectText
                onClicked: sheet.answer(false)
            }
            SecondaryButtonStyle {
                objectName: sheet.objectName + "Alternative"
                visible: sheet.alternativeText.length > 0
                text: sheet.alternativeText
                onClicked: sheet.answerAlternative()
            }
            PrimaryButtonStyle {
                id: primaryAccept
                objectName: visible ? sheet.objectName + "Accept" : ""
                visible: !sheet.destructive
                text: sheet.acceptText
                onClicked: sheet.answer(true)
            }
            DangerButtonStyle {
                id: dangerAccept
                objectName: visible ? sheet.objectName + "Accept" : ""
                visible: sheet.destructive
                text: sheet.acceptText
                onClicked: sheet.answer(true)
            }
        }
    }
}
