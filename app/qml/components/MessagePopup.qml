import QtQuick
import QtQuick.Controls
import Tessaravolt

// The frame of the program's own questions and messages: modal, centred over the window,
// closed with Escape.
Popup {
    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    width: 560
    padding: 30

    background: Rectangle {
        radius: Theme.panelRadius
        color: Theme.panel
        border.width: 2
        border.color: Theme.panelDarker
    }
}
