import QtQuick

Item {
    id: coilLoading

    readonly property real size: 186.68

    width: size
    height: size

    Canvas {
        id: coilCanvas
        objectName: "coilCanvas"

        property var layerColors: ["#009647", "#00C839", "#64DD00", "#A0DD00"]
        property var gapDirections: [true, false, true, false]
        property int lineWidth: 8
        property int spacing: 4
        property real arcAngle: 270
        property real spanAngle: 0
        property real offset: 0

        // Start and end of ring i in degrees; 0 points right and angles grow clockwise.
        function arcRange(i) {
            if (gapDirections[i])
                return [-45 + spanAngle + offset, arcAngle - 45 - spanAngle + offset]
            return [135 + spanAngle - offset, 135 + arcAngle - spanAngle - offset]
        }

        function ringRadius(i) {
            return width / 2 - lineWidth / 2 - i * (lineWidth + spacing)
        }

        anchors.centerIn: parent
        width: coilLoading.size
        height: coilLoading.size
        opacity: 0

        onSpanAngleChanged: requestPaint()
        onOffsetChanged: requestPaint()

        onPaint: {
            const ctx = getContext("2d")
            ctx.clearRect(0, 0, width, height)
            const cx = width / 2
            const cy = height / 2
            const toRadians = Math.PI / 180
            for (let i = 0; i < 4; ++i) {
                const range = arcRange(i)
                ctx.lineWidth = lineWidth
                ctx.lineCap = "round"
                ctx.strokeStyle = layerColors[i]
                ctx.beginPath()
                ctx.arc(cx, cy, ringRadius(i), range[0] * toRadians, range[1] * toRadians, false)
                ctx.stroke()
            }
        }
    }

    NumberAnimation {
        objectName: "unfoldAnimation"
        target: coilCanvas
        property: "spanAngle"
        from: coilCanvas.arcAngle / 2
        to: 0
        duration: 1000
        easing.type: Easing.Linear
        running: true
    }

    NumberAnimation {
        objectName: "fadeAnimation"
        target: coilCanvas
        property: "opacity"
        from: 0
        to: 1
        duration: 1000
        easing.type: Easing.Linear
        running: true
    }

    SequentialAnimation {
        objectName: "turnAnimation"
        running: true

        PauseAnimation {
            duration: 1000
        }
        SequentialAnimation {
            loops: Animation.Infinite

            NumberAnimation {
                target: coilCanvas
                property: "offset"
                from: 0
                to: 360
                duration: 3000
                easing.type: Easing.InOutCubic
            }
            NumberAnimation {
                target: coilCanvas
                property: "offset"
                from: 360
                to: 0
                duration: 3000
                easing.type: Easing.InOutCubic
            }
        }
    }
}
