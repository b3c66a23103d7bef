import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The bottom band: an optional status on the left, the links on the right.
Rectangle {
    id: footer

    property var identity
    property string trailingStatus: ""

    color: Theme.background
    implicitHeight: row.implicitHeight + 16

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: 1
        color: Theme.line
    }

    RowLayout {
        id: row
        spacing: 6
        anchors.fill: parent
        anchors.leftMargin: 18
        anchors.rightMargin: 18
        anchors.topMargin: 8
        anchors.bottomMargin: 8

        Text {
            objectName: "footerStatus"
            visible: footer.trailingStatus.length > 0
            text: footer.trailingStatus
            color: Theme.muted
            font.pixelSize: 11
            elide: Text.ElideMiddle
            maximumLineCount: 1
            Layout.fillWidth: true
            Layout.maximumWidth: implicitWidth
        }
        Item { Layout.fillWidth: true }
        Text { text: "Freeware"; color: Theme.muted; font.pixelSize: 11 }
        Text { text: "·"; color: Theme.muted; font.pixelSize: 11 }
        LinkText {
            objectName: "authorLink"
            text: footer.identity ? footer.identity.author : ""
            url: footer.identity ? footer.identity.authorUrl : ""
            help: "Open " + url + " in your browser"
        }
        Text { text: "·"; color: Theme.muted; font.pixelSize: 11 }
        LinkText {
            objectName: "donationLink"
            text: "☕ Buy me a coffee"
            url: footer.identity ? footer.identity.donationUrl : ""
            help: "Support this free tool - opens " + url
        }
    }
}
