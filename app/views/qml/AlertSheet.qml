import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The error alert: shown while there is a message; "OK" (or Escape) acknowledges it.
Sheet {
    id: alert

    property string message
    signal acknowledged()

    // Opened and closed from the message, so a dismissal by Escape cannot leave a
    // stale state behind that would hide the next error.
    onMessageChanged: message.length > 0 ? open() : close()
    Component.onCompleted: if (message.length > 0) open()
    closePolicy: Popup.CloseOnEscape
    onClosed: if (message.length > 0) acknowledged()

    ColumnLayout {
        width: 360
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
            objectName: "errorAlertMessage"
            text: alert.message
            color: Theme.ink
            font.pixelSize: 13
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
        }
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.bottomMargin: 20
            Item { Layout.fillWidth: true }
            PrimaryButtonStyle {
                objectName: "errorAlertOkButton"
                text: "OK"
                onClicked: alert.acknowledged()
            }
        }
    }
}
