import QtQuick
import Tessaravolt

// Battery gauge filled by the state of health, the heartbeat, the state of health and the
// charging cycles.
Rectangle {
    id: panel

    property int soh: 0
    property int cycles: 0

    color: Theme.panel
    radius: Theme.panelRadius

    Item {
        id: battery
        x: 56
        anchors.verticalCenter: parent.verticalCenter
        width: 108
        // The box around the children: from the cap's top to the outline's bottom (the heart lies
        // inside it). Written out, as the heart's margin depends on this height.
        height: border1.y + border1.height

        Rectangle {
            id: border1
            anchors.left: parent.left
            anchors.right: parent.right
            y: 22
            height: 198
            radius: 20
            color: "transparent"
            border.width: 9
            border.color: Theme.greenDark
        }

        Item {
            anchors.top: parent.top
            anchors.topMargin: 0
            anchors.horizontalCenter: parent.horizontalCenter
            width: 35.83
            height: 35.83

            Canvas {
                anchors.fill: parent
                onPaint: {
                    const ctx = getContext("2d")
                    ctx.clearRect(0, 0, width, height)
                    ctx.beginPath()
                    ctx.moveTo(0, height / 2)
                    ctx.arc(width / 2, height / 2, width / 2, Math.PI, 0, false)
                    ctx.closePath()
                    ctx.fillStyle = Theme.greenDark
                    ctx.fill()
                }
            }
        }

        Rectangle {
            id: fill
            objectName: "sohFill"

            readonly property real fillInset: 14

            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: border1.bottom
            anchors.bottomMargin: fillInset
            width: border1.width - 2 * fillInset
            height: Math.max(10, 168 * Math.min(panel.soh, 100) / 100)
            radius: 5
            color: Theme.green
        }

        Item {
            id: heart1
            anchors.right: border1.right
            anchors.rightMargin: -30
            anchors.top: parent.top
            anchors.topMargin: 0.03 * battery.height
            width: 87.56
            height: 78.78

            Image {
                id: heart
                objectName: "heartImage"

                readonly property bool onHold: Theme.windowAway(Window.visibility)

                anchors.fill: parent
                source: "../../assets/battery_heart.svg"

                SequentialAnimation on scale {
                    loops: Animation.Infinite
                    running: true
                    paused: running && heart.onHold
                    NumberAnimation {
                        to: 0.85
                        duration: 220
                        easing.type: Easing.InOutSine
                    }
                    NumberAnimation {
                        to: 1.1
                        duration: 280
                        easing.type: Easing.OutElastic
                    }
                    NumberAnimation {
                        to: 0.95
                        duration: 180
                        easing.type: Easing.InOutSine
                    }
                    NumberAnimation {
                        to: 1.0
                        duration: 200
                        easing.type: Easing.InOutSine
                    }
                    PauseAnimation {
                        duration: 1100
                    }
                }
            }
        }
    }

    AppText {
        id: soh
        objectName: "sohValue"
        anchors.left: battery.right
        anchors.leftMargin: 54
        anchors.verticalCenter: parent.verticalCenter
        text: panel.soh
        font.pixelSize: 90
        font.weight: 400
        skipLangCheck: true
    }

    AppText {
        objectName: "sohPercent"
        anchors.left: soh.right
        anchors.leftMargin: 6
        anchors.baseline: soh.baseline
        text: "%"
        font.pixelSize: 55
        font.weight: 400
        skipLangCheck: true
    }

    AppText {
        anchors.left: soh.left
        anchors.top: soh.bottom
        anchors.topMargin: 6
        text: qsTrId("battery_health_u")
        font.pixelSize: Theme.fontMedium
    }

    CycleSpinMotion {
        id: cycleMotion
        x: 526
        anchors.verticalCenter: parent.verticalCenter
    }

    AppText {
        id: cycleVal
        objectName: "cycleValue"
        anchors.left: cycleMotion.right
        anchors.leftMargin: 32
        anchors.top: soh.top
        text: panel.cycles
        font.pixelSize: 90
        font.weight: 400
        skipLangCheck: true
    }

    AppText {
        anchors.left: cycleVal.left
        anchors.top: cycleVal.bottom
        anchors.topMargin: 6
        text: qsTrId("charging_cycles_u")
        font.pixelSize: Theme.fontMedium
    }
}
