import QtQuick
import QtQuick.Layouts

// One option drawn as a check box with its label; a click on the label counts too.
RowLayout {
    id: option

    property string text
    property bool checked: false
    signal toggled(bool value)
    readonly property alias box: box

    spacing: 8

    ThemedCheckBox {
        id: box
        checked: option.checked
        onToggled: value => option.toggled(value)
    }
    Text {
        objectName: option.objectName + "Label"
        text: option.text
        color: Theme.ink
        font.pixelSize: 13

        MouseArea {
            anchors.fill: parent
            onClicked: option.toggled(!option.checked)
        }
    }
}
