import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The bottom band: an optional status on the left, the links on the right.
Rectangle {
    id: footer

    property var identity
    property string trailingStatus: ""
    // A link after the status, e.g. one that shows the status's subject again.
    property string statusLink: ""
    signal statusLinkActivated()

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
            // Whole pixels: a layout's rounding would otherwise cut the last word although
            // there is room for it.
            Layout.fillWidth: true
            Layout.preferredWidth: Math.ceil(implicitWidth)
            Layout.maximumWidth: Math.ceil(implicitWidth)
        }
        LinkText {
            objectName: "footerStatusLink"
            visible: footer.statusLink.length > 0
            text: footer.statusLink
            help: ""
            onActivated: footer.statusLinkActivated()
        }
        Item { Layout.fillWidth: true }
        Text { text: "Freeware"; color: Theme.muted; font.pixelSize: 11 }
        Text { text: "·"; color: Theme.muted; font.pixelSize: 11 }
        // Without a profile page the name stays plain text.
        LinkText {
            objectName: "authorLink"
            visible: url.length > 0
            text: footer.identity.publisherName
            url: footer.identity.profileUrl
            help: "Open " + url + " in your browser"
        }
        Text {
            visible: footer.identity.profileUrl.length === 0
            text: footer.identity.publisherName
            color: Theme.muted
            font.pixelSize: 11
        }
        Text {
            visible: donation.visible
            text: "·"
            color: Theme.muted
            font.pixelSize: 11
        }
        LinkText {
            id: donation
            objectName: "donationLink"
            visible: url.length > 0
            text: "☕ Buy me a coffee"
            url: footer.identity.donationUrl
            help: "Support this free tool - opens " + url
        }
    }
}
