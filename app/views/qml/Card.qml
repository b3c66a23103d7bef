import QtQuick
import QtQuick.Layouts

// A rounded surface with a hairline border and a gradient accent along its top edge.
// A long list draws one card as several slices: `openTop` / `openBottom` leave that
// edge out so consecutive slices join into one card.
Item {
    id: card

    property real padding: 16
    property bool openTop: false
    property bool openBottom: false
    default property alias content: column.data

    readonly property real topInset: openTop ? 0 : padding
    readonly property real bottomInset: openBottom ? 0 : padding

    implicitWidth: column.implicitWidth + 2 * padding
    implicitHeight: column.implicitHeight + topInset + bottomInset

    Item {
        anchors.fill: parent
        clip: card.openTop || card.openBottom

        Rectangle {
            readonly property real overhang: 12
            x: 0
            y: card.openTop ? -overhang : 0
            width: parent.width
            height: parent.height + (card.openTop ? overhang : 0) + (card.openBottom ? overhang : 0)
            radius: 10
            color: Theme.surface
            border.color: Theme.line
            border.width: 1
        }
    }

    ColumnLayout {
        id: column
        spacing: 0
        anchors.fill: parent
        anchors.leftMargin: card.padding
        anchors.rightMargin: card.padding
        anchors.topMargin: card.topInset
        anchors.bottomMargin: card.bottomInset
    }

    Rectangle {
        objectName: "cardAccent"
        visible: !card.openTop
        x: 10
        y: 0
        width: parent.width - 20
        height: 2
        radius: 1
        gradient: BrandGradient {}
    }
}
