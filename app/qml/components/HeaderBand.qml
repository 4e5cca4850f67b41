import QtQuick
import Tessaravolt

// The titled band along a panel's top edge: round top corners, square bottom ones, the accent
// colour fading in from the left at 30 % of its own opacity (a transparent accent stays
// transparent). Its children, such as a button on the right, sit in the band.
CornerRectangle {
    id: band

    property color accent: Theme.green
    property alias title: titleText.text
    // The title's text item, for a panel whose title sits or weighs otherwise.
    property alias titleLabel: titleText

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
            color: Qt.rgba(band.accent.r, band.accent.g, band.accent.b, band.accent.a * 0x4D / 255)
        }
        GradientStop {
            position: 1.0
            color: band.accent
        }
    }

    AppText {
        id: titleText
        x: 26
        anchors.verticalCenter: parent.verticalCenter
        font.pixelSize: Theme.fontLarge
        font.weight: Font.Bold
    }
}
