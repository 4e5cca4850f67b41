import QtQuick
import QtQuick.Controls
import Tessaravolt

// The pack's total and one row per cell; rows beyond the reported cell count stay hidden.
Rectangle {
    id: panel

    property var model
    property int maxIndex: 0
    readonly property bool scrolling: panel.maxIndex > 2

    color: Theme.panel
    radius: Theme.panelRadius

    HeaderBand {
        id: cellTitle
        z: 10
        accent: Theme.greenDark
        title: qsTrId("battery_cell_voltage_u")
        titleLabel.x: 20
        titleLabel.font.weight: 600
    }

    ListView {
        id: cellVoltageList
        objectName: "cellVoltageList"
        anchors.left: parent.left
        anchors.leftMargin: 36
        anchors.top: cellTitle.bottom
        anchors.topMargin: 30
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        anchors.right: parent.right
        anchors.rightMargin: panel.scrolling ? 24 : 0
        spacing: 20
        clip: true
        model: panel.model
        interactive: panel.scrolling
        boundsBehavior: Flickable.StopAtBounds
        boundsMovement: Flickable.StopAtBounds
        onInteractiveChanged: {
            if (!interactive)
                contentY = originY
        }

        ScrollBar.vertical: ScrollBar {
            objectName: "cellScrollBar"
            width: 18
            visible: panel.scrolling
            enabled: panel.scrolling
            active: panel.scrolling
            policy: panel.scrolling ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            background: Rectangle {
                radius: 9
                color: Theme.panelDark
            }
            contentItem: Rectangle {
                implicitWidth: 18
                radius: 9
                color: Theme.sidebar
            }
        }

        delegate: Row {
            id: cellRow

            required property int cellIndex
            required property real voltage
            readonly property bool isTotal: cellRow.cellIndex === 0
            readonly property color barColor: cellRow.isTotal ? Theme.green : Theme.greenDark

            visible: cellRow.cellIndex < panel.maxIndex
            height: visible ? 40 : 0
            width: 488
            spacing: 28

            AppText {
                objectName: "cellLabel"
                width: 100
                anchors.verticalCenter: parent.verticalCenter
                anchors.verticalCenterOffset: I18n.isEn ? 3 : 0
                text: cellRow.isTotal ? qsTrId("cell_total_u")
                                      : qsTrId("cell_chip_u") + (I18n.isEn ? " " : "") + cellRow.cellIndex
                font.pixelSize: Theme.fontMedium
                font.weight: cellRow.isTotal ? 600 : 400
                font.family: Theme.fontCompat(skipLangCheck, cellRow.isTotal ? Theme.suisseIntlSemiBold.name
                                                                            : Theme.suisseIntlRegular.name)
            }

            Rectangle {
                width: 360
                height: 40
                radius: 6
                gradient: Gradient {
                    orientation: Gradient.Horizontal
                    GradientStop {
                        position: 0.0
                        color: "#4d" + cellRow.barColor.toString().substring(1)
                    }
                    GradientStop {
                        position: 1.0
                        color: cellRow.barColor
                    }
                }

                AppText {
                    objectName: "cellVoltage"
                    x: 12
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.verticalCenterOffset: 3
                    text: cellRow.voltage.toFixed(2) + " V"
                    font.pixelSize: Theme.fontMedium
                    skipLangCheck: true
                }
            }
        }
    }
}
