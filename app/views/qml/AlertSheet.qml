import QtQuick
import QtQuick.Controls.Basic

// The error alert: shown while there is a message; "OK" (or Escape) acknowledges it.
MessageSheet {
    id: alert

    signal acknowledged()

    // Opened and closed from the message, so a dismissal by Escape cannot leave a
    // stale state behind that would hide the next error.
    onMessageChanged: message.length > 0 ? open() : close()
    Component.onCompleted: if (message.length > 0) open()
    onAccepted: acknowledged()
    onRejected: if (message.length > 0) acknowledged()
}
