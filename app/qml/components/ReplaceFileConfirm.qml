import QtQuick
import Tessaravolt

// Asks before a save replaces an existing file (the built-in save dialog does not ask).
// ask(path) opens it for that file; replaceConfirmed(path) follows only a press on Replace.
MessagePopup {
    id: popup

    property string path: ""
    readonly property string fileName: {
        const slash = popup.path.lastIndexOf("/")
        const name = slash >= 0 ? popup.path.substring(slash + 1) : popup.path
        try {
            return decodeURIComponent(name)
        } catch (e) {
            return name
        }
    }

    signal replaceConfirmed(string path)

    function ask(chosenPath) {
        popup.path = chosenPath
        popup.open()
    }

    function confirm() {
        const chosen = popup.path
        popup.close()
        popup.replaceConfirmed(chosen)
    }

    contentItem: Column {
        spacing: 24

        AppText {
            objectName: "replaceTitle"
            width: parent.width
            text: qsTrId("replace_file_u")
            textFormat: Text.PlainText
            font.bold: true
            font.pixelSize: Theme.fontMedium
        }

        AppText {
            objectName: "replaceMessage"
            width: parent.width
            text: qsTrId("file_exists_replace_u").arg(popup.fileName)
            textFormat: Text.PlainText
            wrapMode: Text.WrapAtWordBoundaryOrAnywhere
            font.pixelSize: 18
        }

        Row {
            anchors.right: parent.right
            spacing: 16

            ChoiceButton {
                objectName: "replaceCancel"
                label: qsTrId("cancel_u")
                onClicked: popup.close()
            }
            ChoiceButton {
                objectName: "replaceAccept"
                label: qsTrId("replace_u")
                strong: true
                onClicked: popup.confirm()
            }
        }
    }
}
