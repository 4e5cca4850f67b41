import QtQuick
import Tessaravolt

// The titled band along a panel's top edge: round top corners, square bottom ones, the accent
// colour fading in from the left.
CornerRectangle {
    id: band

    property color accent: Theme.green
    property alias title: titleText.text

    anchors.left: parent.left
    anchors.right: parent.right
    anchors.top: parent.top
    height: 70
    radius: Theme.panelRadius
    bottomLeftRound: false
    bottomRightRound: false
    gradient: Gradient {
        orientation: Gradient.Horizontal
        GradientStop {
            position: 0.0
            color: "#4d" + band.accent.toString().substring(1)
        }
        GradientStop {
            position: 1.0
            color: band.accent
        }
    }

    AppText {
        id: titleText
        x: 20
        anchors.verticalCenter: parent.verticalCenter
        font.pixelSize: Theme.fontLarge
        font.weight: 600
    }
}
