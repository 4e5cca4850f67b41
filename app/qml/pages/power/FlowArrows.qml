import QtQuick
import Tessaravolt

// The arrows between the charge and the totals: which way the power flows, fading in and out. Nothing
// is loaded while no port carries power.
Loader {
    id: arrows

    property bool hasInput: false
    property bool hasOutput: false

    asynchronous: false
    active: hasInput || hasOutput
    sourceComponent: hasInput && hasOutput ? inputOutArrow : (hasInput ? inputArrow : outputArrow)

    component FadingImage: Image {
        id: fadingImage

        property bool fadeOut: false
        readonly property bool onHold: Theme.windowAway(Window.visibility)

        opacity: fadeOut ? 1 : 0

        SequentialAnimation on opacity {
            loops: Animation.Infinite
            running: true
            paused: running && fadingImage.onHold

            NumberAnimation {
                from: fadingImage.fadeOut ? 1 : 0
                to: fadingImage.fadeOut ? 0 : 1
                duration: 2000
            }
            NumberAnimation {
                from: fadingImage.fadeOut ? 0 : 1
                to: fadingImage.fadeOut ? 1 : 0
                duration: 2000
            }
        }
    }

    Component {
        id: inputOutArrow

        Column {
            FadingImage {
                source: "../../assets/power_output_big.svg"
            }
            FadingImage {
                source: "../../assets/power_input_big.svg"
                fadeOut: true
                transform: Translate { y: -25 }
            }
        }
    }

    Component {
        id: inputArrow

        Column {
            Image {
                source: "../../assets/power_none.svg"
            }
            FadingImage {
                source: "../../assets/power_input_italic.svg"
                transform: Translate { x: 3; y: -33 }
            }
        }
    }

    Component {
        id: outputArrow

        Column {
            FadingImage {
                source: "../../assets/power_output_italic.svg"
            }
            Image {
                x: parent.width - width
                source: "../../assets/power_none.svg"
                transform: Translate { x: 3; y: -33 }
            }
        }
    }
}
