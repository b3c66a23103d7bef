import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The search field (Escape or its clear button empties it), the selection's two buttons
// and whether the package manager was found.
RowLayout {
    id: row

    property var viewModel
    property bool onMac

    function focusSearch() { searchField.forceActiveFocus() }

    Layout.fillWidth: true
    Layout.leftMargin: 18
    Layout.rightMargin: 18
    spacing: 10

    ThemedTextField {
        id: searchField
        objectName: "searchField"
        placeholderText: row.onMac ? "Search apps (⌘F)" : "Search apps (Ctrl+F)"
        text: row.viewModel.searchText
        onTextEdited: row.viewModel.searchText = text
        // Escape empties the search (never the selection); an empty field lets
        // it pass on.
        Keys.onEscapePressed: event => {
            event.accepted = text.length > 0
            row.viewModel.searchText = ""
        }
        rightPadding: clearSearch.visible ? clearSearch.width + 6 : 8
        Layout.fillWidth: true
        Layout.maximumWidth: 320
        Layout.minimumWidth: 160

        Text {
            id: clearSearch
            objectName: "clearSearchButton"
            visible: searchField.text.length > 0
            anchors.right: parent.right
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            text: "✕"
            color: clearArea.containsMouse ? Theme.ink : Theme.muted
            font.pixelSize: 12
            MouseArea {
                id: clearArea
                anchors.fill: parent
                anchors.margins: -4
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: row.viewModel.searchText = ""
            }
            ToolTip.visible: clearArea.containsMouse
            ToolTip.delay: 600
            ToolTip.text: "Clear the search"
        }
    }
    SecondaryButtonStyle {
        objectName: "selectRecommendedButton"
        text: "Select recommended"
        onClicked: row.viewModel.selectRecommended()
    }
    SecondaryButtonStyle {
        objectName: "clearButton"
        text: "Clear selection"
        onClicked: row.viewModel.clearSelection()
    }
    Item { Layout.fillWidth: true }
    Text {
        objectName: "managerStatusText"
        text: row.viewModel.managerStatusText
        color: row.viewModel.hasManagerPath ? Theme.muted : Theme.danger
        font.pixelSize: 12
        font.bold: !row.viewModel.hasManagerPath
        elide: Text.ElideMiddle
        Layout.maximumWidth: 360
    }
}
