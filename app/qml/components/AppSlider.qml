import QtQuick
import Tessaravolt

// A horizontal slider that proposes one of a few stops. It only reports the stop nearest to the
// pointer (selected) and shows whatever value its owner gives it: value is never written here.
Item {
    id: slider

    required property real from
    required property real to
    required property real value
    property var scopeRange: []
    property bool slidable: true
    readonly property real trackHeight: 40
    property real trackRadius: 0
    property color backgroundColor: "#33009647"
    property color progressColor: Theme.greenDark
    property color seekColor: Theme.greenDark
    readonly property real seekWidth: 4.5
    readonly property real seekHeight: 60
    readonly property real seekOffset: -seekWidth
    property real progressEndOffset: -seekWidth - 4.18
    // The bar's fill reaches past its square right end by the track radius (see CornerRectangle),
    // so the last stop sits where the bar ends: the gradient spans the bar's visible width.
    property Gradient progressGradient: Gradient {
        orientation: Gradient.Horizontal
        GradientStop {
            position: 0.0
            color: Qt.rgba(slider.progressColor.r, slider.progressColor.g, slider.progressColor.b, 0x4D / 255)
        }
        GradientStop {
            position: bar.width > 0 ? bar.width / (bar.width + slider.trackRadius) : 1.0
            color: slider.progressColor
        }
    }
    property Gradient backgroundGradient: Gradient {
        orientation: Gradient.Horizontal
        GradientStop { position: 0.0; color: slider.backgroundColor }
        GradientStop { position: 1.0; color: slider.backgroundColor }
    }
    readonly property bool pressed: sliderMouseArea.pressed
    readonly property real position: normalizedPosition(value)

    // Right edge of the knob: never closer than 18 to the track's left end.
    readonly property real knobEdge: Math.max(18, sliderTrack.width * position)

    signal selected(var changeValue)

    function clamp(value, minValue, maxValue) {
        return Math.max(minValue, Math.min(maxValue, value))
    }

    function normalizedPosition(currentValue) {
        if (slider.to === slider.from)
            return 0
        return clamp((currentValue - slider.from) / (slider.to - slider.from), 0, 1)
    }

    function nearestScopeValue(rawValue) {
        const stops = slider.scopeRange
        if (!stops || stops.length === 0)
            return rawValue
        let candidate = stops[0]
        let distance = Math.abs(rawValue - candidate)
        for (let i = 1; i < stops.length; ++i) {
            const d = Math.abs(rawValue - stops[i])
            if (d < distance) {
                candidate = stops[i]
                distance = d
            }
        }
        return candidate
    }

    function valueFromX(mouseX) {
        const w = sliderTrack.width
        const fraction = w > 0 ? clamp(mouseX / w, 0, 1) : 0
        return nearestScopeValue(slider.from + fraction * (slider.to - slider.from))
    }

    width: parent ? parent.width : 220
    height: seekHeight

    Rectangle {
        id: sliderTrack
        objectName: "sliderTrack"
        anchors.centerIn: parent
        width: slider.width
        height: slider.trackHeight
        radius: slider.trackRadius
        gradient: slider.backgroundGradient
    }

    CornerRectangle {
        id: bar
        objectName: "sliderBar"
        x: sliderTrack.x
        y: sliderTrack.y
        width: Math.max(0, slider.knobEdge + slider.progressEndOffset)
        height: sliderTrack.height
        radius: slider.trackRadius
        topRightRound: false
        bottomRightRound: false
        gradient: slider.progressGradient
    }

    Rectangle {
        id: seek
        objectName: "sliderSeek"
        x: sliderTrack.x + slider.knobEdge + slider.seekOffset
        anchors.verticalCenter: sliderTrack.verticalCenter
        width: slider.seekWidth
        height: slider.seekHeight
        radius: width / 2
        color: slider.seekColor
        visible: slider.slidable
    }

    MouseArea {
        id: sliderMouseArea
        objectName: "sliderMouseArea"
        anchors.fill: parent
        enabled: slider.slidable
        onPressed: function(mouse) { slider.selected(slider.valueFromX(mouse.x - sliderTrack.x)) }
        onPositionChanged: function(mouse) {
            if (pressed)
                slider.selected(slider.valueFromX(mouse.x - sliderTrack.x))
        }
    }
}
