import QtQuick
import QtTest
import Tessaravolt
import "../../support/items.js" as H

// The fault panel's two layouts for the current events the page can receive, in both languages.
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

    Component {
        id: panelComponent
        FaultPanel {
            width: 1180
            height: 280
        }
    }

    TestCase {
        name: "FaultPanel"
        when: windowShown

        readonly property var formNames: ["titleLabel", "descLabel", "descValue", "warnLabel", "warnValue",
                                          "prodLabel", "prodValue"]

        function setEnglish(english) {
            if (I18n.isEn !== english)
                I18n.toggleLanguage();
            compare(I18n.isEn, english);
        }

        function cleanup() {
            setEnglish(true);
        }

        function content(panel) {
            return H.named(panel, "faultContent").item;
        }

        function settle(panel) {
            waitForRendering(panel);
            wait(0); // one turn of the event loop: a text that wrapped lays its column out again
            waitForRendering(panel);
        }

        // Every text of the warning form lies inside the content area, none overlaps another, none is
        // cut, and the form reads as label column, value column, rows top to bottom.
        function checkWarningForm(panel, tag) {
            const area = H.rectIn(H.named(panel, "faultContent"), panel);
            const item = content(panel);
            const rects = {};
            for (const name of formNames) {
                const text = H.named(item, name);
                verify(text, name);
                verify(!text.truncated, tag + ": " + name + " is cut: " + text.text);
                rects[name] = H.rectIn(text, panel);
                const r = rects[name];
                verify(r.x >= area.x - 0.5 && r.right <= area.right + 0.5, tag + ": " + name + " within the width");
                verify(r.y >= area.y - 0.5 && r.bottom <= area.bottom + 0.5,
                       tag + ": " + name + " within the height, bottom " + r.bottom + " of " + area.bottom);
            }
            for (let i = 0; i < formNames.length; ++i)
                for (let j = i + 1; j < formNames.length; ++j)
                    verify(!H.overlap(rects[formNames[i]], rects[formNames[j]]),
                           tag + ": " + formNames[i] + " overlaps " + formNames[j]);
            const grid = H.named(item, "formGrid");
            const labels = ["descLabel", "warnLabel", "prodLabel"];
            const values = ["descValue", "warnValue", "prodValue"];
            const widest = Math.max(...labels.map(n => H.named(item, n).implicitWidth));
            compare(grid.maxLabelWidth, widest);
            for (let i = 0; i < 3; ++i) {
                compare(rects[labels[i]].x, area.x);
                fuzzyCompare(rects[values[i]].x, area.x + widest + 12, 1);
                // A label stays level with the first line of its value.
                fuzzyCompare(rects[labels[i]].y, rects[values[i]].y, 0.5);
                verify(H.named(item, values[i]).wrapMode === Text.WordWrap);
            }
            fuzzyCompare(rects.descLabel.y, rects.titleLabel.bottom + 20, 0.5);
            const rowBottom = (label, value) => Math.max(rects[label].bottom, rects[value].bottom);
            fuzzyCompare(rects.warnValue.y, rowBottom("descLabel", "descValue") + 10, 0.5);
            fuzzyCompare(rects.prodValue.y, rowBottom("warnLabel", "warnValue") + 10, 0.5);
            return item;
        }

        function test_layouts_data() {
            const titles = {
                "0,0": ["System Check Complete", "系统检查完成"],
                "1,0": ["Over Temperature Protection", "过温保护"],
                "1,1": ["Under Temperature Protection", "低温保护"],
                "1,2": ["Over Voltage Protection", "过压保护"],
                "1,3": ["Under Voltage Protection", "低压保护"],
                "1,4": ["Over Current Protection", "过流保护"],
                "1,5": ["System Check Complete", "系统检查完成"],
                "1,6": ["Low Voltage Warning", "低电量保护"],
                "1,7": ["System Check Complete", "系统检查完成"],
                "2,0": ["System Check Complete", "系统检查完成"],
                "3,4": ["System Check Complete", "系统检查完成"],
            };
            const rows = [];
            for (const english of [true, false]) {
                for (const key in titles) {
                    const [type, info] = key.split(",").map(Number);
                    rows.push({ tag: key + (english ? " en" : " zh"), type: type, info: info, english: english,
                                warning: type !== 0, title: titles[key][english ? 0 : 1] });
                }
            }
            return rows;
        }

        function test_layouts(data) {
            setEnglish(data.english);
            const page = createTemporaryObject(pageComponent, stage);
            verify(page);
            const panel = H.named(page, "faultPanel");
            HidServiceApi.currentEvent(data.type, data.info);
            settle(panel);
            const texts = I18n.resolveCurrentEvent(data.type, data.info, I18n.language);
            compare(panel.title, data.title);
            compare(texts[0], data.title);
            compare(panel.warning, data.warning);
            const icon = H.named(panel, "warningIcon");
            verify(icon.visible);
            compare(H.rectIn(icon, panel).x, 26);
            compare(H.rectIn(icon, panel).y, 20);
            const area = H.rectIn(H.named(panel, "faultContent"), panel);
            compare(area.y, 34);
            compare(area.right, 1180 - 16);
            compare(area.bottom, 280 - 16);
            const item = content(panel);
            const title = H.named(item, "titleLabel");
            compare(title.text, data.title);
            if (!data.warning) {
                compare(H.fileName(icon.source), "health_safety.svg");
                compare([icon.width, icon.height].join("x"), "73x86");
                compare(area.x, 125);
                compare(area.width, 1039);
                compare(H.named(item, "formGrid"), null);
                compare(title.color, Qt.color("#00C839"));
                compare(title.font.pixelSize, 35);
                const desc = H.named(item, "descriptionLabel");
                compare(desc.text, data.english ? "All functions active and available." : "设备运行正常。");
                compare(desc.color, Qt.color("#FFFFFF"));
                compare(desc.y, title.height + 25);
                compare(title.textFormat, Text.PlainText);
                compare(desc.textFormat, Text.PlainText);
                return;
            }
            compare(H.fileName(icon.source), "health_warning.svg");
            compare([icon.width, icon.height].join("x"), "65x59");
            compare(area.x, 117);
            compare(area.width, 1047);
            compare(title.color, Qt.color("#FF6700"));
            compare(title.elide, Text.ElideRight);
            checkWarningForm(panel, data.tag);
            const colon = ":";
            compare(H.named(item, "descLabel").text, (data.english ? "Description" : "描述") + colon);
            compare(H.named(item, "warnLabel").text, (data.english ? "Warning Status" : "警告状态") + colon);
            compare(H.named(item, "prodLabel").text, (data.english ? "Product Status" : "产品状态") + colon);
            compare(H.named(item, "descValue").text, texts[1]);
            compare(H.named(item, "warnValue").text, texts[2]);
            compare(H.named(item, "prodValue").text, texts[3]);
            // Full size unless the texts would not fit; then no smaller than 18.
            const size = H.named(item, "prodValue").font.pixelSize;
            compare(H.named(item, "descLabel").font.pixelSize, size);
            if (data.type === 1 && [2, 3, 6].includes(data.info) && data.english)
                verify(size < 25 && size >= 18, "shrunk to " + size);
            else
                compare(size, 25);
        }

        // The product status of the voltage faults is wider than its column: it wraps whole.
        function test_longStatusWraps() {
            const page = createTemporaryObject(pageComponent, stage);
            const panel = H.named(page, "faultPanel");
            HidServiceApi.currentEvent(1, 2);
            settle(panel);
            const prod = H.named(content(panel), "prodValue");
            compare(prod.text, "All functions disabled. Please stop using the product and contact customer support.");
            compare(prod.lineCount, 2);
            verify(!prod.truncated);
            verify(prod.contentWidth <= prod.width);
            // Back to a short fault: full size again, one line each.
            HidServiceApi.currentEvent(1, 0);
            settle(panel);
            const form = content(panel);
            compare(H.named(form, "prodValue").font.pixelSize, 25);
            compare(H.named(form, "prodValue").lineCount, 1);
            compare(H.named(form, "warnValue").lineCount, 1);
        }

        function test_languageSwitchKeepsTheLayout() {
            const page = createTemporaryObject(pageComponent, stage);
            const panel = H.named(page, "faultPanel");
            HidServiceApi.currentEvent(1, 3);
            settle(panel);
            const layout = content(panel);
            const englishWidth = H.named(layout, "formGrid").maxLabelWidth;
            setEnglish(false);
            settle(panel);
            verify(content(panel) === layout, "the layout is not made anew");
            compare(panel.title, "低压保护");
            verify(H.named(layout, "formGrid").maxLabelWidth !== englishWidth);
            checkWarningForm(panel, "zh after switch");
            setEnglish(true);
            settle(panel);
            checkWarningForm(panel, "en after switch");
            // A fault that ends brings the shield and the normal layout back.
            HidServiceApi.currentEvent(0, 0);
            settle(panel);
            compare(H.fileName(H.named(panel, "warningIcon").source), "health_safety.svg");
            compare(H.named(content(panel), "formGrid"), null);
            compare(H.named(content(panel), "descriptionLabel").text, "All functions active and available.");
        }

        function test_emptyTitleHidesTheIcon() {
            const panel = createTemporaryObject(panelComponent, stage);
            verify(panel);
            waitForRendering(panel);
            compare(panel.title, "");
            const icon = H.named(panel, "warningIcon");
            verify(!icon.visible);
            compare(H.rectIn(H.named(panel, "faultContent"), panel).x, 125);
            panel.warning = true;
            compare(H.rectIn(H.named(panel, "faultContent"), panel).x, 117);
            panel.title = "Fault";
            verify(icon.visible);
            compare(panel.color, Qt.color("#282828"));
            compare(panel.radius, 16);
        }
    }
}
