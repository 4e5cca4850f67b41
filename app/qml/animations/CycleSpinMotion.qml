import QtQuick
import Tessaravolt

// The cycle symbol: a dashed ring that turns half a turn, rests, and starts again from 0, under
// fixed rails and arrows.
Item {
    width: 145
    height: 136

    Image {
        id: ring

        readonly property bool onHold: Theme.windowAway(Window.visibility)

        x: 5.80
        y: 6.25
        width: 123
        height: 123
        source: "../assets/circle_routing.svg"

        SequentialAnimation on rotation {
            loops: Animation.Infinite
            running: true
            paused: running && ring.onHold
            NumberAnimation {
                from: 0
                to: 180
                duration: 10000
            }
            PauseAnimation {
                duration: 1000
            }
        }
    }

    Image {
        anchors.fill: parent
        source: "../assets/circle_rails.svg"
    }
}
