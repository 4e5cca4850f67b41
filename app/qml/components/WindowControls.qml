import QtQuick
import Tessaravolt

Item {
    id: root

    signal minimizeRequested()
    signal closeRequested()

    width: 86
    height: 34

    Rectangle {
        id: minimizeButton
        objectName: "minimizeButton"
        x: 0
        y: 0
        width: 34
        height: 34
        radius: 6
        color: minimizeMouse.containsMouse ? Theme.panel : "transparent"
        border.width: 1
        border.color: minimizeMouse.containsMouse ? Theme.disabled : "transparent"

        AppText {
            objectName: "minimizeGlyph"
            anchors.centerIn: parent
            text: "\u2013"
            color: Theme.mutedText
            font.pixelSize: 22
            font.bold: true
        }

        MouseArea {
            id: minimizeMouse
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: root.minimizeRequested()
        }
    }

    Rectangle {
        id: closeButton
        objectName: "closeButton"
        x: 42
        y: 0
        width: 34
        height: 34
        radius: 6
        color: closeMouse.containsMouse ? Theme.closeHover : "transparent"
        border.width: 1
        border.color: closeMouse.containsMouse ? Theme.closeHoverBorder : "transparent"

        AppText {
            objectName: "closeGlyph"
            anchors.centerIn: parent
            text: "\u00D7"
            color: closeMouse.containsMouse ? Theme.white : Theme.mutedText
            font.pixelSize: 22
            font.bold: true
        }

        MouseArea {
            id: closeMouse
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: root.closeRequested()
        }
    }
}
