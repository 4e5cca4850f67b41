import QtQuick
import QtTest
import Tessaravolt
import "../../support/items.js" as H

// The health page fed through the service's own signals, as the device's answers would arrive.
Item {
    id: stage
    width: 1280
    height: 960

    Component {
        id: pageComponent
        HealthPage {
            width: 1280
            height: 960
        }
    }

    TestCase {
        name: "HealthPage"
        when: windowShown

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

        function cleanup() {
            animationClock.release();
            setEnglish(true);
        }

        function shownRows(page) {
            return H.all(page, i => i.cellIndex !== undefined && i.isTotal !== undefined && i.visible)
                .sort((a, b) => a.cellIndex - b.cellIndex);
        }

        function rowLabel(row) {
            return H.named(row, "cellLabel");
        }

        function rowVoltage(row) {
            return H.named(row, "cellVoltage");
        }

        function voltages(page) {
            const model = H.named(page, "cellVoltageList").model;
            const out = [];
            for (let i = 0; i < model.count; ++i)
                out.push(model.get(i).voltage);
            return out;
        }

        function test_beforeAnyAnswer() {
            const page = createPage();
            compare(page.soh, 0);
            compare(page.cycles, 0);
            compare(page.temperatureF, 0);
            compare(page.temperatureC, 0);
            compare(page.maxIndex, 0);
            compare(H.named(page, "sohValue").text, "0");
            compare(H.named(page, "cycleValue").text, "0");
            compare(H.named(page, "fahrenheitValue").text, "0\u00B0");
            compare(H.named(page, "celsiusValue").text, "0\u00B0");
            compare(H.fileName(H.named(page, "thermometer").source), "thermometer_1.svg");
            compare(shownRows(page).length, 0);
            compare(JSON.stringify(voltages(page)), "[0,0,0,0,0,0]");
            const fault = H.named(page, "faultPanel");
            compare(fault.warning, false);
            compare(fault.title, "System Check Complete");
            compare(fault.description, "All functions active and available.");
            compare(fault.warningStatus, "--");
            compare(fault.productStatus, "--");
        }

        // The four panels' frames as given for the shell's page area: 20 apart, none over another.
        function test_frame() {
            const page = createPage();
            const frame = ["heroPanel", "tempPanel", "cellPanel", "faultPanel"].map(n => {
                const r = H.rectIn(H.named(page, n), page);
                return [r.x, r.y, r.width, r.height].join(",");
            });
            compare(frame.join(" "), "40,0,1180,300 40,320,580,280 640,320,580,280 40,620,1180,280");
        }

        function test_temperatures_data() {
            return [
                { tag: "254", tenths: 254, c: 25, f: 78, picture: 4 },
                { tag: "255", tenths: 255, c: 26, f: 78, picture: 4 },
                { tag: "320", tenths: 320, c: 32, f: 90, picture: 5 },
                { tag: "325", tenths: 325, c: 33, f: 91, picture: 6 },
                { tag: "155", tenths: 155, c: 16, f: 60, picture: 2 },
                { tag: "25", tenths: 25, c: 3, f: 37, picture: 1 },
                { tag: "-25", tenths: -25, c: -2, f: 28, picture: 1 },
                { tag: "0", tenths: 0, c: 0, f: 32, picture: 1 },
                { tag: "-400", tenths: -400, c: -40, f: -40, picture: 1 },
                { tag: "1005", tenths: 1005, c: 101, f: 213, picture: 6 },
            ];
        }

        function test_temperatures(data) {
            const page = createPage();
            HidServiceApi.cellDetailInfo(0, 15590, 1200, data.tenths);
            compare(page.temperatureC, data.c);
            compare(page.temperatureF, data.f);
            compare(H.named(page, "celsiusValue").text, data.c + "\u00B0");
            compare(H.named(page, "fahrenheitValue").text, data.f + "\u00B0");
            compare(H.fileName(H.named(page, "thermometer").source), "thermometer_" + data.picture + ".svg");
            // The pack entry is no cell.
            compare(JSON.stringify(voltages(page)), "[0,0,0,0,0,0]");
        }

        function test_thermometerBounds() {
            const page = createPage();
            const expected = { "-5": 1, "49": 1, "50": 2, "60": 2, "61": 3, "70": 3, "71": 4, "80": 4,
                               "81": 5, "90": 5, "91": 6, "120": 6 };
            for (const f in expected) {
                page.temperatureF = Number(f);
                compare(H.fileName(H.named(page, "thermometer").source), "thermometer_" + expected[f] + ".svg",
                        f + " °F");
            }
            // Celsius plays no part.
            page.temperatureF = 23;
            page.temperatureC = 40;
            compare(H.fileName(H.named(page, "thermometer").source), "thermometer_1.svg");
            compare(H.named(page, "celsiusValue").text, "40\u00B0");
            // The Celsius value stays at its place whatever the Fahrenheit texts.
            page.temperatureF = -123;
            compare(H.rectIn(H.named(page, "celsiusValue"), H.named(page, "tempPanel")).y, 188);
        }

        function test_gaugeFill_data() {
            return [
                { tag: "0", soh: 0, height: 10 },
                { tag: "5", soh: 5, height: 10 },
                { tag: "6", soh: 6, height: 10.08 },
                { tag: "50", soh: 50, height: 84 },
                { tag: "95", soh: 95, height: 159.6 },
                { tag: "100", soh: 100, height: 168 },
                { tag: "above 100", soh: 150, height: 168 },
            ];
        }

        function test_gaugeFill(data) {
            const page = createPage();
            HidServiceApi.soh(data.soh);
            compare(page.soh, data.soh);
            const fill = H.named(page, "sohFill");
            fuzzyCompare(fill.height, data.height, 1e-9);
            compare(fill.width, 80);
            // The bottom edge stays 14 above the outline's bottom (y 220 in the battery).
            const battery = fill.parent;
            fuzzyCompare(fill.y + fill.height, 206, 1e-9);
            compare(H.rectIn(battery, H.named(page, "heroPanel")).y, 40);
            compare(H.named(page, "sohValue").text, String(data.soh));
        }

        function test_numbersAndPercent() {
            const page = createPage();
            HidServiceApi.soh(99);
            HidServiceApi.cycleCount(12345);
            const value = H.named(page, "sohValue");
            const percent = H.named(page, "sohPercent");
            const cycles = H.named(page, "cycleValue");
            compare(cycles.text, "12345");
            compare(page.cycles, 12345);
            compare(value.x, 218);
            compare(cycles.x, 703);
            compare(cycles.y, value.y);
            const at99 = percent.x;
            HidServiceApi.soh(100);
            verify(percent.x > at99, "the percent sign follows the number's width");
            compare(percent.x, value.x + value.width + 6);
            compare(percent.y + percent.baselineOffset, value.y + value.baselineOffset);
        }

        function test_animations() {
            animationClock.hold();
            const page = createPage();
            const heart = H.named(page, "heartImage");
            const ring = H.all(page, i => i.source !== undefined && H.fileName(i.source) === "circle_routing.svg")[0];
            let minScale = 2, maxScale = 0;
            const r0 = ring.rotation;
            // Sampled over two seconds of the animations themselves, on a held clock.
            for (let t = 0; t < 2000; t += 20) {
                verify(animationClock.run(20));
                minScale = Math.min(minScale, heart.scale);
                maxScale = Math.max(maxScale, heart.scale);
            }
            verify(minScale < 0.9 && minScale >= 0.84, "beat shrinks to about 0.85: " + minScale);
            verify(maxScale > 1.04, "beat swells to about 1.1: " + maxScale);
            // Half a turn in ten seconds.
            fuzzyCompare(ring.rotation - r0, 36, 0.5, "ring turned");
        }

        // Minimised or hidden, the heart and the cycle symbol hold still and go on from there.
        function test_heldWhileTheWindowIsAway_data() {
            return [
                { tag: "minimised", visibility: Window.Minimized },
                { tag: "hidden", visibility: Window.Hidden },
            ];
        }

        function test_heldWhileTheWindowIsAway(data) {
            animationClock.hold();
            const page = createPage();
            const heart = H.named(page, "heartImage");
            const ring = H.all(page, i => i.source !== undefined && H.fileName(i.source) === "circle_routing.svg")[0];
            verify(animationClock.run(100));
            const window = stage.Window.window;
            window.visibility = data.visibility;
            tryCompare(heart, "onHold", true);
            const held = [heart.scale, ring.rotation];
            verify(animationClock.run(1000));
            compare([heart.scale, ring.rotation], held);
            window.visibility = Window.Windowed;
            tryCompare(heart, "onHold", false);
            verify(animationClock.run(100));
            verify(heart.scale !== held[0], "the beat goes on: " + heart.scale);
            verify(ring.rotation > held[1], "the ring turns on: " + ring.rotation);
        }

        function test_maxIndex_data() {
            return [
                { tag: "none", counts: [], maxIndex: 0, rows: "", content: 100, scrolling: false },
                { tag: "zero", counts: [0], maxIndex: 0, rows: "", content: 100, scrolling: false },
                { tag: "one", counts: [1], maxIndex: 2, rows: "Total,Cell 1", content: 180, scrolling: false },
                { tag: "two", counts: [2], maxIndex: 3, rows: "Total,Cell 1,Cell 2", content: 220, scrolling: true },
                { tag: "3 then 2", counts: [3, 2], maxIndex: 4, rows: "Total,Cell 1,Cell 2,Cell 3", content: 260,
                  scrolling: true },
                { tag: "3 then 0", counts: [3, 0], maxIndex: 4, rows: "Total,Cell 1,Cell 2,Cell 3", content: 260,
                  scrolling: true },
                { tag: "4", counts: [4], maxIndex: 5, rows: "Total,Cell 1,Cell 2,Cell 3,Cell 4", content: 300,
                  scrolling: true },
                { tag: "7", counts: [7], maxIndex: 8, rows: "Total,Cell 1,Cell 2,Cell 3,Cell 4,Cell 5", content: 340,
                  scrolling: true },
                { tag: "1 then 5", counts: [1, 5], maxIndex: 6, rows: "Total,Cell 1,Cell 2,Cell 3,Cell 4,Cell 5",
                  content: 340, scrolling: true },
            ];
        }

        function test_maxIndex(data) {
            const page = createPage();
            for (const count of data.counts)
                HidServiceApi.batteryInfo(count, 25600, 14800, 140, 1000, 16800);
            compare(page.maxIndex, data.maxIndex);
            const list = H.named(page, "cellVoltageList");
            waitForRendering(list);
            compare(shownRows(page).map(r => rowLabel(r).text).join(), data.rows);
            compare(list.contentHeight, data.content);
            compare(list.height, 160);
            compare(list.interactive, data.scrolling);
            compare(list.width, data.scrolling ? 520 : 544);
            const bar = H.named(page, "cellScrollBar");
            compare(bar.visible, data.scrolling);
            if (data.scrolling) {
                compare(H.rectIn(bar, H.named(page, "cellPanel")).x, 538);
                compare(bar.width, 18);
            }
            for (const row of shownRows(page)) {
                compare(row.height, 40);
                compare(rowVoltage(row).text, "0.00 V");
                compare(H.rectIn(rowLabel(row), H.named(page, "cellPanel")).x, 36);
            }
        }

        function test_cellTotal() {
            const page = createPage();
            HidServiceApi.batteryInfo(1, 25600, 14800, 140, 1000, 16800);
            HidServiceApi.cellDetailInfo(1, 3712, 1200, 290);
            HidServiceApi.cellDetailInfo(2, 3705, 1200, 290);
            HidServiceApi.cellDetailInfo(3, 3698, 1200, 290);
            const v = voltages(page);
            compare(v.slice(1).join(), "3.712,3.705,3.698,0,0");
            fuzzyCompare(v[0], 11.115, 1e-9);
            // Cells 2 and 3 are hidden and still count.
            const rows = shownRows(page);
            compare(rows.map(r => rowVoltage(r).text).join(), "11.12 V,3.71 V");
            // Entries 0 and 6 are no cells; the temperatures do not move a row.
            HidServiceApi.cellDetailInfo(0, 9999, 1200, 250);
            HidServiceApi.cellDetailInfo(6, 4000, 1200, 250);
            compare(voltages(page).join(), v.join());
            HidServiceApi.cellDetailInfo(5, 4200, 1200, 250);
            fuzzyCompare(voltages(page)[0], 15.315, 1e-9);
            // updateCellVoltage ignores rows outside the five cells.
            page.updateCellVoltage(5, 9);
            page.updateCellVoltage(-1, 9);
            fuzzyCompare(voltages(page)[0], 15.315, 1e-9);
            compare(voltages(page)[5], 4.2);
        }

        function test_voltageTexts() {
            const page = createPage();
            HidServiceApi.batteryInfo(5, 25600, 14800, 140, 1000, 16800);
            HidServiceApi.cellDetailInfo(1, 3712, 0, 0);
            HidServiceApi.cellDetailInfo(2, 0, 0, 0);
            HidServiceApi.cellDetailInfo(3, 3999, 0, 0);
            HidServiceApi.cellDetailInfo(4, 3644, 0, 0);
            HidServiceApi.cellDetailInfo(5, 3644, 0, 0);
            compare(shownRows(page).map(r => rowVoltage(r).text).join(),
                    "15.00 V,3.71 V,0.00 V,4.00 V,3.64 V,3.64 V");
        }

        function test_scrollStopsAtBounds() {
            const page = createPage();
            HidServiceApi.batteryInfo(2, 25600, 14800, 140, 1000, 16800);
            const list = H.named(page, "cellVoltageList");
            waitForRendering(list);
            // Past the first row: nothing moves.
            mouseDrag(list, 200, 20, 0, 120);
            wait(100); // time for the list to move, which it may not
            compare(list.contentY, list.originY);
            verify(!list.moving);
            // Past the last row: 60 of travel at most, no spring back.
            mouseDrag(list, 200, 140, 0, -300);
            tryVerify(() => !list.moving, 3000);
            compare(list.contentY - list.originY, 60);
            list.flick(0, -4000);
            tryVerify(() => !list.moving, 3000);
            compare(list.contentY - list.originY, 60);
            list.flick(0, 4000);
            tryVerify(() => !list.moving, 3000);
            compare(list.contentY, list.originY);
        }

        function test_listDoesNotMoveWithOneCell() {
            const page = createPage();
            HidServiceApi.batteryInfo(1, 25600, 14800, 140, 1000, 16800);
            const list = H.named(page, "cellVoltageList");
            waitForRendering(list);
            mouseDrag(list, 200, 140, 0, -100);
            wait(100); // time for the list to move, which it may not
            compare(list.contentY, list.originY);
        }

        function test_languageSwitch() {
            const page = createPage();
            HidServiceApi.batteryInfo(3, 25600, 14800, 140, 1000, 16800);
            HidServiceApi.cellDetailInfo(3, 3712, 0, 0);
            HidServiceApi.currentEvent(1, 0);
            const fault = H.named(page, "faultPanel");
            compare(fault.title, "Over Temperature Protection");
            const labelOffset = () => {
                const row = shownRows(page)[3];
                const label = rowLabel(row);
                return label.y + label.height / 2 - row.height / 2;
            };
            fuzzyCompare(labelOffset(), 3, 0.5);
            setEnglish(false);
            compare(shownRows(page).map(r => rowLabel(r).text).join(), "总电压,电芯1,电芯2,电芯3");
            fuzzyCompare(labelOffset(), 0, 0.5);
            compare(shownRows(page).map(r => rowVoltage(r).text).join(), "3.71 V,0.00 V,0.00 V,3.71 V");
            compare(fault.title, "过温保护");
            compare(fault.warning, true);
            verify(H.all(page, i => i.text === "电池健康度").length === 1);
            verify(H.all(page, i => i.text === "华氏").length === 1);
            setEnglish(true);
            compare(fault.title, "Over Temperature Protection");
        }

        function test_eventsSwitchTheFaultPanel() {
            const page = createPage();
            const fault = H.named(page, "faultPanel");
            const cases = [
                [1, 0, true, "Over Temperature Protection"],
                [2, 0, true, "System Check Complete"],
                [3, 9, true, "System Check Complete"],
                [1, 5, true, "System Check Complete"],
                [1, 7, true, "System Check Complete"],
                [0, 3, false, "System Check Complete"],
                [1, 6, true, "Low Voltage Warning"],
            ];
            for (const [type, info, warning, title] of cases) {
                HidServiceApi.currentEvent(type, info);
                compare(page.currentEventRaw.type, type);
                compare(page.currentEventRaw.info, info);
                compare(fault.warning, warning, type + "," + info);
                compare(fault.title, title, type + "," + info);
            }
            // The same event again is a new object all the same.
            const before = page.currentEventRaw;
            HidServiceApi.currentEvent(1, 6);
            verify(page.currentEventRaw !== before);
        }
    }
}
