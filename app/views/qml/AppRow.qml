import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// One catalogue entry: check box, name with licence badge, recommended and installed
// marks, the summary, the package that would be installed, and a link to the homepage.
RowLayout {
    id: row

    property var viewModel
    property string appId
    property string name
    property string summary
    property string licence
    property string licenceTooltip
    property string homepage
    property bool recommended: false
    property bool selected: false
    property bool checkEnabled: true
    property string packageText
    property string helpText
    // Empty until an inventory says the app is on the Mac.
    property string installedText
    property string installedHelp

    readonly property bool homepageIsLink: /^https?:\/\/[^\s\/]+/.test(homepage)

    function focusBox() { box.forceActiveFocus(Qt.TabFocusReason) }

    spacing: 10

    ThemedCheckBox {
        id: box
        objectName: "appCheckBox_" + row.appId
        checked: row.selected
        editable: row.checkEnabled
        help: row.helpText
        onToggled: row.viewModel.toggle(row.appId)
        Layout.alignment: Qt.AlignVCenter
    }

    ColumnLayout {
        spacing: 2
        Layout.fillWidth: true
        Layout.minimumWidth: 0

        RowLayout {
            spacing: 8
            Layout.fillWidth: true
            // A long name gives way to the badges and marks, ending in an ellipsis, with
            // the whole name as hover help.
            Text {
                objectName: "appName_" + row.appId
                text: row.name
                textFormat: Text.PlainText
                color: Theme.ink
                font.pixelSize: 13
                font.weight: Font.Medium
                elide: Text.ElideRight
                maximumLineCount: 1
                // Whole pixels: a layout's rounding must not cut the last letter.
                Layout.fillWidth: true
                Layout.preferredWidth: Math.ceil(implicitWidth)
                Layout.maximumWidth: Math.ceil(implicitWidth)
                Layout.minimumWidth: Math.min(Math.ceil(implicitWidth), 60)

                MouseArea {
                    id: nameArea
                    anchors.fill: parent
                    hoverEnabled: parent.truncated
                    acceptedButtons: Qt.NoButton
                }
                ToolTip.visible: nameArea.containsMouse && truncated
                ToolTip.delay: 600
                ToolTip.text: row.name
            }
            Rectangle {
                id: badge
                readonly property color tint: Theme.licenceColor(row.licence)
                implicitWidth: badgeText.implicitWidth + 12
                implicitHeight: badgeText.implicitHeight + 4
                radius: height / 2
                color: "transparent"
                border.width: 1
                border.color: tint

                Text {
                    id: badgeText
                    anchors.centerIn: parent
                    text: Theme.licenceLabel(row.licence)
                    color: badge.tint
                    font.pixelSize: 9
                    font.bold: true
                }
                MouseArea {
                    id: badgeArea
                    anchors.fill: parent
                    hoverEnabled: true
                    acceptedButtons: Qt.NoButton
                }
                ToolTip.visible: badgeArea.containsMouse
                ToolTip.delay: 600
                ToolTip.text: row.licenceTooltip
            }
            Text {
                visible: row.recommended
                text: "RECOMMENDED"
                color: Theme.violet
                font.pixelSize: 9
                font.bold: true
                font.letterSpacing: 1
            }
            Text {
                objectName: "installedMark_" + row.appId
                visible: row.installedText.length > 0
                text: row.installedText.toUpperCase()
                color: Theme.success
                font.pixelSize: 9
                font.bold: true
                font.letterSpacing: 1

                MouseArea {
                    id: markArea
                    anchors.fill: parent
                    hoverEnabled: true
                    acceptedButtons: Qt.NoButton
                }
                ToolTip.visible: markArea.containsMouse
                ToolTip.delay: 600
                ToolTip.text: row.installedHelp
            }
        }
        Text {
            text: row.summary
            color: Theme.muted
            font.pixelSize: 11
            elide: Text.ElideRight
            maximumLineCount: 1
            Layout.fillWidth: true
        }
    }

    Text {
        objectName: "packageText_" + row.appId
        text: row.packageText
        color: Theme.muted
        font.pixelSize: 10
        font.family: Theme.monospaceFamily
        elide: Text.ElideMiddle
        Layout.maximumWidth: 220
        Layout.alignment: Qt.AlignVCenter
    }

    HomepageLink {
        objectName: "homepageLink_" + row.appId
        visible: row.homepageIsLink
        url: row.homepage
        Layout.alignment: Qt.AlignVCenter
    }
}
