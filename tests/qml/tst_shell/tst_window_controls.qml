import QtQuick
import QtTest
import Tessaravolt

Item {
    id: scene
    width: 200
    height: 100

    TestCase {
        id: testCase
        name: "WindowControls"
        when: windowShown

        Component {
            id: controlsComponent
            WindowControls { x: 20; y: 20 }
        }

        SignalSpy { id: minimizeSpy; signalName: "minimizeRequested" }
        SignalSpy { id: closeSpy; signalName: "closeRequested" }

        function makeControls() {
            const controls = createTemporaryObject(controlsComponent, scene)
            minimizeSpy.clear(); minimizeSpy.target = controls
            closeSpy.clear(); closeSpy.target = controls
            return controls
        }

        function looks(controls, name) {
            const button = findChild(controls, name + "Button")
            const glyph = findChild(controls, name + "Glyph")
            return [String(button.color), String(button.border.color), String(glyph.color)]
        }

        function test_geometryAndGlyphs() {
            const controls = makeControls()
            compare([controls.width, controls.height], [86, 34])
            const minimize = findChild(controls, "minimizeButton")
            const close = findChild(controls, "closeButton")
            compare([minimize.x, minimize.width, minimize.height, minimize.radius], [0, 34, 34, 6])
            compare([close.x, close.width, close.height, close.radius], [42, 34, 34, 6])
            compare(findChild(controls, "minimizeGlyph").text, "\u2013")
            compare(findChild(controls, "closeGlyph").text, "\u00d7")
            compare(findChild(controls, "closeGlyph").font.pixelSize, 22)
            verify(findChild(controls, "closeGlyph").font.bold)
        }

        function test_hoverLooks() {
            const controls = makeControls()
            mouseMove(controls, 150, 80)
            compare(looks(controls, "minimize"), ["#00000000", "#00000000", "#9a9a9a"])
            compare(looks(controls, "close"), ["#00000000", "#00000000", "#9a9a9a"])
            mouseMove(controls, 59, 17)
            tryCompare(findChild(controls, "closeButton"), "color", "#3a2424")
            compare(looks(controls, "close"), ["#3a2424", "#6f3a3a", "#ffffff"])
            compare(looks(controls, "minimize"), ["#00000000", "#00000000", "#9a9a9a"])
            mouseMove(controls, 17, 17)
            tryCompare(findChild(controls, "minimizeButton"), "color", "#323232")
            compare(looks(controls, "minimize"), ["#323232", "#5b5b5b", "#9a9a9a"])
            compare(looks(controls, "close"), ["#00000000", "#00000000", "#9a9a9a"])
            mouseMove(controls, 150, 80)
            tryCompare(findChild(controls, "minimizeButton"), "color", "#00000000")
        }

        function test_clicks() {
            const controls = makeControls()
            mouseClick(controls, 17, 17)
            compare([minimizeSpy.count, closeSpy.count], [1, 0])
            mouseClick(controls, 59, 17)
            compare([minimizeSpy.count, closeSpy.count], [1, 1])
            // The strip right of the close button takes no clicks.
            mouseClick(controls, 81, 17)
            compare([minimizeSpy.count, closeSpy.count], [1, 1])
            // Released outside the button: no click.
            mousePress(controls, 59, 17)
            mouseMove(controls, 59, 60)
            mouseRelease(controls, 59, 60)
            compare([minimizeSpy.count, closeSpy.count], [1, 1])
        }
    }
}
