import QtQuick
import QtQuick.Layouts

// Under the catalogue: the options, the profile and export commands, and Install.
RowLayout {
    id: row

    property var viewModel
    // The window's commands (ContentView).
    property var commands

    Layout.fillWidth: true
    Layout.leftMargin: 18
    Layout.rightMargin: 18
    Layout.bottomMargin: 6
    spacing: 8

    SecondaryButtonStyle {
        objectName: "installOptionsButton"
        text: "Install options..."
        onClicked: row.commands.showInstallOptions()
    }
    SecondaryButtonStyle {
        objectName: "openProfileButton"
        text: "Open profile..."
        onClicked: row.commands.openProfile()
    }
    SecondaryButtonStyle {
        objectName: "saveProfileButton"
        text: "Save profile..."
        onClicked: row.commands.saveProfile()
    }
    SecondaryButtonStyle {
        objectName: "exportScriptButton"
        text: "Export script..."
        enabled: row.viewModel.canExportScript
        onClicked: row.commands.exportScript()
    }
    SecondaryButtonStyle {
        objectName: "exportBrewfileButton"
        text: "Export Brewfile..."
        enabled: row.viewModel.canExportBrewfile
        onClicked: row.commands.exportBrewfile()
    }
    Item { Layout.fillWidth: true }
    PrimaryButtonStyle {
        objectName: "installButton"
        text: row.viewModel.replaceConfirmation.checking
              ? "Checking apps..." : row.viewModel.options.installButtonText
        enabled: row.viewModel.canInstall
        onClicked: row.commands.install()
    }
}
