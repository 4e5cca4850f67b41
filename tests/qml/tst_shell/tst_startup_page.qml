import QtQuick
import QtTest
import Tessaravolt

Item {
    id: scene
    width: 1280
    height: 960

    Component {
        id: pageComponent
        StartupPage { width: 1280; height: 960 }
    }

    Component {
        id: ringsComponent
        ConnectionRings {}
    }

    TestCase {
        id: testCase
        name: "StartupPage"
        when: windowShown

        function test_arcRanges_data() {
            return [
                { tag: "unfolded", span: 0, offset: 0,
                  ranges: [[-45, 225], [135, 405], [-45, 225], [135, 405]] },
                { tag: "first frame: no length", span: 135, offset: 0,
                  ranges: [[90, 90], [270, 270], [90, 90], [270, 270]] },
                { tag: "half unfolded", span: 67.5, offset: 0,
                  ranges: [[22.5, 157.5], [202.5, 337.5], [22.5, 157.5], [202.5, 337.5]] },
                { tag: "half turn", span: 0, offset: 180,
                  ranges: [[135, 405], [-45, 225], [135, 405], [-45, 225]] },
                { tag: "turning and folding", span: 10, offset: 30,
                  ranges: [[-5, 245], [115, 365], [-5, 245], [115, 365]] }
            ]
        }

        function test_arcRanges(data) {
            const rings = createTemporaryObject(ringsComponent, scene)
            const canvas = findChild(rings, "coilCanvas")
            for (let i = 0; i < rings.resources.length; ++i)
                if (rings.resources[i].running !== undefined)
                    rings.resources[i].stop()
            canvas.spanAngle = data.span
            canvas.offset = data.offset
            for (let i = 0; i < 4; ++i) {
                const range = canvas.arcRange(i)
                fuzzyCompare(range[0], data.ranges[i][0], 1e-9, "start of ring " + i)
                fuzzyCompare(range[1], data.ranges[i][1], 1e-9, "end of ring " + i)
            }
        }

        function test_drawingParameters() {
            const rings = createTemporaryObject(ringsComponent, scene)
            const canvas = findChild(rings, "coilCanvas")
            fuzzyCompare(rings.width, 186.68, 1e-9)
            rings.width = 190
            rings.height = 190
            fuzzyCompare(rings.size, 186.68, 1e-9)
            fuzzyCompare(canvas.width, 186.68, 1e-9)
            fuzzyCompare(canvas.x, 1.66, 1e-9)
            fuzzyCompare(canvas.y, 1.66, 1e-9)
            compare(canvas.layerColors, ["#009647", "#00C839", "#64DD00", "#A0DD00"])
            compare(canvas.gapDirections, [true, false, true, false])
            compare([canvas.lineWidth, canvas.spacing, canvas.arcAngle], [8, 4, 270])
            const radii = [0, 1, 2, 3].map(i => canvas.ringRadius(i))
            for (let i = 0; i < 4; ++i)
                fuzzyCompare(radii[i], [89.34, 77.34, 65.34, 53.34][i], 1e-9)
        }

        function test_animations() {
            const rings = createTemporaryObject(ringsComponent, scene)
            const canvas = findChild(rings, "coilCanvas")
            let unfold, fade, turn
            for (let i = 0; i < rings.resources.length; ++i) {
                const child = rings.resources[i]
                if (child.objectName === "unfoldAnimation") unfold = child
                if (child.objectName === "fadeAnimation") fade = child
                if (child.objectName === "turnAnimation") turn = child
            }
            verify(unfold.running && fade.running && turn.running)
            compare([unfold.property, unfold.from, unfold.to, unfold.duration, unfold.easing.type],
                    ["spanAngle", 135, 0, 1000, Easing.Linear])
            compare([fade.property, fade.from, fade.to, fade.duration, fade.easing.type],
                    ["opacity", 0, 1, 1000, Easing.Linear])
            compare(turn.animations.length, 2)
            compare(turn.animations[0].duration, 1000)
            const cycle = turn.animations[1]
            verify(cycle.loops < 0, "repeats without end")
            compare(cycle.animations.length, 2)
            const there = cycle.animations[0], back = cycle.animations[1]
            compare([there.property, there.from, there.to, there.duration, there.easing.type],
                    ["offset", 0, 360, 3000, Easing.InOutCubic])
            compare([back.property, back.from, back.to, back.duration, back.easing.type],
                    ["offset", 360, 0, 3000, Easing.InOutCubic])
            // The first frame shows nothing.
            verify(canvas.opacity < 0.1)
            verify(canvas.spanAngle > 120)
            compare(canvas.offset, 0)
        }

        // Holds the drawing still at the given values, so that pixels can be checked at leisure.
        function pin(rings, span, offset) {
            for (let i = 0; i < rings.resources.length; ++i)
                if (rings.resources[i].running !== undefined)
                    rings.resources[i].stop()
            const canvas = findChild(rings, "coilCanvas")
            canvas.opacity = 1
            canvas.spanAngle = span
            canvas.offset = offset
        }

        function test_pageAfterUnfolding() {
            const page = createTemporaryObject(pageComponent, scene)
            const rings = findChild(page, "rings")
            const prompt = findChild(page, "prompt")
            compare([rings.width, rings.height], [190, 190])
            compare(rings.x, (1280 - 190) / 2)
            compare(rings.y, (960 - 190) / 2 - 20)
            compare(prompt.y, rings.y + 190 + 26)
            compare(prompt.x + prompt.width / 2, rings.x + 95)
            compare(prompt.font.pixelSize, 25)
            compare(prompt.wrapMode, Text.NoWrap)
            const canvas = findChild(rings, "coilCanvas")
            tryCompare(canvas, "opacity", 1, 3000)
            compare(canvas.spanAngle, 0)
            // The turn begins from where the arcs unfolded, and slowly.
            verify(canvas.offset < 90, "offset " + canvas.offset)

            const cx = rings.x + 95, cy = rings.y + 95
            const near = (c, expected) => Qt.colorEqual(c, expected)
                || Math.abs(c.r - Qt.color(expected).r) + Math.abs(c.g - Qt.color(expected).g) + Math.abs(c.b - Qt.color(expected).b) < 0.15
            const check = (image, dy, expected, what) =>
                verify(near(image.pixel(cx, cy + dy), expected), what + " " + image.pixel(cx, cy + dy))

            // Unfolded: rings 0 and 2 close at the bottom and open at the top, rings 1 and 3 the other way round.
            pin(rings, 0, 0)
            waitForRendering(page)
            let image = grabImage(page)
            check(image, 89.34, "#009647", "ring 0 bottom")
            check(image, -89.34, "#1e1e1e", "ring 0 top")
            check(image, -77.34, "#00c839", "ring 1 top")
            check(image, 77.34, "#1e1e1e", "ring 1 bottom")
            check(image, 65.34, "#64dd00", "ring 2 bottom")
            check(image, -53.34, "#a0dd00", "ring 3 top")
            check(image, 0, "#1e1e1e", "centre")
            // Half a turn: each pair has turned its opening to the other side.
            pin(rings, 0, 180)
            waitForRendering(page)
            image = grabImage(page)
            check(image, -89.34, "#009647", "ring 0 top")
            check(image, 89.34, "#1e1e1e", "ring 0 bottom")
            check(image, 77.34, "#00c839", "ring 1 bottom")
            check(image, -77.34, "#1e1e1e", "ring 1 top")
            // Folded up: nothing drawn at all.
            pin(rings, 135, 0)
            waitForRendering(page)
            image = grabImage(page)
            for (const dy of [-89.34, 89.34, -77.34, 77.34, -65.34, 65.34, -53.34, 53.34])
                check(image, dy, "#1e1e1e", "folded ring at " + dy)
        }
    }
}
