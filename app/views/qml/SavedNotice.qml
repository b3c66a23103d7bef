import QtQuick
import QtQuick.Layouts

// Where the last save went, with a way to see it there and to dismiss the notice.
RowLayout {
    id: row

    property var actions
    property bool onMac

    visible: savedText.text.length > 0
    spacing: 10
    Layout.fillWidth: true
    Layout.leftMargin: 18
    Layout.rightMargin: 18
    Text {
        id: savedText
        objectName: "savedNoticeText"
        text: row.actions ? row.actions.savedNotice : ""
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
        text: row.onMac ? "Show in Finder" : "Show in file manager"
        help: ""
        font.pixelSize: 12
        onActivated: row.actions.revealSaved()
    }
    LinkText {
        objectName: "dismissSavedLink"
        text: "✕"
        help: "Dismiss"
        font.pixelSize: 12
        color: Theme.muted
        onActivated: row.actions.dismissSaved()
    }
    Item { Layout.fillWidth: true }
}
