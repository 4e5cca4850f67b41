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

    // The rings as they were first drawn: the whole picture painted anew for every value.
    Component {
        id: paintedRingsComponent
        Item {
            property alias span: painter.span
            property alias turn: painter.turn
            property alias painter: painter
            width: 190
            height: 190

            Canvas {
                id: painter
                property real span: 0
                property real turn: 0
                anchors.centerIn: parent
                width: 186.68
                height: 186.68
                onSpanChanged: requestPaint()
                onTurnChanged: requestPaint()
                onPaint: {
                    const ctx = getContext("2d")
                    ctx.clearRect(0, 0, width, height)
                    const colours = ["#009647", "#00C839", "#64DD00", "#A0DD00"]
                    for (let i = 0; i < 4; ++i) {
                        const range = i % 2 === 0 ? [-45 + span + turn, 225 - span + turn]
                                                  : [135 + span - turn, 405 - span - turn]
                        ctx.lineWidth = 8
                        ctx.lineCap = "round"
                        ctx.strokeStyle = colours[i]
                        ctx.beginPath()
                        ctx.arc(width / 2, height / 2, width / 2 - 4 - i * 12,
                                range[0] * Math.PI / 180, range[1] * Math.PI / 180, false)
                        ctx.stroke()
                    }
                }
            }
        }
    }

    TestCase {
        id: testCase
        name: "StartupPage"
        when: windowShown

        function cleanup() {
            animationClock.release()
        }

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

        // The tests draw on the CPU, as a machine without a GPU does.
        function test_strokedWhereTheSceneGraphDrawsOnTheCpu() {
            const rings = createTemporaryObject(ringsComponent, scene)
            compare(rings.GraphicsInfo.api, GraphicsInfo.Software)
            compare(rings.strokesArcs, true)
            verify(findChild(rings, "clockwiseStrokes").visible && findChild(rings, "anticlockwiseStrokes").visible)
            verify(!findChild(rings, "clockwiseRings").visible)
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
            animationClock.hold()
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
            verify(animationClock.run(1000))
            compare(canvas.opacity, 1)
            compare(canvas.spanAngle, 0)
            compare(canvas.offset, 0)
            // The turn begins from where the arcs unfolded, and slowly.
            verify(animationClock.run(300))
            verify(canvas.offset > 0 && canvas.offset < 5, "offset " + canvas.offset)

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
    
        function colourDistance(a, b) {
            return Math.max(Math.abs(a.r - b.r), Math.abs(a.g - b.g), Math.abs(a.b - b.b))
        }

        // Pixels of the rings against the painted picture `shift` to their right. A turned picture is
        // resampled where the painter draws afresh, so an edge pixel may match a neighbour instead.
        function compareWithPainted(rings, shift) {
            const shot = grabImage(scene)
            let sum = 0, worst = 0, bad = 0, n = 0
            for (let y = Math.floor(rings.y); y < Math.ceil(rings.y + rings.height); ++y) {
                for (let x = Math.floor(rings.x); x < Math.ceil(rings.x + rings.width); ++x) {
                    const ours = shot.pixel(x, y)
                    const d = colourDistance(ours, shot.pixel(x + shift, y))
                    sum += d
                    worst = Math.max(worst, d)
                    ++n
                    if (d <= 0.2)
                        continue
                    let matched = false
                    for (let dy = -1; dy <= 1 && !matched; ++dy)
                        for (let dx = -1; dx <= 1 && !matched; ++dx)
                            matched = colourDistance(ours, shot.pixel(x + shift + dx, y + dy)) <= 0.3
                    if (!matched)
                        ++bad
                }
            }
            return { mean: sum / n, worst: worst, bad: bad }
        }

        function checkMatch(result, where) {
            compare(result.bad, 0, where + ": pixels without a match nearby")
            verify(result.mean < 0.02, where + ": mean difference " + result.mean)
            verify(result.worst < 0.45, where + ": largest difference " + result.worst)
        }

        function makePair() {
            createTemporaryObject(backgroundComponent, scene)
            const rings = createTemporaryObject(ringsComponent, scene, { x: 20.5, y: 30.25 })
            rings.width = 190
            rings.height = 190
            const reference = createTemporaryObject(paintedRingsComponent, scene, { x: 420.5, y: 30.25 })
            return [rings, reference]
        }

        // Both ways of drawing the whole rings: stroked anew (the scene graph draws on the CPU) and
        // painted once and turned (it draws on a GPU).
        function test_framesMatchThePainter_data() {
            const values = [
                { tag: "folded", span: 135, offset: 0 },
                { tag: "half unfolded", span: 67.5, offset: 0 },
                { tag: "nearly whole", span: 0.5, offset: 0 },
                { tag: "whole", span: 0, offset: 0 },
                { tag: "a little turned", span: 0, offset: 7.3 },
                { tag: "eighth turn", span: 0, offset: 45 },
                { tag: "half turn", span: 0, offset: 180 },
                { tag: "late in the turn", span: 0, offset: 301.7 },
                { tag: "turning and folding", span: 10, offset: 30 },
            ]
            const rows = []
            for (const strokes of [true, false])
                for (const v of values)
                    rows.push({ tag: (strokes ? "stroked, " : "turned, ") + v.tag, span: v.span, offset: v.offset, strokes: strokes })
            return rows
        }

        function test_framesMatchThePainter(data) {
            const [rings, reference] = makePair()
            rings.strokesArcs = data.strokes
            pin(rings, data.span, data.offset)
            reference.span = data.span
            reference.turn = data.offset
            waitForRendering(rings)
            checkMatch(compareWithPainted(rings, 400), data.tag)
        }

        // The running course on a held clock, frame by frame, compared at points of it: while the arcs
        // unfold and fade in, once they are whole, and as they turn (1000 ms unfolding, then 3000 ms a
        // turn, eased in and out). The painter is given the values the course stands at. Turned
        // pictures are compared away from the half turn: there the raster engine that draws them in
        // this test, which puts an unturned picture on whole pixels and a turned one where it falls,
        // has them up to half a pixel from the painter's.
        function test_runningFramesMatchThePainter_data() {
            return [{ tag: "stroked", strokes: true }, { tag: "turned", strokes: false }]
        }

        function test_runningFramesMatchThePainter(data) {
            animationClock.hold()
            const [rings, reference] = makePair()
            rings.strokesArcs = data.strokes
            const canvas = findChild(rings, "coilCanvas")
            reference.painter.opacity = Qt.binding(() => canvas.opacity)
            reference.span = Qt.binding(() => canvas.spanAngle)
            reference.turn = Qt.binding(() => canvas.offset)
            const points = [
                { at: 300, span: 94.5, opacity: 0.3, offset: 0 },
                { at: 700, span: 40.5, opacity: 0.7, offset: 0 },
                { at: 1300, span: 0, opacity: 1, offset: 1.44 },
                { at: 1900, span: 0, opacity: 1, offset: 38.88 },
                { at: 2600, span: 0, opacity: 1, offset: 213.65, strokedOnly: true },
                { at: 3300, span: 0, opacity: 1, offset: 341.71 },
            ]
            let now = 0
            for (const point of points.filter(p => data.strokes || !p.strokedOnly)) {
                verify(animationClock.run(point.at - now))
                now = point.at
                const where = "at " + now + " ms, span " + canvas.spanAngle.toFixed(2) + ", offset " + canvas.offset.toFixed(2)
                // Within 2 ms of the course.
                fuzzyCompare(canvas.spanAngle, point.span, 0.3, where)
                fuzzyCompare(canvas.opacity, point.opacity, 0.002, where)
                fuzzyCompare(canvas.offset, point.offset, 0.7, where)
                checkMatch(compareWithPainted(rings, 400), where)
            }
        }

        // Whole rings only turn: no canvas is painted again until a new page starts the course anew.
        function test_turnPaintsNothing_data() {
            return [{ tag: "stroked", strokes: true }, { tag: "turned", strokes: false }]
        }

        function test_turnPaintsNothing(data) {
            animationClock.hold()
            const rings = createTemporaryObject(ringsComponent, scene)
            rings.strokesArcs = data.strokes
            const canvas = findChild(rings, "coilCanvas")
            verify(animationClock.run(1000))
            compare(canvas.unfolded, true)
            // The frame after, with the canvas's last paint, which empties it.
            verify(animationClock.run(16))
            const spies = [canvas, findChild(rings, "clockwiseRings"), findChild(rings, "anticlockwiseRings")]
                .map(target => createTemporaryObject(spyComponent, scene, { target: target }))
            spies.forEach(spy => verify(spy.valid))
            const first = canvas.offset
            verify(animationClock.run(1000)) // turning, frame by frame, with no paint and no change of the rings
            verify(canvas.offset > first + 5, "the rings turn: " + first + " then " + canvas.offset)
            compare(spies.filter(spy => spy.count > 0).length, 0)
        }

        function animationsOf(rings) {
            const found = {}
            for (let i = 0; i < rings.resources.length; ++i)
                if (rings.resources[i].objectName)
                    found[rings.resources[i].objectName] = rings.resources[i]
            return found
        }

        function test_heldWhileTheWindowIsAway_data() {
            return [
                { tag: "minimised", visibility: Window.Minimized },
                { tag: "hidden", visibility: Window.Hidden },
            ]
        }

        function test_heldWhileTheWindowIsAway(data) {
            const window = scene.Window.window
            animationClock.hold()
            const rings = createTemporaryObject(ringsComponent, scene)
            const canvas = findChild(rings, "coilCanvas")
            const animations = animationsOf(rings)
            verify(animationClock.run(400))
            window.visibility = data.visibility
            tryCompare(rings, "onHold", true)
            verify(animations.unfoldAnimation.paused && animations.fadeAnimation.paused && animations.turnAnimation.paused)
            const held = [canvas.spanAngle, canvas.opacity]
            verify(held[0] > 0 && held[0] < 135, "unfolding: " + held[0])
            verify(animationClock.run(1300)) // time for the course to move on, which it may not while held
            compare([canvas.spanAngle, canvas.opacity], held)
            window.visibility = Window.Windowed
            tryCompare(rings, "onHold", false)
            // The course goes on from where it was held.
            verify(animations.unfoldAnimation.running && !animations.unfoldAnimation.paused)
            verify(animationClock.run(100))
            verify(canvas.spanAngle < held[0] && canvas.spanAngle > 0, "span " + canvas.spanAngle)
            fuzzyCompare(canvas.opacity, held[1] + 0.1, 0.002, "opacity")
            verify(animationClock.run(500))
            compare(canvas.spanAngle, 0)
            compare(canvas.opacity, 1)

            // Held again while turning; finished animations are left alone.
            verify(animationClock.run(600))
            verify(canvas.offset > 5, "the rings turn: " + canvas.offset)
            window.visibility = data.visibility
            tryCompare(animations.turnAnimation, "paused", true)
            compare(animations.unfoldAnimation.paused, false)
            const offset = canvas.offset
            verify(animationClock.run(300)) // time for the rings to turn, which they may not while held
            compare(canvas.offset, offset)
            window.visibility = Window.Windowed
            tryCompare(animations.turnAnimation, "paused", false)
            verify(animationClock.run(16))
            verify(canvas.offset > offset && canvas.offset - offset < 2, "on from where it was: " + offset + " then " + canvas.offset)
        }
    }

    Component {
        id: spyComponent
        SignalSpy { signalName: "paint" }
    }

    Component {
        id: backgroundComponent
        Rectangle { width: 1280; height: 960; color: "#1e1e1e" }
    }
}
