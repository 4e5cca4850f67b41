import QtQuick
import Tessaravolt

// Tells the user that a save failed, and the system's reason for it.
// show(reason) opens it; OK closes it.
MessagePopup {
    id: popup

    property string reason: ""

    function show(failureReason) {
        popup.reason = failureReason
        popup.open()
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
}
