import QtQuick
import QtQuick.Layouts

// Under the header: the kicker, the profile in use (the title bar's text, also where the
// title bar is hidden) and how many apps are selected.
RowLayout {
    id: row

    property var viewModel
    property var actions
    property var identity

    Layout.fillWidth: true
    Layout.leftMargin: 18
    Layout.rightMargin: 18
    Kicker { text: row.identity ? row.identity.kickerText : "" }
    Item { Layout.fillWidth: true }
    Text {
        objectName: "profileTitleText"
        visible: text.length > 0
        text: !row.actions || row.actions.profileName.length === 0 ? ""
              : row.actions.profileName + (row.actions.profileEdited ? " — Edited" : "")
        textFormat: Text.PlainText
        color: Theme.muted
        font.pixelSize: 11
        elide: Text.ElideMiddle
        Layout.maximumWidth: 360
    }
    Text {
        objectName: "selectedCountText"
        text: row.viewModel.selectedCount + " selected"
        color: Theme.ink
        font.pixelSize: 11
        font.weight: Font.DemiBold
        font.family: Theme.monospaceFamily
    }
}
