import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// Beyond the catalogue: the packages added by name ("Not in the catalogue", each with a
// remove button), the field that adds one, and the two ways to carry a Mac over (import
// a Brewfile as the selection, save this Mac as a profile). The logic is the carry-over
// object's; this only presents it, and the window's file sheets ask for the files.
Card {
    id: section

    property var carry: null
    readonly property bool idle: carry !== null && !carry.busy

    signal importBrewfileRequested()
    signal saveThisMacRequested()

    padding: 16

    ColumnLayout {
        spacing: 10
        Layout.fillWidth: true

        Text {
            text: "Not in the catalogue"
            color: Theme.ink
            font.pixelSize: 14
            font.bold: true
        }
        Repeater {
            model: section.carry
            delegate: RowLayout {
                required property int index
                required property string name
                required property string kind
                spacing: 8
                Layout.fillWidth: true
                Text {
                    text: name
                    color: Theme.ink
                    font.pixelSize: 13
                    Layout.fillWidth: true
                    elide: Text.ElideMiddle
                }
                Text {
                    text: kind
                    color: Theme.muted
                    font.pixelSize: 12
                }
                SecondaryButtonStyle {
                    objectName: "removePackage_" + name
                    text: "Remove"
                    Accessible.name: "Remove " + name
                    onClicked: section.carry.remove(index)
                }
            }
        }
        RowLayout {
            spacing: 8
            Layout.fillWidth: true
            ThemedTextField {
                id: nameField
                objectName: "packageNameField"
                placeholderText: "Package name, e.g. ripgrep or user/tap/tool"
                Layout.fillWidth: true
                onAccepted: addButton.clicked()
            }
            ThemedComboBox {
                id: kindPicker
                objectName: "packageKindPicker"
                model: ["formula", "cask", "port"]
            }
            SecondaryButtonStyle {
                id: addButton
                objectName: "addPackageButton"
                text: "Add"
                enabled: nameField.text.length > 0 && section.idle
                onClicked: {
                    section.carry.add(nameField.text, kindPicker.currentText)
                    nameField.text = ""
                }
            }
        }
        Text {
            objectName: "carryMessage"
            visible: text.length > 0
            text: section.carry ? section.carry.message : ""
            color: Theme.muted
            font.pixelSize: 12
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        RowLayout {
            spacing: 8
            SecondaryButtonStyle {
                objectName: "importBrewfileButton"
                text: "Import Brewfile..."
                enabled: section.idle
                onClicked: section.importBrewfileRequested()
            }
            SecondaryButtonStyle {
                objectName: "saveThisMacButton"
                text: "Save this Mac as a profile..."
                enabled: section.idle
                onClicked: section.saveThisMacRequested()
            }
        }
    }
}
