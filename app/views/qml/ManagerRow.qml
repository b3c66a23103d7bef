import QtQuick
import QtQuick.Layouts

// The package manager to install with, and a link to install it while it was not found.
RowLayout {
    id: row

    property var viewModel

    Layout.fillWidth: true
    Layout.leftMargin: 18
    Layout.rightMargin: 18
    spacing: 10

    RowLayout {
        spacing: 8
        Layout.preferredWidth: 260
        Layout.maximumWidth: 260
        Text {
            text: "Package manager"
            color: Theme.ink
            font.pixelSize: 13
        }
        ThemedComboBox {
            objectName: "managerPicker"
            model: row.viewModel.options.managerNames
            currentIndex: row.viewModel.options.packageManagerIndex
            onActivated: index => row.viewModel.options.packageManagerIndex = index
            Layout.fillWidth: true
        }
    }
    Text {
        text: "Choose either manager on Intel or Apple silicon. Packages are not migrated between them."
        color: Theme.muted
        font.pixelSize: 11
        elide: Text.ElideRight
        Layout.fillWidth: true
    }
    // Needed only while the chosen manager was not found.
    LinkText {
        objectName: "installManagerLink"
        visible: !row.viewModel.hasManagerPath
        text: "Install " + row.viewModel.options.managerDisplayName
        url: row.viewModel.options.managerInstallURL
        font.pixelSize: 13
    }
}
