import QtQuick
import QtQuick.Layouts
import Tessaravolt

Rectangle {
    id: root

    property string portName: ""
    property bool active: false
    property string watts: "0.0"
    property string volts: "0.0"
    property string current: "0.0"
    property string rating: "0"
    property string protocol: ""
    property string plugin: ""
    property bool isInput: true
    property string headerColor: ""
    readonly property bool isNotAPort: portName !== "A"
    readonly property bool isWireless: portName === "W"

    width: parent ? parent.width : 0
    height: parent ? parent.height : 0
    radius: Theme.panelRadius
    color: Theme.panel
    opacity: active ? 1.0 : 0.56

    HeaderBand {
        id: portTitle
        accent: root.headerColor.length === 7 ? root.headerColor : "transparent"
        title: root.portName
        titleLabel.x: 20
        titleLabel.anchors.verticalCenterOffset: 3
        titleLabel.font.weight: 600
        titleLabel.font.family: Theme.suisseIntlSemiBold.name
        titleLabel.skipLangCheck: true

        Image {
            x: 80
            anchors.verticalCenter: parent.verticalCenter
            source: root.plugin
        }
    }

    ColumnLayout {
        x: 20
        width: 48
        anchors.top: portTitle.bottom
        anchors.bottom: parent.bottom

        Item {
            Layout.preferredHeight: 10
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: 1

            Image {
                anchors.verticalCenter: parent.verticalCenter
                width: 28
                height: 48
                visible: root.active
                source: root.isInput ? "../../assets/power_input_small.svg" : "../../assets/power_output_small.svg"
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: 1

            Image {
                anchors.verticalCenter: parent.verticalCenter
                width: 30
                height: 58
                fillMode: Image.PreserveAspectFit
                visible: root.isNotAPort && root.active
                source: root.isWireless ? (root.protocol === "Qi2" ? "../../assets/protocol_qi2.png"
                                                                   : "../../assets/protocol_qi.png")
                                        : "../../assets/power_cable.svg"
            }
        }

        Item {
            Layout.preferredHeight: 10
        }
    }

    ColumnLayout {
        x: 80
        width: parent.width - x - 20
        anchors.top: portTitle.bottom
        anchors.bottom: parent.bottom

        Item {
            Layout.preferredHeight: 10
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: 1
            visible: root.active

            Column {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 10

                Row {
                    AppText {
                        text: root.watts
                        font.pixelSize: Theme.fontMedium
                        font.weight: 400
                        skipLangCheck: true
                    }
                    ThinUnit {
                        text: " W"
                    }
                }

                Row {
                    AppText {
                        text: root.volts
                        font.pixelSize: Theme.fontMedium
                        font.weight: 400
                        skipLangCheck: true
                    }
                    ThinUnit {
                        text: " V"
                    }
                    AppText {
                        text: " / "
                        font.pixelSize: Theme.fontMedium
                        font.weight: 400
                        skipLangCheck: true
                    }
                    AppText {
                        text: root.current
                        font.pixelSize: Theme.fontMedium
                        font.weight: 400
                        skipLangCheck: true
                    }
                    ThinUnit {
                        text: " A"
                    }
                }
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: 1

            AppText {
                anchors.verticalCenter: parent.verticalCenter
                visible: root.isNotAPort && root.active
                text: root.protocol
                font.pixelSize: Theme.fontMedium
                font.weight: 400
                skipLangCheck: true
            }
        }

        Item {
            Layout.preferredHeight: 10
        }
    }

    component ThinUnit: AppText {
        font.pixelSize: Theme.fontMedium
        font.family: Theme.suisseIntlThin.name
        font.weight: 275
        skipLangCheck: true
    }
}
