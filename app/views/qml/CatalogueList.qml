import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The catalogue: one flat, virtualised list where each category is a header row followed
// by its entries, drawn as slices of one card; after it, what is chosen beyond the
// catalogue. Up and Down move between rows; a search that matches nothing says so.
Item {
    id: area

    property var viewModel
    // The catalogue rows (header and app rows of every category).
    property var catalogueCards

    signal importBrewfileRequested()
    signal saveThisMacRequested()

    ListView {
        id: catalogue
        objectName: "catalogueList"
        model: area.catalogueCards
        clip: true
        topMargin: 18
        bottomMargin: 18
        boundsBehavior: Flickable.StopAtBounds
        anchors.fill: parent
        ScrollBar.vertical: ScrollBar {}
        // After the catalogue: what is chosen beyond it, and carrying a Mac over.
        footer: Item {
            width: ListView.view.width
            height: carryView.implicitHeight + 12
            CarryOverView {
                id: carryView
                x: 18
                y: 12
                width: parent.width - 36
                carry: area.viewModel ? area.viewModel.carryOver : null
                onImportBrewfileRequested: area.importBrewfileRequested()
                onSaveThisMacRequested: area.saveThisMacRequested()
            }
        }

        // Up and Down move the keyboard from one row's check box to the next
        // row's, scrolling it into view.
        function focusRow(index) {
            if (index < 0 || index >= count)
                return
            positionViewAtIndex(index, ListView.Contain)
            const row = itemAtIndex(index)
            if (row)
                row.focusBox()
        }

        // A focus scope, so that Tab reaching a control of a row scrolls that row into view.
        delegate: FocusScope {
            id: rowItem
            required property int index
            required property bool isHeader
            required property bool closesCard
            required property string category
            required property bool categoryChecked
            required property int categoryState
            required property string appId
            required property string name
            required property string summary
            required property string licence
            required property string licenceTooltip
            required property string homepage
            required property bool recommended
            required property bool selected
            required property bool checkEnabled
            required property string packageText
            required property string helpText
            required property string installedText
            required property string installedHelp

            readonly property real gap: isHeader && index > 0 ? 12 : 0
            onActiveFocusChanged: if (activeFocus) ListView.view.positionViewAtIndex(index, ListView.Contain)
            function focusBox() { if (rowLoader.item) rowLoader.item.focusBox() }
            Keys.onUpPressed: catalogue.focusRow(index - 1)
            Keys.onDownPressed: catalogue.focusRow(index + 1)
            x: 18
            width: ListView.view.width - 36
            height: gap + slice.implicitHeight

            Card {
                id: slice
                y: rowItem.gap
                width: parent.width
                padding: 16
                openTop: !rowItem.isHeader
                openBottom: !rowItem.closesCard

                Loader {
                    id: rowLoader
                    Layout.fillWidth: true
                    sourceComponent: rowItem.isHeader ? headerRow : appRow
                }
            }

            Component {
                id: headerRow
                Item {
                    implicitHeight: section.implicitHeight + (rowItem.closesCard ? 0 : 6)
                    function focusBox() { section.focusBox() }
                    CategorySection {
                        id: section
                        width: parent.width
                        viewModel: area.viewModel
                        category: rowItem.category
                        checked: rowItem.categoryChecked
                        partial: rowItem.categoryState === -1
                    }
                }
            }
            Component {
                id: appRow
                Item {
                    implicitHeight: entry.implicitHeight + 10
                    function focusBox() { entry.focusBox() }
                    AppRow {
                        id: entry
                        y: 5
                        width: parent.width
                        viewModel: area.viewModel
                        appId: rowItem.appId
                        name: rowItem.name
                        summary: rowItem.summary
                        licence: rowItem.licence
                        licenceTooltip: rowItem.licenceTooltip
                        homepage: rowItem.homepage
                        recommended: rowItem.recommended
                        selected: rowItem.selected
                        checkEnabled: rowItem.checkEnabled
                        packageText: rowItem.packageText
                        helpText: rowItem.helpText
                        installedText: rowItem.installedText
                        installedHelp: rowItem.installedHelp
                    }
                }
            }
        }
    }

    // One notch of the wheel moves as many entries as the platform's scroll lines
    // (Flickable's own step is a few pixels); a touchpad's pixel deltas pass as they are.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        onWheel: wheel => {
            const step = wheel.pixelDelta.y !== 0
                ? wheel.pixelDelta.y
                : wheel.angleDelta.y / 120 * Qt.styleHints.wheelScrollLines * 48
            const top = catalogue.originY - catalogue.topMargin
            const bottom = catalogue.originY + catalogue.contentHeight
                + catalogue.bottomMargin - catalogue.height
            catalogue.contentY = Math.max(top, Math.min(Math.max(top, bottom),
                                                        catalogue.contentY - step))
        }
    }
    Column {
        visible: catalogue.count === 0 && area.viewModel.searchText.length > 0
        anchors.centerIn: parent
        spacing: 6
        Text {
            objectName: "noAppsMatchText"
            anchors.horizontalCenter: parent.horizontalCenter
            text: "No apps match"
            color: Theme.muted
            font.pixelSize: 13
        }
        LinkText {
            objectName: "clearSearchLink"
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Clear the search"
            help: ""
            font.pixelSize: 13
            onActivated: area.viewModel.searchText = ""
        }
    }
}
