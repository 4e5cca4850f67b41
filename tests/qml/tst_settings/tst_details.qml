import QtQuick
import QtTest
import Tessaravolt
import "../../support/items.js" as Items
import "qrc:/qt/qml/Tessaravolt/app/qml/pages/settings/settingsData.js" as SettingsData

// The product details panel fed through the service's own signals: its rows and values, and its
// layout with short and long values in both languages, measured item by item.
Item {
    id: stage
    width: 1280
    height: 960

    Component {
        id: pageComponent
        SettingsPage {
            width: 1280
            height: 960
        }
    }

    TestCase {
        name: "DetailsPanel"
        when: windowShown

        // 47 bytes, one word: wider than the value column.
        function longSerial(i) {
            return ("CF50E21700" + i + "X7Q9ZK4M2P8R5T3W6Y1B0N7H4J2L9D5F8G3S6V1C4A7E0U").slice(0, 47);
        }


        function find(root, name) {
            const found = Items.walk(root, []).filter(i => i.objectName === name);
            verify(found.length === 1, name + ": " + found.length);
            return found[0];
        }

        function kids(item) {
            const out = [];
            for (let i = 0; i < item.children.length; ++i)
                out.push(item.children[i]);
            return out;
        }

        // Every row, also those outside the viewport and its cache.
        function rowItems(page) {
            const list = find(page, "detailList");
            list.cacheBuffer = 100000;
            list.forceLayout();
            const rows = () => kids(list.contentItem).filter(r => r.modelData !== undefined);
            tryVerify(() => rows().length === 12);
            return rows().sort((a, b) => a.index - b.index);
        }

        function textsOf(row) {
            const all = Items.walk(row, []);
            return [all.find(i => i.objectName === "detailLabel"), all.find(i => i.objectName === "detailValue")];
        }

        function values(page) {
            return find(page, "detailList").model.map(r => r[1]);
        }

        function createPage(properties) {
            const page = createTemporaryObject(pageComponent, stage, properties || {});
            verify(page);
            return page;
        }

        function setEnglish(english) {
            if (I18n.isEn !== english)
                I18n.toggleLanguage();
            compare(I18n.isEn, english);
        }

        function initTestCase() {
            verify(I18n.isEn !== undefined);
        }

        function cleanup() {
            setEnglish(true);
        }

        function feedIdentity() {
            HidServiceApi.brand("Tessaravolt");
            HidServiceApi.model("TV-25K140");
            HidServiceApi.productSn("TV25K140-0001234");
            HidServiceApi.softwareVersion("FW 1.0.8");
            HidServiceApi.supportProtocol(0x1805);
            HidServiceApi.productionDate("2025-06-18");
            HidServiceApi.batteryInfo(1, 25000, 3630, 140, 1000, 4200);
            HidServiceApi.batteryManufacturer("Cellforge Energy");
            HidServiceApi.batteryManufacturerCn("芯锻能源科技有限公司");
            HidServiceApi.batteryType("Li-ion NMC 21700");
            HidServiceApi.batteryModel("CF-21700-50E");
        }

        function test_initialValues() {
            const page = createPage();
            compare(JSON.stringify(values(page)),
                    JSON.stringify(["", "", "", "", "", "", "0 mAh / 0.0 Wh", "", "", "", "", ""]));
            compare(find(page, "flightEnergy").text, "0.0 Wh");
            compare(find(page, "flightCompliant").text, "Flight Compliant");
            compare(find(page, "carryOn").text, "Safe for carry-on bags");
            compare(rowItems(page).length, 12);
        }

        function test_energy_data() {
            return [
                { tag: "3630 mV, 25000 mAh", mv: 3630, mah: 25000, row: "25000 mAh / 90.8 Wh", card: "90.8 Wh", power: 90.8 },
                { tag: "3870 mV, 10050 mAh", mv: 3870, mah: 10050, row: "10050 mAh / 38.9 Wh", card: "38.9 Wh", power: 38.9 },
                { tag: "74 Wh", mv: 3700, mah: 20000, row: "20000 mAh / 74.0 Wh", card: "74.0 Wh", power: 74 },
                { tag: "no voltage", mv: 0, mah: 20000, row: "20000 mAh / 0.0 Wh", card: "0.0 Wh", power: 0 },
                { tag: "half a tenth rounds up", mv: 1000, mah: 50, row: "50 mAh / 0.1 Wh", card: "0.1 Wh", power: 0.1 },
                // Unsigned 32-bit fields at their largest, and a product beyond a double's exact range.
                { tag: "largest capacity", mv: 3700, mah: 4294967295, row: "4294967295 mAh / 15891379.0 Wh",
                  card: "15891379.0 Wh", power: 15891379 },
                { tag: "largest capacity and voltage", mv: 4294967295, mah: 4294967295,
                  row: "4294967295 mAh / 18446744065119.6 Wh", card: "18446744065119.6 Wh", power: 18446744065119.6 },
                { tag: "half a tenth of a large product", mv: 4294967295, mah: 4294950000,
                  row: "4294950000 mAh / 18446669783660.3 Wh", card: "18446669783660.3 Wh", power: 18446669783660.3 },
            ];
        }

        function test_energy(data) {
            const page = createPage();
            HidServiceApi.batteryInfo(4, data.mah, data.mv, 140, 1000, 16800);
            compare(page.capacity, data.mah);
            compare(page.limitPower, data.power);
            compare(values(page)[6], data.row);
            compare(find(page, "flightEnergy").text, data.card);
        }

        function test_protocols_data() {
            return [
                { tag: "0x1805", bits: 0x1805, text: "APPLE2.4, QC3.0, PD2.0, PD3.0" },
                { tag: "0x70000", bits: 0x70000, text: "PD, QC, BC1.2" },
                { tag: "none", bits: 0, text: "" },
                // Every bit: every named protocol, the unnamed bits ignored.
                { tag: "0xFFFFFFFF", bits: 0xFFFFFFFF,
                  text: "APPLE2.4, QC2.0, QC3.0, QC4.0, QC5.0, AFC, FCP, SCP, VOOC, UFCS, HyperCharge, PD2.0, PD3.0, "
                        + "PD3.1, PD3.2, PD3.3, PD, QC, BC1.2, BPP, EPP, PPDE, APL, QI2.0, QI2.2, QI, QI2.3, QI2.4" },
                { tag: "unnamed bits only", bits: 0xC0180000, text: "" },
            ];
        }

        function test_protocols(data) {
            const page = createPage();
            HidServiceApi.supportProtocol(data.bits);
            compare(page.protocol, data.bits);
            compare(values(page)[4], data.text);
        }

        function test_cellOrder() {
            const page = createPage();
            HidServiceApi.cellItemInfo(2, "SN-2", "2025-06-22");
            HidServiceApi.cellItemInfo(10, "SN-10", "2025-06-30");
            HidServiceApi.cellItemInfo(1, "SN-1", "2025-06-21");
            compare(JSON.stringify(page.sortedCellInfoIndex), '["1","2","10"]');
            compare(values(page)[10], "Cell2:SN-1\nCell3:SN-2\nCell11:SN-10");
            compare(values(page)[11], "Cell2:2025-06-21\nCell3:2025-06-22\nCell11:2025-06-30");
            // A cell reported again replaces its own line; the key list is written anew.
            const writes = [];
            page.sortedCellInfoIndexChanged.connect(() => writes.push(page.sortedCellInfoIndex.length));
            HidServiceApi.cellItemInfo(2, "SN-2b", "2025-07-01");
            compare(JSON.stringify(writes), "[0,3]");
            compare(values(page)[10], "Cell2:SN-1\nCell3:SN-2b\nCell11:SN-10");
            compare(values(page)[11], "Cell2:2025-06-21\nCell3:2025-07-01\nCell11:2025-06-30");
            setEnglish(false);
            compare(values(page)[10], "电芯2:SN-1\n电芯3:SN-2b\n电芯11:SN-10");
        }

        // A cell whose texts came empty keeps its line, numbered, in both rows.
        function test_emptyCellTexts() {
            const page = createPage();
            HidServiceApi.cellItemInfo(0, "SN-0", "");
            HidServiceApi.cellItemInfo(1, "", "2025-06-21");
            compare(values(page)[10], "Cell1:SN-0\nCell2:");
            compare(values(page)[11], "Cell1:\nCell2:2025-06-21");
        }

        function test_manufacturerFollowsLanguage() {
            const page = createPage();
            HidServiceApi.batteryManufacturer("Cellforge Energy");
            HidServiceApi.batteryManufacturerCn("芯锻能源");
            compare(values(page)[7], "Cellforge Energy");
            setEnglish(false);
            compare(values(page)[7], "芯锻能源");
            HidServiceApi.batteryManufacturerCn("");
            compare(values(page)[7], "", "no Chinese name: the row stays empty");
            setEnglish(true);
            compare(values(page)[7], "Cellforge Energy");
        }

        function test_labelsFollowLanguage() {
            const page = createPage();
            const english = ["Power Bank Manuafacturer", "Power Bank Model No.", "Power Bank Serial No.",
                             "Power Bank Firmware Version", "Power Bank Charging Protocols",
                             "Power Bank Production Date", "Power Bank Capacity/Energy",
                             "Battery Cell Manufacturer", "Battery Cell Composition", "Battery Cell Model No.",
                             "Battery Cell Serial No.", "Battery Cell Production Date"];
            const chinese = ["移动电源制造商", "移动电源型号", "移动电源编码", "移动电源固件版本", "移动电源充电协议",
                             "移动电源生产日期", "移动电源额定容量/额定能量", "电芯生产厂", "电芯类型", "电芯型号",
                             "电芯编码", "电芯生产日期"];
            compare(JSON.stringify(rowItems(page).map(r => textsOf(r)[0].text)), JSON.stringify(english));
            compare(find(page, "detailTitleText").text, "Product Details");
            setEnglish(false);
            compare(JSON.stringify(rowItems(page).map(r => textsOf(r)[0].text)), JSON.stringify(chinese));
            compare(find(page, "detailTitleText").text, "产品详情");
            compare(find(page, "flightCompliant").text, "符合航空标准");
            compare(find(page, "carryOn").text, "可随身登机");
        }

        // Only rows 8, 11 and 12 in Chinese on Windows take the language font.
        function test_localisableRows_data() {
            return [
                { tag: "en, windows", isEn: true, os: "windows", localisable: false },
                { tag: "zh, windows", isEn: false, os: "windows", localisable: true },
                { tag: "zh, linux", isEn: false, os: "linux", localisable: false },
            ];
        }

        function test_localisableRows(data) {
            const page = createPage();
            const rows = SettingsData.detailRows(page, Array(12).fill("L"), "Cell", [], data.isEn, data.os);
            compare(rows.length, 12);
            for (let i = 0; i < 12; ++i)
                compare(rows[i][2] === true, data.localisable && (i === 7 || i === 10 || i === 11), "row " + (i + 1));
            const valuesSkip = rowItems(page).map(r => textsOf(r)[1].skipLangCheck);
            compare(valuesSkip.every(v => v === true), true, "off Windows every value keeps the Latin font");
        }

        function test_deviceTextsArePlain() {
            const page = createPage();
            HidServiceApi.brand("<b>Bold</b><img src=\"http://127.0.0.1:9/x.png\">");
            const value = textsOf(rowItems(page)[0])[1];
            compare(value.textFormat, Text.PlainText);
            compare(value.text, "<b>Bold</b><img src=\"http://127.0.0.1:9/x.png\">");
        }

        function test_panelLayout_data() {
            return [
                { tag: "display shown", brightness: 100, panel: [40, 320, 1180, 580], frameHeight: 464 },
                { tag: "display hidden", brightness: 0, panel: [40, 0, 1180, 660], frameHeight: 544 },
            ];
        }

        function test_panelLayout(data) {
            const page = createPage({ initialBrightness: data.brightness, initialScreenTimeout: 30 });
            waitForRendering(page);
            const panel = find(page, "detailsPanel");
            compare([panel.x, panel.y, panel.width, panel.height].join(), data.panel.join());
            const card = find(page, "adPortion");
            compare([card.x, card.y, card.width].join(), "898,90,260");
            const lowest = Math.max(...kids(card).filter(c => c.visible).map(c => c.y + c.height));
            compare(card.height, lowest + 20);
            const frame = find(page, "detailListFrame");
            compare([frame.x, frame.y, frame.width, frame.height].join(), [26, 90, 846, data.frameHeight].join());
            const title = find(page, "detailTitle");
            compare([title.x, title.y, title.width, title.height, title.z].join(), "0,0,1180,70,99");
            const image = find(page, "flightImage");
            compare([image.x, image.y, image.width, image.height].join(), "180,22,58,41");
            const bar = find(page, "detailScrollBar");
            compare(bar.width, 18);
            compare(bar.x, 846 - 18);
            compare(bar.height, data.frameHeight);
        }

        // Fixed 40-high rows while every value has one line: twelve rows need 480.
        function test_shortValuesScroll_data() {
            return [
                { tag: "display shown", brightness: 100, scrolls: 16, handle: true },
                { tag: "display hidden", brightness: 0, scrolls: 0, handle: false },
            ];
        }

        function test_shortValuesScroll(data) {
            const page = createPage({ initialBrightness: data.brightness, initialScreenTimeout: 30 });
            feedIdentity();
            HidServiceApi.cellItemInfo(0, "CF50E240601", "2025-06-20 09:30:00");
            waitForRendering(page);
            const list = find(page, "detailList");
            compare(rowItems(page).map(r => r.height).join(), Array(12).fill(40).join());
            compare(list.contentHeight, 480);
            compare(Math.max(0, list.contentHeight - list.height), data.scrolls);
            compare(find(page, "detailScrollBar").contentItem.visible, data.handle);
            // Hard stops at both ends.
            mouseDrag(list, 400, 400, 0, -600);
            tryCompare(list, "moving", false);
            compare(list.contentY, data.scrolls);
            mouseDrag(list, 400, 20, 0, 600);
            tryCompare(list, "moving", false);
            compare(list.contentY, 0);
            const rows = rowItems(page);
            verify(rows[0].isViewportFirst);
            compare(rows[0].topLeftRound, true);
            compare(rows[0].bottomLeftRound, false);
            compare(rows.map(r => r.color.toString()).join(),
                    "#232323,#00000000,#232323,#00000000,#232323,#00000000,#232323,#00000000,#232323,#00000000,#232323,#00000000");
        }

        // No text overlaps another, reaches out of its row, past the frame or under the scroll bar.
        function checkGeometry(page, tag) {
            const list = find(page, "detailList");
            const frame = find(page, "detailListFrame");
            const rows = rowItems(page);
            compare(rows.length, 12, tag);
            // Rows that changed height (a language switch, new values) are placed on the list's next
            // layout: wait for it before measuring.
            const laidOut = () => rows.every((row, i) =>
                Math.abs(row.y - (i === 0 ? 0 : rows[i - 1].y + rows[i - 1].height)) < 0.01);
            tryVerify(laidOut, 5000, tag + ": the list lays its rows out");
            let previousBottom = 0;
            for (const row of rows) {
                const [label, value] = textsOf(row);
                const what = tag + " row " + (row.index + 1);
                verify(Math.abs(row.y - previousBottom) < 0.01, what + ": rows follow without gap or overlap");
                previousBottom = row.y + row.height;
                for (const t of [label, value]) {
                    const p = t.mapToItem(row, 0, 0);
                    verify(t.contentWidth <= t.width + 0.5, what + ": " + t.text + " is wider than its column");
                    verify(p.y >= 0 && p.y + t.contentHeight <= row.height + 0.5, what + ": text leaves its row");
                    verify(p.x + t.width <= list.width - 18 - 20 + 0.01, what + ": text under the scroll bar");
                }
                const l = label.mapToItem(row, 0, 0), v = value.mapToItem(row, 0, 0);
                verify(l.x + label.contentWidth <= v.x, what + ": label runs into the value");
            }
            verify(frame.width === list.width);
            // The flight card's texts stay clear of the image and inside the card.
            const card = find(page, "adPortion");
            const image = find(page, "flightImage");
            for (const name of ["flightCompliant", "flightEnergy", "carryOn"]) {
                const t = find(page, name);
                const p = t.mapToItem(card, 0, 0);
                const clearOfImage = p.x + t.contentWidth <= image.x || p.y >= image.y + image.height
                        || p.y + t.contentHeight <= image.y;
                verify(clearOfImage, tag + ": " + name + " under the aeroplane");
                verify(p.x + t.contentWidth <= card.width - 20, tag + ": " + name + " past the card");
                verify(p.y + t.contentHeight <= card.height - 20 + 0.5, tag + ": " + name + " below the card");
            }
        }

        function test_longValuesGrowTheirRows() {
            const page = createPage({ initialBrightness: 100, initialScreenTimeout: 30 });
            feedIdentity();
            HidServiceApi.supportProtocol(0x08273AEF);
            for (let i = 0; i < 6; ++i)
                HidServiceApi.cellItemInfo(i, longSerial(i), "2025-06-2" + i + " 09:30:00");
            compare(longSerial(0).length, 47);
            const rows = rowItems(page);
            // A serial line is wider than the column: each wraps once, inside its word.
            tryCompare(textsOf(rows[10])[1], "lineCount", 12);
            tryCompare(rows[10], "height", 12 * 21 + 19);
            tryCompare(rows[11], "height", 6 * 21 + 19);
            tryVerify(() => rows[4].height > 40, 5000, "the long protocol list wraps and its row grows");
            for (const english of [true, false]) {
                setEnglish(english);
                waitForRendering(page);
                checkGeometry(page, english ? "en" : "zh");
            }
            // Scrolled to the end, the last row ends at the frame's bottom.
            const list = find(page, "detailList");
            list.positionViewAtEnd();
            waitForRendering(page);
            verify(list.contentHeight > list.height);
            compare(list.contentY, list.contentHeight - list.height);
            verify(rowItems(page)[11].isViewportLast);
            verify(rowItems(page)[0].isViewportFirst, "a row scrolled out above counts as first");
        }

        function test_screenshots_data() {
            return [
                { tag: "one cell, both panels", cells: 1, long: false, brightness: 100, file: "details_one_cell" },
                { tag: "six long serials, both panels", cells: 6, long: true, brightness: 100, file: "details_six_cells" },
                { tag: "six long serials, display hidden", cells: 6, long: true, brightness: 0, file: "details_hidden" },
                { tag: "one cell, display hidden", cells: 1, long: false, brightness: 0, file: "details_hidden_one_cell" },
                { tag: "largest values, an empty activation text", cells: 2, long: false, extreme: true, brightness: 100,
                  file: "details_extremes" },
            ];
        }

        function test_screenshots(data) {
            const page = createPage({ initialBrightness: data.brightness, initialScreenTimeout: 300 });
            feedIdentity();
            HidServiceApi.supportProtocol(data.extreme ? 0xFFFFFFFF : data.long ? 0x08273AEF : 0x1805);
            if (data.extreme)
                HidServiceApi.batteryInfo(2, 4294967295, 4294967295, 65535, 65535, 65535);
            for (let i = 0; i < data.cells; ++i)
                HidServiceApi.cellItemInfo(i, data.long ? longSerial(i) : "CF50E24060" + i,
                                           data.extreme && i === 1 ? "" : "2025-06-2" + i + " 09:30:00");
            const list = find(page, "detailList");
            for (const english of [true, false]) {
                setEnglish(english);
                list.positionViewAtBeginning();
                waitForRendering(page);
                checkGeometry(page, data.tag);
                const suffix = english ? "_en" : "_zh";
                grabImage(page).save(settingsScreenshotDir + "/" + data.file + suffix + ".png");
                if (list.contentHeight > list.height) {
                    list.positionViewAtEnd();
                    waitForRendering(page);
                    grabImage(page).save(settingsScreenshotDir + "/" + data.file + suffix + "_end.png");
                }
            }
        }
    }
}
