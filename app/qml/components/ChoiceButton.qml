import QtQuick
import Tessaravolt

// A button of the program's own questions and messages; strong marks the one that goes ahead.
Rectangle {
    id: button

    property string label
    property bool strong: false

    signal clicked()

    width: Math.max(120, buttonText.implicitWidth + 40)
    height: 44
    radius: Theme.panelRadius
    color: button.strong ? Theme.actionButton : Theme.panelDark
    border.width: button.strong ? 4 : 3
    border.color: button.strong ? Theme.actionButtonBorder : Theme.panelDarker

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
