import QtQuick
import QtQuick.Layouts
import Tessaravolt

// The band of the six lifetime statistics: three columns of two label and value pairs.
CornerRectangle {
    id: strip

    property string minTemp
    property string maxTemp
    property string minVol
    property string maxVol
    property string maxCharge
    property string maxDischarge

    readonly property var columns: [
        [qsTrId("min_temperature_u"), strip.minTemp, qsTrId("max_temperature_u"), strip.maxTemp, 420],
        [qsTrId("min_voltage_u"), strip.minVol, qsTrId("max_voltage_u"), strip.maxVol, 320],
        [qsTrId("max_charge_current_u"), strip.maxCharge, qsTrId("max_discharge_current_u"), strip.maxDischarge, 280]
    ]

    height: 70
    radius: Theme.panelRadius
    bottomLeftRound: false
    bottomRightRound: false
    color: Theme.panelDark

    Row {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 60
        anchors.rightMargin: 60
        anchors.verticalCenter: parent.verticalCenter
        spacing: 0

        Repeater {
            model: strip.columns

            GridLayout {
                id: column
                required property var modelData

                width: modelData[4]
                columns: 2
                columnSpacing: 20
                rowSpacing: 4

                StatLabel { text: column.modelData[0] }
                StatValue { text: column.modelData[1] }
                StatLabel { text: column.modelData[2] }
                StatValue { text: column.modelData[3] }
            }
        }
    }

    component StatLabel: AppText {
        Layout.alignment: Qt.AlignVCenter
        font.pixelSize: 20
        font.weight: Font.Normal
    }

    component StatValue: AppText {
        Layout.fillWidth: true
        Layout.topMargin: 3
        Layout.alignment: Qt.AlignVCenter
        font.pixelSize: 20
        font.weight: 275
        skipLangCheck: true
    }
}
