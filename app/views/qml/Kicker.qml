import QtQuick

// A small spaced-out label in the accent colour; the text is shown exactly as given.
Text {
    color: Theme.cyan
    font.pixelSize: 10
    font.bold: true
    font.family: Theme.monospaceFamily
    font.letterSpacing: 2.5
}
