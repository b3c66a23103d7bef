import QtQuick
import QtQuick.Layouts

// The head of one category's card: a check box that selects the category's visible,
// installable entries, and the category's name. The entries follow as AppRow items.
RowLayout {
    id: section

    property var viewModel
    property string category
    // True only when every eligible entry is selected; a mixed category shows a dash.
    property bool checked: false
    property bool partial: false

    function focusBox() { box.forceActiveFocus(Qt.TabFocusReason) }

    spacing: 10

    ThemedCheckBox {
        id: box
        objectName: "categoryCheckBox_" + section.category
        checked: section.checked
        partial: section.partial
        onToggled: value => section.viewModel.setCategory(section.category, value)
    }
    Text {
        objectName: "categoryTitle_" + section.category
        text: section.category.toUpperCase()
        color: Theme.cyan
        font.pixelSize: 12
        font.bold: true
        font.letterSpacing: 1.5
    }
    Item { Layout.fillWidth: true }
}
