import QtQuick

// The keyboard focus mark every control shares: a cyan outline just outside its parent.
Rectangle {
    anchors.fill: parent
    anchors.margins: -3
    radius: 6
    color: "transparent"
    border.width: 2
    border.color: Theme.cyan
}
