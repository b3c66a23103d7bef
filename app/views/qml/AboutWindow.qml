import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Window

// The About panel: name, version, publisher and the credits (signature, build date, the
// executable's SHA-256 and the links), rebuilt every time it is shown. Escape and
// Cmd/Ctrl+W close it, whatever the window manager gives it.
Window {
    id: about

    property var identity
    property string credits

    function present() {
        credits = identity.aboutCredits()
        show()
        raise()
        requestActivate()
    }

    title: "About Cairnmoor"
    flags: Qt.Dialog
    color: Theme.background
    width: 620
    height: column.implicitHeight + 48
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 24
        spacing: 6

        Shortcut {
            // Ctrl is the Command key on macOS.
            sequences: ["Ctrl+W", "Escape"]
            onActivated: about.close()
        }

        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: 56
            implicitHeight: 56
            radius: 14
            gradient: BrandGradient {}
            Text {
                anchors.centerIn: parent
                text: "C"
                color: Theme.background
                font.pixelSize: 30
                font.bold: true
            }
        }
        Text {
            objectName: "aboutName"
            Layout.alignment: Qt.AlignHCenter
            text: about.identity ? about.identity.product : ""
            color: Theme.ink
            font.pixelSize: 15
            font.bold: true
        }
        Text {
            objectName: "aboutVersion"
            Layout.alignment: Qt.AlignHCenter
            text: "Version " + (about.identity ? about.identity.version : "")
            color: Theme.muted
            font.pixelSize: 11
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 10
            text: about.identity ? about.identity.copyright : ""
            color: Theme.muted
            font.pixelSize: 10
        }
        TextEdit {
            objectName: "aboutCredits"
            Layout.fillWidth: true
            readOnly: true
            selectByMouse: true
            textFormat: TextEdit.RichText
            wrapMode: TextEdit.Wrap
            horizontalAlignment: TextEdit.AlignHCenter
            selectionColor: Theme.withAlpha(Theme.cyan, 0.35)
            text: about.credits
            onLinkActivated: link => Qt.openUrlExternally(link)

            HoverHandler {
                cursorShape: parent.hoveredLink.length > 0 ? Qt.PointingHandCursor : Qt.IBeamCursor
            }
        }
    }
}
