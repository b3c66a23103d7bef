import QtQuick

FlatButton {
    fillColor: Theme.elevated
    pressedFillColor: Theme.withAlpha(Theme.lineBright, 0.40)
    borderColor: Theme.line
    foregroundColor: Theme.ink
}
