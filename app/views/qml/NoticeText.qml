import QtQuick
import QtQuick.Layouts

// A line of notice above the catalogue, shown while it has something to say.
Text {
    visible: text.length > 0
    color: Theme.muted
    font.pixelSize: 12
    wrapMode: Text.WordWrap
    Layout.fillWidth: true
    Layout.leftMargin: 18
    Layout.rightMargin: 18
}
