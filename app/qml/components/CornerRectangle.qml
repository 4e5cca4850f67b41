import QtQuick

// A rectangle with a chosen set of round corners, all of one radius. The fill reaches past every
// edge whose two corners are both square, by the radius, and a clip cuts it back, so each corner
// is drawn once (translucent fills and gradients are not blended twice). That gives one round
// corner, two round corners along one edge, four or none; two diagonal round corners, or three,
// come out as four. A gradient runs across the whole fill, overhang included.
// Children are not clipped.
Item {
    id: root

    property real radius: 0
    property bool topLeftRound: true
    property bool topRightRound: true
    property bool bottomLeftRound: true
    property bool bottomRightRound: true
    property alias color: fill.color
    property alias gradient: fill.gradient

    Item {
        anchors.fill: parent
        clip: fill.overhangs

        Rectangle {
            id: fill

            readonly property real overTop: !root.topLeftRound && !root.topRightRound ? root.radius : 0
            readonly property real overBottom: !root.bottomLeftRound && !root.bottomRightRound ? root.radius : 0
            readonly property real overLeft: !root.topLeftRound && !root.bottomLeftRound ? root.radius : 0
            readonly property real overRight: !root.topRightRound && !root.bottomRightRound ? root.radius : 0
            readonly property bool overhangs: overTop + overBottom + overLeft + overRight > 0

            x: -overLeft
            y: -overTop
            width: root.width + overLeft + overRight
            height: root.height + overTop + overBottom
            radius: root.radius
        }
    }
}
