import QtQuick
import Tessaravolt
import "powerData.js" as PowerData

// The battery drawn with its charge: a green frame, and a fill as high as the charge with two waves
// running across its top.
Item {
    id: gauge

    property int soc: 0
    // Holds the waves still, for a minimised or hidden window.
    property bool held: false

    width: 108
    height: childrenRect.height

    Item {
        anchors.horizontalCenter: parent.horizontalCenter
        y: 0
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
                ctx.lineTo(width, height / 2)
                ctx.closePath()
                ctx.fillStyle = Theme.greenDark
                ctx.fill()
            }
        }
    }

    Rectangle {
        id: batteryFrame
        x: 0
        y: 22
        width: 108
        height: 198
        color: "transparent"
        border.width: 9
        border.color: Theme.greenDark
        radius: 20
    }

    Item {
        id: batteryWave

        readonly property double maxH: 163
        readonly property double fillInset: 14

        anchors.horizontalCenter: batteryFrame.horizontalCenter
        anchors.bottom: batteryFrame.bottom
        anchors.bottomMargin: fillInset
        width: batteryFrame.width - 2 * fillInset
        height: PowerData.fillHeight(gauge.soc, maxH)

        // The waves only ever reach a band at the top of the fill; below it the fill is solid
        // bright green. So this canvas paints that solid part with the rounded bottom corners,
        // and each wave is painted once, two wavelengths wide, and slid sideways by the phase:
        // an animation frame moves two small finished pictures instead of painting the fill.
        Canvas {
            id: fillItem

            property double wavePhase
            readonly property double amplitude: 0.04 * height
            // Rows the waves can touch, their antialiased edge included.
            readonly property int waveBand: Math.ceil(2 * amplitude) + 1
            readonly property double waveShift: wavePhase / (2 * Math.PI) * width

            anchors.fill: parent
            onWidthChanged: requestPaint()
            onHeightChanged: requestPaint()
            onPaint: {
                const ctx = getContext("2d")
                const w = width
                const h = height
                ctx.clearRect(0, 0, w, h)
                ctx.beginPath()
                ctx.moveTo(0, waveBand)
                ctx.lineTo(w, waveBand)
                ctx.lineTo(w, h - 5)
                ctx.quadraticCurveTo(w, h, w - 5, h)
                ctx.lineTo(5, h)
                ctx.quadraticCurveTo(0, h, 0, h - 5)
                ctx.closePath()
                ctx.fillStyle = Theme.green
                ctx.fill()
            }

            NumberAnimation on wavePhase {
                from: 0
                to: 2 * Math.PI
                duration: 2000
                loops: Animation.Infinite
                running: true
                paused: running && gauge.held
            }

            Item {
                width: parent.width
                // One row into the solid part, so no seam shows between the two.
                height: fillItem.waveBand + 1
                clip: true

                // The dark wave runs with the phase taken negative, so it moves to the right.
                WaveStrip {
                    x: fillItem.waveShift - fillItem.width
                    wavelength: fillItem.width
                    amplitude: fillItem.amplitude
                    colour: Theme.greenDark
                }
                WaveStrip {
                    x: -fillItem.waveShift
                    wavelength: fillItem.width
                    amplitude: fillItem.amplitude
                    colour: Theme.green
                }
            }
        }
    }

    // Everything below one sine wave, two wavelengths and a pixel wide, down to the strip's bottom.
    component WaveStrip: Canvas {
        property double wavelength: 0
        property double amplitude: 0
        property color colour

        width: 2 * wavelength + 1
        height: parent.height
        onWavelengthChanged: requestPaint()
        onAmplitudeChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d")
            const w = width
            const h = height
            const a = amplitude
            ctx.clearRect(0, 0, w, h)
            ctx.beginPath()
            ctx.moveTo(0, h)
            for (let x = 0; x <= w; ++x)
                ctx.lineTo(x, a + Math.sin(2 * Math.PI * x / wavelength) * a)
            ctx.lineTo(w, h)
            ctx.closePath()
            ctx.fillStyle = colour
            ctx.fill()
        }
    }
}
