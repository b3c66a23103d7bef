import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T

// A modal panel over the window, centred, on a dimmed backdrop. The keyboard works as
// in any sheet: focus starts on `firstFocus` with its ring showing, Return presses the
// focused button or else `returnPressed` (the default action), and Escape closes the
// sheet (cancel) while `escapeCloses`, wherever the focus is.
Popup {
    id: sheet

    default property alias body: scope.data
    // Where the keyboard starts when the sheet opens.
    property Item firstFocus
    property bool escapeCloses: true
    signal returnPressed()

    modal: true
    focus: true
    dim: true
    anchors.centerIn: T.Overlay.overlay
    closePolicy: escapeCloses ? Popup.CloseOnEscape : Popup.NoAutoClose
    // The border of the background stays visible around the content.
    padding: 1
    // Keep the whole sheet reachable in the smallest window.
    height: Math.min(implicitHeight, parent ? parent.height - 40 : implicitHeight)

    // A tab focus reason, so the first control shows its focus ring at once. A reopened
    // sheet gives its last focus back without that reason, perhaps to a control hidden
    // since: that focus is dropped first.
    function focusFirst() {
        if (scope.contains(scope.Window.activeFocusItem))
            scope.Window.activeFocusItem.focus = false
        if (firstFocus)
            firstFocus.focus = false
        if (firstFocus && firstFocus.visible)
            firstFocus.forceActiveFocus(Qt.TabFocusReason)
        else
            scope.forceActiveFocus(Qt.TabFocusReason)
    }
    onOpened: focusFirst()

    contentItem: FocusScope {
        id: scope
        implicitWidth: children.length > 0 ? children[0].implicitWidth : 0
        implicitHeight: children.length > 0 ? children[0].implicitHeight : 0

        Keys.onReturnPressed: event => scope.pressReturn(event)
        // Tab goes round the sheet's own controls; the window behind it is out of reach.
        Keys.onTabPressed: scope.moveFocus(true)
        Keys.onBacktabPressed: scope.moveFocus(false)

        function contains(item) {
            for (; item; item = item.parent) {
                if (item === scope)
                    return true
            }
            return false
        }
        function moveFocus(forward) {
            let item = scope.Window.activeFocusItem || scope
            for (let step = 0; step < 1000; ++step) {
                item = item.nextItemInFocusChain(forward)
                if (!item)
                    return
                if (scope.contains(item) && item !== scope) {
                    item.forceActiveFocus(forward ? Qt.TabFocusReason : Qt.BacktabFocusReason)
                    return
                }
            }
        }
        Keys.onEnterPressed: event => scope.pressReturn(event)

        function pressReturn(event) {
            const focused = scope.Window.activeFocusItem
            // A focused button is what Return presses; otherwise the default action.
            if (focused instanceof T.AbstractButton && focused.enabled)
                focused.clicked()
            else
                sheet.returnPressed()
        }
    }

    background: Rectangle {
        color: Theme.background
        radius: 10
        border.width: 1
        border.color: Theme.lineBright
    }
    T.Overlay.modal: Rectangle { color: Theme.withAlpha(Theme.background, 0.6) }
}
