import QtQuick
import QtTest
import Tessaravolt

// The stepped slider under the pointer: what a press or a drag proposes, what it never does, and
// where it draws a value that only its owner sets.
Item {
    id: stage
    width: 600
    height: 200

    readonly property var brightnessStops: [80, 202.25, 391.77]
    readonly property var timeoutStops: [28.18, 82.57, 164.47, 280.34, 395.05]

    Component {
        id: sliderComponent
        AppSlider {
            x: 100
            y: 70
            width: 400
            from: 1
            to: 400
            value: 1
            trackRadius: 8
        }
    }

    SignalSpy {
        id: spy
        signalName: "selected"
    }

    TestCase {
        name: "AppSlider"
        when: windowShown

        function make(properties) {
            const slider = createTemporaryObject(sliderComponent, stage, properties || {});
            verify(slider);
            spy.clear();
            spy.target = slider;
            return slider;
        }

        function proposals() {
            const out = [];
            for (let i = 0; i < spy.count; ++i)
                out.push(spy.signalArguments[i][0]);
            return out;
        }

        function child(slider, name) {
            for (let i = 0; i < slider.children.length; ++i)
                if (slider.children[i].objectName === name)
                    return slider.children[i];
            return null;
        }

        // Press positions are pixels from the track's left end (the track spans the slider).
        function test_press_data() {
            return [
                { tag: "brightness: left end", stops: brightnessStops, x: 0, proposed: 80 },
                { tag: "brightness: x 100", stops: brightnessStops, x: 100, proposed: 80 },
                { tag: "brightness: x 140", stops: brightnessStops, x: 140, proposed: 80 },
                { tag: "brightness: x 141", stops: brightnessStops, x: 141, proposed: 202.25 },
                { tag: "brightness: x 296", stops: brightnessStops, x: 296, proposed: 202.25 },
                { tag: "brightness: x 297 (past 296.75)", stops: brightnessStops, x: 297, proposed: 391.77 },
                { tag: "brightness: right end", stops: brightnessStops, x: 399, proposed: 391.77 },
                { tag: "time-out: x 54", stops: timeoutStops, x: 54, proposed: 28.18 },
                { tag: "time-out: x 55", stops: timeoutStops, x: 55, proposed: 82.57 },
                { tag: "time-out: x 122", stops: timeoutStops, x: 122, proposed: 82.57 },
                { tag: "time-out: x 123", stops: timeoutStops, x: 123, proposed: 164.47 },
                { tag: "time-out: x 221", stops: timeoutStops, x: 221, proposed: 164.47 },
                { tag: "time-out: x 222", stops: timeoutStops, x: 222, proposed: 280.34 },
                { tag: "time-out: x 337", stops: timeoutStops, x: 337, proposed: 280.34 },
                { tag: "time-out: x 338", stops: timeoutStops, x: 338, proposed: 395.05 },
                { tag: "no stops: the raw value", stops: [], x: 100, proposed: 100.75 },
                { tag: "unsorted stops", stops: [300, 10, 200], x: 60, proposed: 10 },
            ];
        }

        function test_press(data) {
            const slider = make({ scopeRange: data.stops });
            mousePress(slider, data.x, 30);
            compare(proposals().length, 1);
            fuzzyCompare(proposals()[0], data.proposed, 1e-9);
            verify(slider.pressed);
            mouseRelease(slider, data.x, 30);
            compare(spy.count, 1, "the release proposes nothing");
            verify(!slider.pressed);
            compare(slider.value, 1, "the slider never writes its value");
        }

        // The band above and below the track takes presses too.
        function test_pressAboveTheTrack() {
            const slider = make({ scopeRange: brightnessStops });
            mousePress(slider, 350, 2);
            mouseRelease(slider, 350, 2);
            mousePress(slider, 5, 58);
            mouseRelease(slider, 5, 58);
            compare(JSON.stringify(proposals()), "[391.77,80]");
        }

        function test_ties_data() {
            return [
                { tag: "halfway between 80 and 202.25", stops: brightnessStops, raw: 141.125, proposed: 80 },
                { tag: "halfway, earlier in the list wins", stops: [202.25, 80], raw: 141.125, proposed: 202.25 },
                { tag: "equal stops: the first", stops: [5, 3, 5], raw: 4, proposed: 5 },
                { tag: "below every stop", stops: brightnessStops, raw: -1000, proposed: 80 },
                { tag: "stop as the list holds it", stops: [1e-12, 0.5], raw: 0, proposed: 1e-12 },
                { tag: "empty list", stops: [], raw: 12.5, proposed: 12.5 },
            ];
        }

        function test_ties(data) {
            const slider = make({ scopeRange: data.stops });
            compare(slider.nearestScopeValue(data.raw), data.proposed);
        }

        function test_dragBeyondBothEnds() {
            const slider = make({ scopeRange: timeoutStops });
            mousePress(slider, 200, 30);
            mouseMove(slider, 150, 30);
            mouseMove(slider, -80, 30);      // past the left end, outside the slider
            mouseMove(slider, -80, 140);     // and below it
            mouseMove(slider, 520, -60);     // past the right end, above it
            mouseMove(slider, 520, -60);     // the same place again still proposes
            const beforeRelease = spy.count;
            mouseRelease(slider, 520, -60);
            compare(spy.count, beforeRelease);
            compare(JSON.stringify(proposals()), "[164.47,164.47,28.18,28.18,395.05,395.05]");
            compare(slider.value, 1);
        }

        function test_moveWithoutPressProposesNothing() {
            const slider = make({ scopeRange: brightnessStops });
            mouseMove(slider, 10, 30);
            mouseMove(slider, 300, 30);
            compare(spy.count, 0);
        }

        function test_doubleClickProposesTwice() {
            const slider = make({ scopeRange: brightnessStops });
            mouseDoubleClickSequence(slider, 300, 30);
            compare(JSON.stringify(proposals()), "[391.77,391.77]");
        }

        function test_wheelAndKeysProposeNothing() {
            const slider = make({ scopeRange: brightnessStops });
            slider.forceActiveFocus();
            mouseWheel(slider, 200, 30, 0, 120);
            mouseWheel(slider, 200, 30, 0, -120);
            keyClick(Qt.Key_Right);
            keyClick(Qt.Key_Left);
            keyClick(Qt.Key_End);
            keyClick(Qt.Key_Space);
            compare(spy.count, 0);
            compare(slider.value, 1);
        }

        function test_notSlidable() {
            const slider = make({ scopeRange: brightnessStops, slidable: false, value: 202.25 });
            mousePress(slider, 300, 30);
            mouseMove(slider, 10, 30);
            mouseRelease(slider, 10, 30);
            compare(spy.count, 0);
            verify(!child(slider, "sliderSeek").visible);
            verify(child(slider, "sliderBar").visible);
            verify(child(slider, "sliderTrack").visible);
        }

        function test_fromEqualsTo() {
            const slider = make({ from: 7, to: 7, value: 300 });
            compare(slider.position, 0);
            compare(child(slider, "sliderSeek").x, 13.5);
            fuzzyCompare(child(slider, "sliderBar").width, 9.32, 1e-9);
            mousePress(slider, 390, 30);
            mouseRelease(slider, 390, 30);
            compare(JSON.stringify(proposals()), "[7]");
        }

        function test_fromEqualsToWithStops() {
            const slider = make({ from: 7, to: 7, value: 300, scopeRange: [2, 9, 6] });
            mousePress(slider, 390, 30);
            mouseRelease(slider, 390, 30);
            compare(JSON.stringify(proposals()), "[6]");
        }

        // Knob and bar for values the owner sets (a 400-wide track, from 1 to 400).
        function test_geometry_data() {
            return [
                { tag: "80", value: 80, knob: 74.70, bar: 70.52 },
                { tag: "202.25", value: 202.25, knob: 197.25, bar: 193.07 },
                { tag: "391.77", value: 391.77, knob: 387.25, bar: 383.07 },
                { tag: "28.18", value: 28.18, knob: 22.75, bar: 18.57 },
                { tag: "82.57", value: 82.57, knob: 77.27, bar: 73.09 },
                { tag: "164.47", value: 164.47, knob: 159.38, bar: 155.20 },
                { tag: "280.34", value: 280.34, knob: 275.54, bar: 271.36 },
                { tag: "395.05", value: 395.05, knob: 390.54, bar: 386.36 },
                { tag: "0, below from", value: 0, knob: 13.5, bar: 9.32 },
                { tag: "18.5, still the minimum", value: 18.5, knob: 13.5, bar: 9.32 },
                { tag: "above to", value: 1000, knob: 395.5, bar: 391.32 },
            ];
        }

        function test_geometry(data) {
            const slider = make({ value: data.value });
            const seek = child(slider, "sliderSeek");
            const bar = child(slider, "sliderBar");
            const track = child(slider, "sliderTrack");
            fuzzyCompare(seek.x, data.knob, 0.005);
            fuzzyCompare(bar.width, data.bar, 0.005);
            compare(seek.width, 4.5);
            compare(seek.height, 60);
            compare(seek.radius, 2.25);
            compare(seek.y, 0);
            compare(track.y, 10);
            compare(track.height, 40);
            compare(track.width, 400);
            compare(bar.x, 0);
            compare(bar.y, 10);
            compare(bar.height, 40);
            compare(slider.height, 60);
            fuzzyCompare(seek.x - (bar.x + bar.width), 4.18, 1e-9);
        }

        function test_sizeFromParent() {
            const holder = createTemporaryQmlObject(
                "import QtQuick; import Tessaravolt; Item { width: 333; property alias s: s; "
                + "AppSlider { id: s; from: 0; to: 1; value: 0 } }", stage);
            compare(holder.s.width, 333);
            compare(holder.s.height, 60);
        }

        function test_requiredProperties() {
            let made = null;
            try {
                made = Qt.createQmlObject("import Tessaravolt; AppSlider { from: 1; to: 2 }", stage);
            } catch (e) {
                verify(String(e.qmlErrors[0].message).indexOf("value") >= 0, e.qmlErrors[0].message);
            }
            compare(made, null);
        }

        // The bar fades from the progress colour at 0x4D (over the window's white) to the full colour where it ends; the
        // track is one flat colour.
        function test_colours() {
            const slider = make({ value: 391.77, progressColor: "#00C839" });
            waitForRendering(slider);
            const image = grabImage(slider);
            const end = image.pixel(383 - 2, 30);
            const start = image.pixel(1, 30);
            fuzzyCompare(end.g, Qt.color("#00C839").g, 0.03);
            // Grabs are drawn over white: the faint end shows much of it.
            verify(start.r > end.r + 0.4, "the bar starts faint");
            const seek = image.pixel(389, 2);
            fuzzyCompare(seek.g, Qt.color("#009647").g, 0.02);
            slider.visible = false;
            const low = make({ value: 0 });
            waitForRendering(low);
            const trackOnly = grabImage(low).pixel(300, 30);
            fuzzyCompare(trackOnly.r, 1 - 0x33 / 255, 0.02);
            fuzzyCompare(trackOnly.b, (0x33 * 0x47 / 255 + 255 - 0x33) / 255, 0.02);
        }
    }
}
