import QtQuick
import QtQuick.Layouts

// One option drawn as a check box with its label; a click on the label counts too.
RowLayout {
    id: option

    property string text
    property bool checked: false
    // Off: shown dimmed and left as it is (its label may say why).
    property bool editable: true
    signal toggled(bool value)
    readonly property alias box: box

    spacing: 8

    ThemedCheckBox {
        id: box
        checked: option.checked
        editable: option.editable
        onToggled: value => option.toggled(value)
    }
    Text {
        objectName: option.objectName + "Label"
        text: option.text
        color: option.editable ? Theme.ink : Theme.withAlpha(Theme.muted, 0.7)
        font.pixelSize: 13

        MouseArea {
            anchors.fill: parent
            onClicked: if (option.editable) option.toggled(!option.checked)
        }
    }
}
