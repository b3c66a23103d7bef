import QtQuick
import QtQuick.Controls.Basic

// A drop-down picker in the dark style.
ComboBox {
    id: picker

    font.pixelSize: 13
    implicitHeight: 28

    contentItem: Text {
        leftPadding: 10
        rightPadding: picker.indicator.width + 6
        text: picker.displayText
        font: picker.font
        color: Theme.ink
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    indicator: Text {
        x: picker.width - width - 10
        y: (picker.height - height) / 2
        text: "▾"
        color: Theme.cyan
        font.pixelSize: 12
    }
    background: Rectangle {
        radius: 6
        color: picker.pressed ? Theme.withAlpha(Theme.lineBright, 0.4) : Theme.elevated
        border.width: 1
        border.color: picker.activeFocus ? Theme.cyan : Theme.line
    }
    delegate: ItemDelegate {
        required property int index
        required property var modelData
        width: ListView.view.width
        highlighted: picker.highlightedIndex === index
        contentItem: Text {
            text: parent.modelData
            color: Theme.ink
            font.pixelSize: 13
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            color: parent.highlighted ? Theme.withAlpha(Theme.cyan, 0.2) : Theme.elevated
        }
    }
    popup: Popup {
        y: picker.height + 2
        width: picker.width
        implicitHeight: contentItem.implicitHeight + 2
        padding: 1
        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: picker.popup.visible ? picker.delegateModel : null
            currentIndex: picker.highlightedIndex
        }
        background: Rectangle {
            radius: 6
            color: Theme.elevated
            border.width: 1
            border.color: Theme.lineBright
        }
    }
}
