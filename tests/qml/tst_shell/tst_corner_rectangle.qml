import QtQuick
import QtTest
import Tessaravolt

Rectangle {
    id: scene
    width: 300
    height: 200
    color: "black"

    Component {
        id: plainComponent
        CornerRectangle { x: 20; y: 20; width: 120; height: 70; radius: 16; color: "#80ff0000" }
    }

    Component {
        id: gradientComponent
        CornerRectangle {
            x: 20; y: 20; width: 200; height: 70; radius: 16
            bottomLeftRound: false
            bottomRightRound: false
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0.0; color: "#0000ff" }
                GradientStop { position: 1.0; color: "#00ff00" }
            }
        }
    }

    TestCase {
        name: "CornerRectangle"
        when: windowShown

        function near(c, r, g, b) {
            return Math.abs(c.r * 255 - r) <= 6 && Math.abs(c.g * 255 - g) <= 6 && Math.abs(c.b * 255 - b) <= 6
        }

        function test_corners_data() {
            // round: top-left, top-right, bottom-left, bottom-right
            return [
                { tag: "all round", round: [true, true, true, true], drawn: [true, true, true, true] },
                { tag: "top pair", round: [true, true, false, false], drawn: [true, true, false, false] },
                { tag: "left pair", round: [true, false, true, false], drawn: [true, false, true, false] },
                { tag: "right pair", round: [false, true, false, true], drawn: [false, true, false, true] },
                { tag: "bottom pair", round: [false, false, true, true], drawn: [false, false, true, true] },
                { tag: "top-left only", round: [true, false, false, false], drawn: [true, false, false, false] },
                { tag: "none", round: [false, false, false, false], drawn: [false, false, false, false] }
            ]
        }

        function test_corners(data) {
            const rect = createTemporaryObject(plainComponent, scene, {
                topLeftRound: data.round[0], topRightRound: data.round[1],
                bottomLeftRound: data.round[2], bottomRightRound: data.round[3] })
            const image = grabImage(scene)
            const corners = [[21, 21], [138, 21], [21, 88], [138, 88]]
            for (let i = 0; i < 4; ++i) {
                const c = image.pixel(corners[i][0], corners[i][1])
                const round = data.drawn[i]
                verify(round ? near(c, 0, 0, 0) : near(c, 128, 0, 0), `corner ${i} is ${c}`)
            }
            // A translucent fill is laid down once everywhere, edges included.
            for (const [x, y] of [[80, 55], [21, 55], [138, 55], [80, 21], [80, 88]])
                verify(near(image.pixel(x, y), 128, 0, 0), `${x},${y} is ${image.pixel(x, y)}`)
            verify(near(image.pixel(80, 95), 0, 0, 0), "nothing drawn below")
            verify(near(image.pixel(145, 55), 0, 0, 0), "nothing drawn to the right")
        }

        // A header band: the fill overhangs at the bottom only, so a horizontal gradient keeps its ends.
        function test_horizontalGradientOverVerticalOverhang() {
            createTemporaryObject(gradientComponent, scene)
            const image = grabImage(scene)
            verify(near(image.pixel(20, 85), 0, 0, 255), "left end " + image.pixel(20, 85))
            verify(near(image.pixel(219, 85), 0, 255, 0), "right end " + image.pixel(219, 85))
            verify(near(image.pixel(21, 21), 0, 0, 0), "round top-left " + image.pixel(21, 21))
            verify(!near(image.pixel(21, 88), 0, 0, 0), "square bottom-left " + image.pixel(21, 88))
        }
    }
}
