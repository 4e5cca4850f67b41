import QtQuick
import QtTest
import Tessaravolt
import "../../support/items.js" as Items

// The power page fed through the service's own signals, as the device's answers would arrive.
Item {
    id: stage
    width: 1280
    height: 960

    Component {
        id: pageComponent
        PowerPage {
            width: 1280
            height: 960
        }
    }

    Component {
        id: cardComponent
        PortCard {
            width: 280
            height: 280
        }
    }

    // The fill as one canvas painted anew for every phase: clipped to a rectangle with round bottom
    // corners, a dark wave with the phase negated, then a bright one with the phase as it is. The page
    // must show the same picture without painting it on every frame.
    Component {
        id: paintedFillComponent
        Rectangle {
            property alias phase: painted.phase
            property alias fill: painted
            color: Theme.panel

            Canvas {
                id: painted
                property double phase: 0

                function drawWave(ctx, phase, colour) {
                    const w = width;
                    const h = height;
                    const a = 0.04 * h;
                    ctx.beginPath();
                    ctx.moveTo(0, h);
                    ctx.lineTo(0, a);
                    for (let x = 0; x <= w; ++x)
                        ctx.lineTo(x, a + Math.sin(2 * Math.PI * x / w + phase) * a);
                    ctx.lineTo(w, a);
                    ctx.lineTo(w, h);
                    ctx.closePath();
                    ctx.fillStyle = colour;
                    ctx.fill();
                }

                onPaint: {
                    const ctx = getContext("2d");
                    const w = width;
                    const h = height;
                    ctx.clearRect(0, 0, w, h);
                    ctx.save();
                    ctx.beginPath();
                    ctx.moveTo(0, 0);
                    ctx.lineTo(w, 0);
                    ctx.lineTo(w, h - 5);
                    ctx.quadraticCurveTo(w, h, w - 5, h);
                    ctx.lineTo(5, h);
                    ctx.quadraticCurveTo(0, h, 0, h - 5);
                    ctx.lineTo(0, 0);
                    ctx.closePath();
                    ctx.clip();
                    drawWave(ctx, -phase, "#009647");
                    drawWave(ctx, phase, "#00C839");
                    ctx.restore();
                }
            }
        }
    }

    TestCase {
        id: testCase
        name: "PowerPage"
        when: windowShown

        function items(root, predicate) {
            return Items.walk(root, []).filter(predicate);
        }

        function texts(root, text) {
            return items(root, i => i.text === text && i.skipLangCheck !== undefined);
        }

        function shownText(root, text) {
            const found = texts(root, text);
            return found.length > 0 && found.some(t => t.visible);
        }

        function cards(page) {
            return items(page, i => i.portName !== undefined && i.isWireless !== undefined)
                .sort((a, b) => a.y - b.y || a.x - b.x);
        }

        function bigNumbers(page) {
            return items(page, i => i.skipLangCheck !== undefined && i.font.pixelSize === 90)
                .sort((a, b) => a.x - b.x);
        }

        function loaderOf(page) {
            return items(page, i => i.sourceComponent !== undefined && i.asynchronous !== undefined)[0];
        }

        function ratingRows(page) {
            return items(page, i => i.total !== undefined && i.spacing !== undefined);
        }

        function feedExample() {
            HidServiceApi.portCount(4);
            HidServiceApi.portInfo(0, 2, 1, 9000, 2220, 31, 3, 300);
            HidServiceApi.portInfo(1, 0, 1, 0, 0, 25, 0, 300);
            HidServiceApi.portInfo(2, 1, 2, 5000, 1000, 28, 0, 150);
            HidServiceApi.portInfo(3, 2, 3, 9000, 1000, 30, 54, 150);
            HidServiceApi.soc(76);
        }

        function createPage() {
            const page = createTemporaryObject(pageComponent, stage);
            verify(page);
            waitForRendering(page);
            return page;
        }

        function setEnglish(english) {
            if (I18n.isEn !== english)
                I18n.toggleLanguage();
            compare(I18n.isEn, english);
        }

        // The wave and the arrows run on a held clock: what a test reads of them, and what it grabs,
        // is where the test ran them to.
        function init() {
            animationClock.hold();
        }

        function cleanup() {
            animationClock.release();
            setEnglish(true);
        }

        function test_initialIdlePage() {
            const page = createPage();
            compare(page.soc, 0);
            compare(page.portCount, 0);
            compare(page.sortedIndexList.length, 0);
            compare(cards(page).length, 0);
            const numbers = bigNumbers(page);
            compare(numbers.map(n => n.text).join(), "0,0,0");
            compare(numbers[1].x, 590, "output total without an arrow column");
            compare(numbers[2].x, 915);
            verify(shownText(page, "Output"));
            verify(shownText(page, "Input"));
            verify(!shownText(page, "Pass Through"));
            compare(ratingRows(page).filter(r => r.visible).length, 0);
            const loader = loaderOf(page);
            verify(!loader.active);
            compare(loader.item, null);
        }

        function test_fourPortExample() {
            const page = createPage();
            feedExample();
            compare(page.portCount, 4);
            compare(JSON.stringify(page.sortedIndexList), "[2,0,1,3]");
            compare(page.outputW, 29);
            compare(page.outputWMax, 45);
            compare(page.inputW, 5);
            compare(page.inputWMax, 15);
            verify(page.hasInput && page.hasOutput);
            waitForRendering(page);

            const c = cards(page);
            compare(c.map(x => x.portName).join(), "A,C1,C2,W");
            compare(c.map(x => x.headerColor).join(), "#64DD00,#00C739,#009546,#009546");
            compare(c.map(x => x.opacity).join(), "1,1,0.56,1");
            compare(c.map(x => x.isInput).join(), "true,false,false,false");
            compare(c.map(x => x.plugin).join(),
                    "../../assets/power_a.svg,../../assets/power_c.svg,../../assets/power_c.svg,../../assets/power_w.svg");
            compare(c[1].watts + "|" + c[1].volts + "|" + c[1].current + "|" + c[1].rating, "20.0|9.0|2.2|30.0");
            compare(c[3].protocol, I18n.resolvePortProtocol(54, I18n.language));
            // Four cards share the first row, 20 apart.
            compare(c.map(x => x.x).join(), "0,300,600,900");
            compare(c.map(x => x.y).join(), "0,0,0,0");

            compare(bigNumbers(page).map(n => n.text).join(), "76,29,5");
            verify(shownText(page, "Pass Through"));
            verify(!shownText(page, "Output"));
            verify(!shownText(page, "Input"));
            compare(ratingRows(page).filter(r => r.visible).length, 0);
            compare(bigNumbers(page)[1].x, 658, "output total beside the arrow column");

            verify(animationClock.run(1000)); // the arrows half faded in, for the pictures
            const shot = grabImage(page);
            shot.save(powerScreenshotDir + "/power_page_en.png");

            // The idle C2 card is the W card's twin (same header colour) drawn at 56 % over the page.
            const bg = Qt.color("#1E1E1E");
            const active = shot.pixel(40 + 900 + 250, 320 + 35);
            const idle = shot.pixel(40 + 600 + 250, 320 + 35);
            fuzzyCompare(idle.g, 0.56 * active.g + 0.44 * bg.g, 0.03);
            fuzzyCompare(idle.b, 0.56 * active.b + 0.44 * bg.b, 0.03);
            verify(active.g > 0.5, "opaque header end of the W card");
            const idleBody = shot.pixel(40 + 600 + 260, 320 + 260);
            const activeBody = shot.pixel(40 + 900 + 260, 320 + 260);
            fuzzyCompare(activeBody.r, Qt.color("#323232").r, 0.01);
            fuzzyCompare(idleBody.r, 0.56 * activeBody.r + 0.44 * bg.r, 0.01);
            // The first header fades from the panel showing through to lime at its right end.
            const firstLeft = shot.pixel(40 + 5, 320 + 35);
            const firstRight = shot.pixel(40 + 270, 320 + 35);
            verify(firstRight.g > firstLeft.g + 0.3, "horizontal header gradient");

            setEnglish(false);
            waitForRendering(page);
            verify(shownText(page, "边充边放"));
            verify(shownText(page, "剩余电量"));
            compare(bigNumbers(page).map(n => n.text).join(), "76,29,5");
            grabImage(page).save(powerScreenshotDir + "/power_page_zh.png");
        }

        function test_unknownTypesChangeNothing() {
            const page = createPage();
            HidServiceApi.portInfo(1, 2, 1, 5000, 1000, 20, 0, 100);
            const before = JSON.stringify(page.inoutPorts) + JSON.stringify(page.sortedIndexList) + page.outputW;
            HidServiceApi.portInfo(1, 1, 0, 9000, 3000, 20, 0, 300);
            HidServiceApi.portInfo(2, 1, 5, 9000, 3000, 20, 0, 300);
            compare(JSON.stringify(page.inoutPorts) + JSON.stringify(page.sortedIndexList) + page.outputW, before);
            compare(page.hasInput, false);
            compare(page.inoutPorts[1].name, "C");
        }

        function test_recordsStayAndRename() {
            const page = createPage();
            HidServiceApi.portCount(2);
            HidServiceApi.portInfo(1, 2, 1, 5000, 2000, 20, 0, 100);
            compare(page.inoutPorts[1].name, "C");
            // An index beyond the count is stored like any other.
            HidServiceApi.portInfo(3, 2, 1, 5000, 1000, 20, 0, 100);
            compare(page.inoutPorts[1].name, "C1");
            compare(page.inoutPorts[3].name, "C2");
            compare(page.outputW, 15);
            // Later answers replace one record; the silent port keeps its share.
            HidServiceApi.portInfo(3, 0, 1, 0, 0, 20, 0, 100);
            compare(page.outputW, 10);
            compare(page.hasOutput, true);
            waitForRendering(page);
            const c = cards(page);
            compare(c.map(x => x.portName + ":" + x.active).join(), "C1:true,C2:false");
        }

        function test_cardsFollowTheirRecords() {
            const page = createPage();
            feedExample();
            waitForRendering(page);
            const before = cards(page);
            compare(before.map(x => x.portName).join(), "A,C1,C2,W");

            // New values in the same order: the same cards show them.
            HidServiceApi.portInfo(1, 1, 1, 15000, 2000, 25, 0, 300);
            HidServiceApi.portInfo(0, 2, 1, 5000, 3000, 31, 3, 300);
            const after = cards(page);
            for (let i = 0; i < 4; ++i)
                verify(after[i] === before[i], "card " + i + " kept");
            compare(after[1].watts + "|" + after[1].volts + "|" + after[1].current, "15.0|5.0|3.0");
            compare(after[2].portName + ":" + after[2].active + ":" + after[2].isInput + ":" + after[2].watts,
                    "C2:true:true:30.0");
            compare(after[2].opacity, 1);

            // A third C port renames the others and takes its place in the order; the colours stay with
            // the places.
            HidServiceApi.portInfo(4, 0, 1, 0, 0, 20, 0, 600);
            waitForRendering(page);
            const grown = cards(page);
            compare(grown.map(x => x.portName).join(), "A,C1,C2,C3,W");
            compare(grown.map(x => x.rating).join(), "15.0,30.0,30.0,60.0,15.0");
            compare(grown.map(x => x.headerColor).join(), "#64DD00,#00C739,#009546,#009546,#009546");
            compare(grown.map(x => x.x + ":" + x.y).join(), "0:0,300:0,600:0,900:0,0:300");
        }

        function test_flowStates_data() {
            return [
                { tag: "idle", ports: [[0, 0, 1, 0, 0, 300]], loaded: null, output: true, input: true,
                  passThrough: false, outRow: false, inRow: false },
                { tag: "output only", ports: [[0, 2, 1, 12000, 1000, 650]], loaded: ["power_output_italic.svg", "power_none.svg"],
                  output: true, input: true, passThrough: false, outRow: true, inRow: false, outTotal: "12", outMax: "65" },
                { tag: "input only", ports: [[0, 1, 1, 20000, 1500, 300]], loaded: ["power_none.svg", "power_input_italic.svg"],
                  output: true, input: true, passThrough: false, outRow: false, inRow: true, inTotal: "30", inMax: "30" },
                { tag: "pass-through", ports: [[0, 1, 1, 20000, 1500, 300], [1, 2, 2, 5000, 1000, 100]],
                  loaded: ["power_output_big.svg", "power_input_big.svg"],
                  output: false, input: false, passThrough: true, outRow: false, inRow: false },
            ];
        }

        function test_flowStates(data) {
            const page = createPage();
            data.ports.forEach(p => HidServiceApi.portInfo(p[0], p[1], p[2], p[3], p[4], 20, 0, p[5]));
            waitForRendering(page);
            const loader = loaderOf(page);
            const numbers = bigNumbers(page);
            verify(animationClock.run(1000)); // the arrows half faded in, for the picture
            grabImage(page).save(powerScreenshotDir + "/power_flow_" + data.tag.replace(/ /g, "_") + ".png");
            if (data.loaded === null) {
                compare(loader.item, null);
            } else {
                verify(loader.item);
                const images = loader.item.children;
                compare(images.length, 2);
                for (let i = 0; i < 2; ++i)
                    verify(String(images[i].source).endsWith("/assets/" + data.loaded[i]), String(images[i].source));
                compare(loader.item.width, 68);
                compare(numbers[1].x, 658);
            }
            compare(shownText(page, "Output"), data.output);
            compare(shownText(page, "Input"), data.input);
            compare(shownText(page, "Pass Through"), data.passThrough);
            const rows = ratingRows(page);
            compare(rows.length, 2);
            rows.sort((a, b) => a.x - b.x);
            compare(rows[0].visible, data.outRow);
            compare(rows[1].visible, data.inRow);
            if (data.outTotal) {
                compare(numbers[1].text, data.outTotal);
                compare(rows[0].children[0].text + rows[0].children[1].text + rows[0].children[2].text,
                        data.outMax + " W MAX");
            }
            if (data.inTotal) {
                compare(numbers[2].text, data.inTotal);
                compare(rows[1].children[0].text + rows[1].children[1].text + rows[1].children[2].text,
                        data.inMax + " W MAX");
            }
        }

        function test_arrowsFollowTheFlow() {
            const page = createPage();
            HidServiceApi.portInfo(0, 2, 1, 9000, 1000, 20, 0, 300);
            const loader = loaderOf(page);
            const column = loader.item;
            verify(column);
            const fading = column.children[0];
            compare(fading.opacity, 0, "the output arrow starts hidden");
            // Fades in over two seconds.
            verify(animationClock.run(500));
            fuzzyCompare(fading.opacity, 0.25, 0.01, "the output arrow fades in");
            // Same flow state: the column and its animation run on.
            const faded = fading.opacity;
            HidServiceApi.portInfo(0, 2, 1, 9000, 2000, 20, 0, 300);
            compare(loader.item, column);
            compare(fading.opacity, faded, "the fade is not started again");
            verify(animationClock.run(100));
            verify(fading.opacity > faded, "the fade runs on");
            // Output only to pass-through: a new column, starting its cycle anew.
            HidServiceApi.portInfo(1, 1, 2, 5000, 1000, 20, 0, 100);
            verify(loader.item !== column);
            const upper = loader.item.children[0];
            const lower = loader.item.children[1];
            verify(upper.opacity < 0.2, "the upper big arrow starts hidden");
            verify(animationClock.run(500));
            fuzzyCompare(upper.opacity, 0.25, 0.01, "the upper big arrow fades in");
            fuzzyCompare(upper.opacity + lower.opacity, 1, 0.02);
            // Back to idle: no column, no animation.
            HidServiceApi.portInfo(0, 0, 1, 0, 0, 20, 0, 300);
            HidServiceApi.portInfo(1, 0, 2, 0, 0, 20, 0, 100);
            compare(loader.item, null);
        }

        // Minimised or hidden, the wave and the arrows hold still and the poll goes on; back on the
        // screen they move on from where they stood.
        function test_heldWhileTheWindowIsAway_data() {
            return [
                { tag: "minimised", visibility: Window.Minimized },
                { tag: "hidden", visibility: Window.Hidden },
            ];
        }

        function test_heldWhileTheWindowIsAway(data) {
            const window = stage.Window.window;
            const page = createPage();
            HidServiceApi.portCount(2);
            HidServiceApi.portInfo(0, 1, 1, 20000, 1500, 20, 0, 300);
            HidServiceApi.portInfo(1, 2, 2, 5000, 1000, 20, 0, 100);
            const fill = items(page, i => i.wavePhase !== undefined)[0];
            const arrow = loaderOf(page).item.children[0];
            verify(animationClock.run(300));
            verify(arrow.opacity > 0.05, "the arrow fades in: " + arrow.opacity);
            window.visibility = data.visibility;
            tryCompare(page, "onHold", true);
            const held = [fill.wavePhase, arrow.opacity];
            verify(animationClock.run(400)); // time for the animations to move on, which they may not
            compare([fill.wavePhase, arrow.opacity], held);
            // Answers still arrive and show.
            HidServiceApi.portInfo(1, 2, 2, 9000, 1000, 20, 0, 100);
            compare(page.outputW, 9);
            window.visibility = Window.Windowed;
            tryCompare(page, "onHold", false);
            verify(animationClock.run(100));
            verify(fill.wavePhase !== held[0] && arrow.opacity !== held[1], "moving again");
            verify(arrow.opacity - held[1] < 0.2 && arrow.opacity > held[1], "the fade goes on from " + held[1] + ": " + arrow.opacity);
        }

        function test_gaugeFill_data() {
            return [
                { tag: "0 %", soc: 0, h: 10, text: "0" },
                { tag: "6 %", soc: 6, h: 10, text: "6" },
                { tag: "7 %", soc: 7, h: 11.41, text: "7" },
                { tag: "50 %", soc: 50, h: 81.5, text: "50" },
                { tag: "100 %", soc: 100, h: 163, text: "100" },
                { tag: "above 100 %", soc: 140, h: 163, text: "140" },
            ];
        }

        function test_gaugeFill(data) {
            const page = createPage();
            HidServiceApi.soc(data.soc);
            compare(page.soc, data.soc);
            const wave = items(page, i => i.maxH !== undefined && i.fillInset !== undefined)[0];
            fuzzyCompare(wave.height, data.h, 1e-6);
            compare(wave.width, 80);
            // The fill keeps its bottom 14 above the frame's bottom at every height.
            fuzzyCompare(wave.y + wave.height, 22 + 198 - 14, 1e-6);
            compare(wave.parent.height, 220);
            compare(bigNumbers(page)[0].text, data.text);
            const phase = wave.children[0];
            const first = phase.wavePhase;
            verify(animationClock.run(100));
            verify(phase.wavePhase !== first, "the wave keeps moving");
            verify(phase.wavePhase >= 0 && phase.wavePhase <= 2 * Math.PI);
        }

        function colourDistance(a, b) {
            return Math.max(Math.abs(a.r - b.r), Math.abs(a.g - b.g), Math.abs(a.b - b.b));
        }

        // Compares the page's fill with the painted one at the phase the page's wave runs to, a few
        // times over the wave's cycle (2 s). Both are resampled when they sit on a fraction of a pixel,
        // each in its own way, so an edge pixel may match the one above or below it instead.
        function test_waveMatchesPaintedFill_data() {
            return [
                { tag: "0 %", soc: 0 },
                { tag: "7 %", soc: 7 },
                { tag: "50 %", soc: 50 },
                { tag: "76 %", soc: 76 },
                { tag: "100 %", soc: 100 },
                // The main window scales the page to fit the screen.
                { tag: "76 % scaled", soc: 76, scale: 0.9333 },
            ];
        }

        function test_waveMatchesPaintedFill(data) {
            const page = createPage();
            const scale = data.scale || 1;
            page.transformOrigin = Item.TopLeft;
            page.scale = scale;
            HidServiceApi.soc(data.soc);
            const wave = items(page, i => i.maxH !== undefined && i.fillInset !== undefined)[0];
            const fillItem = wave.children[0];
            const origin = fillItem.mapToItem(stage, 0, 0);
            const shift = 1000;
            // Beside the page, on the same fraction of a pixel as the fill.
            const reference = createTemporaryObject(paintedFillComponent, stage, {
                x: origin.x + shift - 10 * scale, y: origin.y - 10 * scale, scale: scale,
                transformOrigin: Item.TopLeft, width: fillItem.width + 20, height: fillItem.height + 20 });
            reference.fill.x = 10;
            reference.fill.y = 10;
            reference.fill.width = fillItem.width;
            reference.fill.height = fillItem.height;
            // One pixel of the panel around the fill, so that a fill out of place shows.
            const x0 = Math.floor(origin.x) - 1, y0 = Math.floor(origin.y) - 1;
            const x1 = Math.ceil(origin.x + fillItem.width * scale) + 1;
            const y1 = Math.ceil(origin.y + fillItem.height * scale) + 1;

            function compareAtPhase() {
                reference.phase = fillItem.wavePhase;
                reference.fill.requestPaint();
                const shot = grabImage(stage);
                let sum = 0;
                let bad = 0;
                for (let y = y0; y < y1; ++y) {
                    for (let x = x0; x < x1; ++x) {
                        const ours = shot.pixel(x, y);
                        const d = colourDistance(ours, shot.pixel(x + shift, y));
                        sum += d;
                        if (d <= 0.2)
                            continue;
                        if (colourDistance(ours, shot.pixel(x + shift, y - 1)) > 0.2
                                && colourDistance(ours, shot.pixel(x + shift, y + 1)) > 0.2)
                            ++bad;
                    }
                }
                return { phase: reference.phase, bad: bad, mean: sum / ((x1 - x0) * (y1 - y0)) };
            }

            // At 50 % the crest's top pixel misses the painter's by a hair (a distance of 0.204) in
            // narrow bands of phase around 0.68, 2.46, 3.83 and 5.61; these points keep clear of them.
            let now = 0;
            for (const at of [130, 430, 900, 1540]) {
                verify(animationClock.run(at - now));
                now = at;
                // Within 2 ms of the course.
                fuzzyCompare(fillItem.wavePhase, 2 * Math.PI * at / 2000, 0.007, "phase at " + at + " ms");
                const result = compareAtPhase();
                const where = "phase " + result.phase.toFixed(3);
                compare(result.bad, 0, where + ": pixels without a match nearby");
                verify(result.mean < 0.01, where + ": mean difference " + result.mean);
            }
        }

        function test_portCardLook_data() {
            return [
                { tag: "A active", name: "A", active: true, protocol: "PD3.0", protocolShown: false },
                { tag: "A1 active", name: "A1", active: true, protocol: "PD3.0", protocolShown: true, image: "power_cable.svg" },
                { tag: "W Qi2", name: "W", active: true, protocol: "Qi2", protocolShown: true, image: "protocol_qi2.png" },
                { tag: "W Qi", name: "W", active: true, protocol: "Qi", protocolShown: true, image: "protocol_qi.png" },
                { tag: "W Qi2.4", name: "W", active: true, protocol: "Qi2.4", protocolShown: true, image: "protocol_qi.png" },
                { tag: "W1", name: "W1", active: true, protocol: "Qi2", protocolShown: true, image: "power_cable.svg" },
                { tag: "C1 N/A", name: "C1", active: true, protocol: "N/A", protocolShown: true, image: "power_cable.svg" },
                { tag: "C2 idle", name: "C2", active: false, protocol: "N/A", protocolShown: false },
            ];
        }

        function test_portCardLook(data) {
            const card = createTemporaryObject(cardComponent, stage,
                                               { portName: data.name, active: data.active, protocol: data.protocol,
                                                 headerColor: "#64DD00", plugin: "../../assets/power_c.svg" });
            verify(card);
            compare(card.opacity, data.active ? 1 : 0.56);
            compare(card.isNotAPort, data.name !== "A");
            compare(card.isWireless, data.name === "W");
            compare(shownText(card, data.protocol), data.protocolShown);
            compare(shownText(card, data.name), true);
            const images = items(card, i => i.fillMode === Image.PreserveAspectFit);
            compare(images.length, 1);
            compare(images[0].visible, data.protocolShown);
            if (data.image)
                verify(String(images[0].source).endsWith("/assets/" + data.image), String(images[0].source));
            compare(shownText(card, " W"), data.active);
            const arrows = items(card, i => String(i.source).indexOf("_small.svg") >= 0);
            compare(arrows.length, 1);
            compare(arrows[0].visible, data.active);
        }

        function test_portCardDirection() {
            const card = createTemporaryObject(cardComponent, stage, { portName: "C1", active: true, isInput: true });
            const arrow = () => items(card, i => String(i.source).indexOf("_small.svg") >= 0)[0];
            verify(String(arrow().source).endsWith("power_input_small.svg"));
            card.isInput = false;
            verify(String(arrow().source).endsWith("power_output_small.svg"));
            // The rating is held, drawn nowhere.
            const before = grabImage(card);
            card.rating = "99.9";
            waitForRendering(card);
            verify(grabImage(card).equals(before));
        }
    }
}
