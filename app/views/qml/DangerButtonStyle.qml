import QtQuick

FlatButton {
    fillColor: Theme.withAlpha(Theme.danger, 0.16)
    pressedFillColor: Theme.withAlpha(Theme.danger, 0.30)
    borderColor: Theme.danger
    foregroundColor: Theme.danger
}
