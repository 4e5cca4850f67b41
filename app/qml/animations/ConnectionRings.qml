import QtQuick
import QtQuick.Shapes
import Tessaravolt

Item {
    id: coilLoading

    readonly property real size: 186.68
    // Held while the window is minimised or hidden, so that nothing ticks for a picture nobody sees;
    // the course goes on from where it stood when the window returns.
    readonly property bool onHold: Theme.windowAway(Window.visibility)

    // Where the scene graph draws on the CPU, stroking the four arcs anew costs far less than turning
    // finished pictures, which the raster engine resamples pixel by pixel; where a GPU draws, turning
    // pictures costs nothing. Read from the window's scene graph; settable only to compare the two.
    property bool strokesArcs: GraphicsInfo.api === GraphicsInfo.Software

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
        // Once the arcs are whole they only turn: each pair of rings that turns one way is then a
        // picture painted once and rotated, and this canvas holds nothing. A repaint per frame
        // costs a second frame after each; a rotation is one frame.
        readonly property bool unfolded: spanAngle === 0

        // Start and end of ring i in degrees; 0 points right and angles grow clockwise.
        function arcRange(i) {
            return arcRangeAt(i, spanAngle, offset)
        }

        function arcRangeAt(i, span, turn) {
            if (gapDirections[i])
                return [-45 + span + turn, arcAngle - 45 - span + turn]
            return [135 + span - turn, 135 + arcAngle - span - turn]
        }

        function ringRadius(i) {
            return width / 2 - lineWidth / 2 - i * (lineWidth + spacing)
        }

        // Strokes the rings whose gap direction is one of the given ones.
        function paintRings(ctx, directions, span, turn) {
            ctx.clearRect(0, 0, width, height)
            const cx = width / 2
            const cy = height / 2
            const toRadians = Math.PI / 180
            for (let i = 0; i < 4; ++i) {
                if (directions.indexOf(gapDirections[i]) < 0)
                    continue
                const range = arcRangeAt(i, span, turn)
                ctx.lineWidth = lineWidth
                ctx.lineCap = "round"
                ctx.strokeStyle = layerColors[i]
                ctx.beginPath()
                ctx.arc(cx, cy, ringRadius(i), range[0] * toRadians, range[1] * toRadians, false)
                ctx.stroke()
            }
        }

        anchors.centerIn: parent
        width: coilLoading.size
        height: coilLoading.size
        opacity: 0

        onSpanAngleChanged: {
            if (!coilLoading.strokesArcs)
                requestPaint()
        }
        onOffsetChanged: {
            if (!unfolded && !coilLoading.strokesArcs)
                requestPaint()
        }
        Connections {
            target: coilLoading
            function onStrokesArcsChanged() { coilCanvas.requestPaint() }
        }

        onPaint: {
            // Never painted, the canvas has nothing to draw in any frame.
            if (coilLoading.strokesArcs && !context)
                return
            const ctx = getContext("2d")
            if (unfolded || coilLoading.strokesArcs)
                ctx.clearRect(0, 0, width, height)
            else
                paintRings(ctx, [true, false], spanAngle, offset)
        }

        // Each pair that turns one way, stroked at no turn and turned as a whole: a turn changes no
        // path, so it costs no extra frame.
        StrokedPair {
            objectName: "clockwiseStrokes"
            rotation: coilCanvas.offset
            RingPath { ring: 0 }
            RingPath { ring: 2 }
        }
        StrokedPair {
            objectName: "anticlockwiseStrokes"
            rotation: -coilCanvas.offset
            RingPath { ring: 1 }
            RingPath { ring: 3 }
        }

        // Kept painted while the arcs unfold and shown from the frame they are whole, so the hand-over
        // never waits for a paint.
        TurningPair {
            objectName: "clockwiseRings"
            direction: true
            rotation: coilCanvas.offset
        }
        TurningPair {
            objectName: "anticlockwiseRings"
            direction: false
            rotation: -coilCanvas.offset
        }
    }

    component StrokedPair: Shape {
        anchors.fill: parent
        visible: coilLoading.strokesArcs
        antialiasing: true
    }

    component RingPath: ShapePath {
        property int ring
        readonly property var range: coilCanvas.arcRangeAt(ring, coilCanvas.spanAngle, 0)

        // A ring of no length draws nothing, as on the canvas.
        strokeColor: range[1] > range[0] ? coilCanvas.layerColors[ring] : "transparent"
        strokeWidth: coilCanvas.lineWidth
        fillColor: "transparent"
        capStyle: ShapePath.RoundCap

        PathAngleArc {
            centerX: coilCanvas.width / 2
            centerY: coilCanvas.height / 2
            radiusX: coilCanvas.ringRadius(ring)
            radiusY: radiusX
            startAngle: range[0]
            sweepAngle: range[1] - range[0]
        }
    }

    component TurningPair: Canvas {
        property bool direction

        anchors.fill: parent
        visible: !coilLoading.strokesArcs
        opacity: coilCanvas.unfolded ? 1 : 0
        onPaint: coilCanvas.paintRings(getContext("2d"), [direction], 0, 0)
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
        paused: running && coilLoading.onHold
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
        paused: running && coilLoading.onHold
    }

    SequentialAnimation {
        objectName: "turnAnimation"
        running: true
        paused: running && coilLoading.onHold

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
