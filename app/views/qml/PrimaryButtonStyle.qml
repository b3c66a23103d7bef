import QtQuick

FlatButton {
    fillColor: Theme.withAlpha(Theme.cyan, 0.20)
    pressedFillColor: Theme.withAlpha(Theme.cyan, 0.32)
    borderColor: Theme.cyan
    foregroundColor: Theme.ink
}
