import QtQuick
import Tessaravolt

// "30 W MAX": the most a flow direction's ports can carry.
Row {
    property double total: 0

    AppText {
        anchors.verticalCenter: parent.verticalCenter
        text: parent.total
        font.pixelSize: Theme.fontMedium
        font.weight: 400
        skipLangCheck: true
    }
    AppText {
        anchors.verticalCenter: parent.verticalCenter
        text: " W "
        font.pixelSize: Theme.fontMedium
        font.weight: 270
        skipLangCheck: true
    }
    AppText {
        anchors.verticalCenter: parent.verticalCenter
        text: qsTrId("power_max_c")
        font.pixelSize: Theme.fontMedium
        font.weight: 270
    }
}
