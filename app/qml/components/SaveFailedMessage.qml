import QtQuick
import QtQuick.Controls
import Tessaravolt

// Tells the user that a save failed, and the system's reason for it.
// show(reason) opens it; OK closes it.
Popup {
    id: popup

    property string reason: ""

    function show(failureReason) {
        popup.reason = failureReason
        popup.open()
    }

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

    contentItem: Column {
        spacing: 24

        Column {
            width: parent.width
            spacing: 10

            AppText {
                objectName: "saveFailedTitle"
                width: parent.width
                text: qsTrId("file_not_saved_u")
                textFormat: Text.PlainText
                wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                font.bold: true
                font.pixelSize: Theme.fontMedium
            }

            AppText {
                objectName: "saveFailedReason"
                width: parent.width
                text: popup.reason
                textFormat: Text.PlainText
                wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                font.pixelSize: 18
                visible: popup.reason !== ""
            }
        }

        ChoiceButton {
            objectName: "saveFailedOk"
            anchors.right: parent.right
            label: qsTrId("ok_u")
            strong: true
            onClicked: popup.close()
        }
    }

    component ChoiceButton: Rectangle {
        id: button
        property string label
        property bool strong: false
        signal clicked()

        width: Math.max(120, buttonText.implicitWidth + 40)
        height: 44
        radius: Theme.panelRadius
        color: strong ? Theme.actionButton : Theme.panelDark
        border.width: strong ? 4 : 3
        border.color: strong ? Theme.actionButtonBorder : Theme.panelDarker

        AppText {
            id: buttonText
            anchors.centerIn: parent
            text: button.label
            textFormat: Text.PlainText
            font.pixelSize: 18
        }

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: button.clicked()
        }
    }
}
