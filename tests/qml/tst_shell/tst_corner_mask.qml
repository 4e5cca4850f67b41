import QtQuick
import QtTest
import Tessaravolt

// Each mask covers its square outside the quarter circle on its inner corner, in the panel colour,
// and leaves the inside of the circle transparent, so a white fill below shows through.
Rectangle {
    id: scene
    width: 200
    height: 100
    color: "white"

    Repeater {
        id: masks
        model: 5
        CornerMask {
            x: 20 + index * 30
            y: 20
            corner: index
        }
    }

    TestCase {
        name: "CornerMask"
        when: windowShown

        function isPanel(c) {
            return Math.abs(c.r * 255 - 0x32) <= 4 && Math.abs(c.g * 255 - 0x32) <= 4 && Math.abs(c.b * 255 - 0x32) <= 4
        }
        function isWhite(c) {
            return c.r > 0.98 && c.g > 0.98 && c.b > 0.98
        }

        function test_corners_data() {
            // outer: the point of the square farthest from the circle's centre; inner: a point
            // inside the circle.
            return [
                { tag: "top-left", corner: 0, outer: [1, 1], inner: [14, 14] },
                { tag: "top-right", corner: 1, outer: [14, 1], inner: [1, 14] },
                { tag: "bottom-left", corner: 2, outer: [1, 14], inner: [14, 1] },
                { tag: "bottom-right", corner: 3, outer: [14, 14], inner: [1, 1] }
            ]
        }

        function test_corners(data) {
            tryVerify(function() { return masks.itemAt(data.corner).available })
            const image = grabImage(scene)
            const x0 = 20 + data.corner * 30
            verify(isPanel(image.pixel(x0 + data.outer[0], 20 + data.outer[1])), "outer point covered")
            verify(isWhite(image.pixel(x0 + data.inner[0], 20 + data.inner[1])), "inner point clear")
        }

        function test_unknown_corner_paints_nothing() {
            const image = grabImage(scene)
            for (let x = 0; x < 16; x += 3)
                for (let y = 0; y < 16; y += 3)
                    verify(isWhite(image.pixel(20 + 4 * 30 + x, 20 + y)), "point " + x + "," + y)
        }
    }
}
