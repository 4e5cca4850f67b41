import QtQuick
import Tessaravolt

PageShell {
    id: root

    ConnectionRings {
        id: rings
        objectName: "rings"
        width: 190
        height: 190
        anchors.centerIn: parent
        anchors.verticalCenterOffset: -20
    }

    AppText {
        objectName: "prompt"
        anchors.horizontalCenter: rings.horizontalCenter
        anchors.top: rings.bottom
        anchors.topMargin: 26
        font.pixelSize: Theme.fontMedium
        font.weight: Font.Normal
        color: Theme.white
        text: qsTrId("please_connect_device_u")
    }
}
