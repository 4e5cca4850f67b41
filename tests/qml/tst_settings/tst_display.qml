import QtQuick
import QtTest
import Tessaravolt
import "../../support/items.js" as Items

// The settings page's frame and its display panel, fed through the service's own signals as the
// device's answers would arrive, and used with the mouse.
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
        name: "DisplayPanel"
        when: windowShown

        function find(root, name) {
            const found = Items.walk(root, []).filter(i => i.objectName === name);
            verify(found.length === 1, name + ": " + found.length);
            return found[0];
        }

        function childNamed(item, name) {
            for (let i = 0; i < item.children.length; ++i)
                if (item.children[i].objectName === name)
                    return item.children[i];
            return null;
        }

        function at(item, page) {
            const p = item.mapToItem(page, 0, 0);
            return [Math.round(p.x * 100) / 100, Math.round(p.y * 100) / 100];
        }

        function createPage(properties) {
            const page = createTemporaryObject(pageComponent, stage, properties || {});
            verify(page);
            return page;
        }

        function shownPage() {
            return createPage({ initialBrightness: 50, initialScreenTimeout: 60 });
        }

        function setEnglish(english) {
            if (I18n.isEn !== english)
                I18n.toggleLanguage();
            compare(I18n.isEn, english);
        }

        // The language service exists before any page, as in the program (creating it retranslates
        // the engine, which would re-enter a binding that happened to create it).
        function initTestCase() {
            verify(I18n.isEn !== undefined);
        }

        function cleanup() {
            setEnglish(true);
        }

        function test_frame_data() {
            return [
                { tag: "both known", brightness: 50, timeout: 60, shown: true, display: [40, 0, 1180, 300], details: [40, 320, 1180, 580] },
                { tag: "nothing known yet", brightness: 0, timeout: 0, shown: false, display: [40, 0, 1180, 0], details: [40, 0, 1180, 660] },
                { tag: "brightness 0", brightness: 0, timeout: 30, shown: false, display: [40, 0, 1180, 0], details: [40, 0, 1180, 660] },
                { tag: "time-out 0", brightness: 100, timeout: 0, shown: false, display: [40, 0, 1180, 0], details: [40, 0, 1180, 660] },
            ];
        }

        // The panels' frames as the page gives them, display panel shown and hidden.
        function test_frame(data) {
            const page = createPage({ initialBrightness: data.brightness, initialScreenTimeout: data.timeout });
            const display = find(page, "displayPanel");
            const details = find(page, "detailsPanel");
            compare(page.isDisplayVisible, data.shown);
            compare(display.visible, data.shown);
            compare([display.x, display.y, display.width, display.height].join(), data.display.join());
            compare([details.x, details.y, details.width, details.height].join(), data.details.join());
        }

        // The page follows the window's cached values until it writes its own, then only itself.
        function test_followsCachedValuesUntilWritten() {
            const page = createPage();
            const details = find(page, "detailsPanel");
            compare(page.isDisplayVisible, false);
            page.initialBrightness = 20;
            compare(page.isDisplayVisible, false);
            page.initialScreenTimeout = 600;
            compare(page.brightness, 20);
            compare(page.timeoutSeconds, 600);
            compare(page.isDisplayVisible, true);
            compare(details.y, 320);
            compare(details.height, 580);
            HidServiceApi.brightness(100);
            HidServiceApi.screenTimeout(300);
            page.initialBrightness = 50;
            page.initialScreenTimeout = 10;
            compare(page.brightness, 100);
            compare(page.timeoutSeconds, 300);
            HidServiceApi.brightness(0);
            compare(page.isDisplayVisible, false);
            compare(details.y, 0);
            compare(details.height, 660);
        }

        // What a user sees of the panel: the header band across its top with the reset button inside
        // it at the right; below it the two icon, slider and label groups, side by side, each item
        // inside the panel, none over another, every label under its own slider and starting with
        // it. The 400-wide tracks, the 300-high panel and the grid's 1157 are the panel's given sizes.
        function test_whatTheUserSees() {
            const page = shownPage();
            waitForRendering(page);
            const panel = find(page, "displayPanel");
            compare(panel.height, 300);
            compare(find(page, "gridRoot").width, 1157);
            const title = find(page, "displayTitle");
            const band = Items.rectIn(title, panel);
            compare([band.x, band.y, band.width].join(), "0,0," + panel.width);
            const reset = Items.rectIn(find(page, "resetDefault"), panel);
            verify(reset.x > band.x + band.width / 2 && reset.right <= band.right, "reset at the band's right");
            verify(reset.y >= band.y && reset.bottom <= band.bottom, "reset inside the band");
            compare(reset.right, band.right - 10);
            compare(reset.height, 52);
            verify(!Items.overlap(reset, Items.rectIn(find(page, "displayTitleText"), panel)), "title clear of reset");

            const groups = [["brightnessIcon", "brightnessSlider", "brightnessLabel"],
                            ["timeoutIcon", "timeoutSlider", "timeoutLabel"]];
            const rects = [];
            for (const group of groups) {
                const [icon, slider, label] = group.map(name => Items.rectIn(find(page, name), panel));
                compare(find(page, group[1]).width, 400);
                for (const r of [icon, slider, label]) {
                    verify(r.x >= 0 && r.right <= panel.width && r.bottom <= panel.height,
                           group + ": inside the panel");
                    verify(r.y >= band.bottom, group + ": below the header band");
                    rects.push(r);
                }
                verify(icon.right <= slider.x, group + ": icon left of its slider");
                verify(label.y >= slider.bottom, group + ": label under its slider");
                compare(label.x, slider.x);
            }
            for (let i = 0; i < rects.length; ++i)
                for (let j = i + 1; j < rects.length; ++j)
                    verify(!Items.overlap(rects[i], rects[j]), "items " + i + " and " + j + " overlap");
            const brightnessSlider = Items.rectIn(find(page, "brightnessSlider"), panel);
            const timeoutIcon = Items.rectIn(find(page, "timeoutIcon"), panel);
            verify(brightnessSlider.right < timeoutIcon.x, "the brightness group ends before the time-out group");
        }

        function test_timeoutTexts_data() {
            return [
                { tag: "10", seconds: 10, en: "10 seconds", zh: "10 秒" },
                { tag: "30", seconds: 30, en: "30 seconds", zh: "30 秒" },
                { tag: "45", seconds: 45, en: "45 seconds", zh: "45 秒" },
                { tag: "59", seconds: 59, en: "59 seconds", zh: "59 秒" },
                { tag: "60", seconds: 60, en: "1 minutes", zh: "1 分钟" },
                { tag: "89", seconds: 89, en: "1 minutes", zh: "1 分钟" },
                { tag: "90", seconds: 90, en: "2 minutes", zh: "2 分钟" },
                { tag: "150", seconds: 150, en: "3 minutes", zh: "3 分钟" },
                { tag: "300", seconds: 300, en: "5 minutes", zh: "5 分钟" },
                { tag: "600", seconds: 600, en: "10 minutes", zh: "10 分钟" },
                { tag: "3599", seconds: 3599, en: "60 minutes", zh: "60 分钟" },
                { tag: "3600", seconds: 3600, en: "1 hours", zh: "1 小时" },
                { tag: "5400", seconds: 5400, en: "2 hours", zh: "2 小时" },
                { tag: "65535", seconds: 65535, en: "18 hours", zh: "18 小时" },
            ];
        }

        function test_timeoutTexts(data) {
            const page = shownPage();
            HidServiceApi.screenTimeout(data.seconds);
            const text = find(page, "timeoutValue");
            compare(text.text, data.en);
            setEnglish(false);
            compare(text.text, data.zh);
            setEnglish(true);
            compare(text.text, data.en);
            const steps = [10, 30, 60, 300, 600];
            if (steps.indexOf(data.seconds) < 0)
                compare(find(page, "timeoutSlider").value, 0, "off the steps: the knob's leftmost place");
        }

        function test_brightnessTexts_data() {
            return [
                { tag: "20", percent: 20, text: "20%", icon: "brightness_empty.svg", slider: 80 },
                { tag: "50", percent: 50, text: "50%", icon: "brightness_half.svg", slider: 202.25 },
                { tag: "100", percent: 100, text: "100%", icon: "brightness_full.svg", slider: 391.77 },
                { tag: "75, off the steps", percent: 75, text: "75%", icon: "brightness_full.svg", slider: 0 },
            ];
        }

        function test_brightnessTexts(data) {
            const page = shownPage();
            HidServiceApi.brightness(data.percent);
            compare(find(page, "brightnessValue").text, data.text);
            verify(String(find(page, "brightnessIcon").source).endsWith("/assets/" + data.icon));
            fuzzyCompare(find(page, "brightnessSlider").value, data.slider, 1e-9);
        }

        function test_timeoutSliderValues_data() {
            return [
                { tag: "10", seconds: 10, slider: 28.18 },
                { tag: "30", seconds: 30, slider: 82.57 },
                { tag: "60", seconds: 60, slider: 164.47 },
                { tag: "300", seconds: 300, slider: 280.34 },
                { tag: "600", seconds: 600, slider: 395.05 },
                { tag: "45", seconds: 45, slider: 0 },
            ];
        }

        function test_timeoutSliderValues(data) {
            const page = shownPage();
            HidServiceApi.screenTimeout(data.seconds);
            fuzzyCompare(find(page, "timeoutSlider").value, data.slider, 1e-9);
        }

        // Presses at x on the 400-wide track (from its left end) to the setting the page takes.
        function test_pressSets_data() {
            return [
                { tag: "brightness x 0", slider: "brightnessSlider", x: 0, brightness: 20 },
                { tag: "brightness x 140", slider: "brightnessSlider", x: 140, brightness: 20 },
                { tag: "brightness x 141", slider: "brightnessSlider", x: 141, brightness: 50 },
                { tag: "brightness x 150", slider: "brightnessSlider", x: 150, brightness: 50 },
                { tag: "brightness x 296", slider: "brightnessSlider", x: 296, brightness: 50 },
                { tag: "brightness x 297", slider: "brightnessSlider", x: 297, brightness: 100 },
                { tag: "brightness x 399", slider: "brightnessSlider", x: 399, brightness: 100 },
                { tag: "time-out x 0", slider: "timeoutSlider", x: 0, timeout: 10 },
                { tag: "time-out x 54", slider: "timeoutSlider", x: 54, timeout: 10 },
                { tag: "time-out x 55", slider: "timeoutSlider", x: 55, timeout: 30 },
                { tag: "time-out x 123", slider: "timeoutSlider", x: 123, timeout: 60 },
                { tag: "time-out x 222", slider: "timeoutSlider", x: 222, timeout: 300 },
                { tag: "time-out x 337", slider: "timeoutSlider", x: 337, timeout: 300 },
                { tag: "time-out x 338", slider: "timeoutSlider", x: 338, timeout: 600 },
            ];
        }

        function test_pressSets(data) {
            const page = createPage({ initialBrightness: 75, initialScreenTimeout: 45 });
            const slider = find(page, data.slider);
            compare(childNamed(slider, "sliderSeek").x, 13.5);
            mousePress(slider, data.x, 30);
            if (data.brightness !== undefined) {
                compare(page.brightness, data.brightness);
                compare(page.timeoutSeconds, 45);
            } else {
                compare(page.timeoutSeconds, data.timeout);
                compare(page.brightness, 75);
            }
            mouseRelease(slider, data.x, 30);
        }

        function test_dragFollowsSteps() {
            const page = shownPage();
            const slider = find(page, "timeoutSlider");
            const seen = [];
            page.timeoutSecondsChanged.connect(() => seen.push(page.timeoutSeconds));
            mousePress(slider, 0, 30);
            for (let x = 0; x <= 420; x += 20)
                mouseMove(slider, x, 30);
            mouseRelease(slider, 420, 30);
            compare(JSON.stringify(seen), "[10,30,60,300,600]");
            compare(page.timeoutSeconds, 600);
            fuzzyCompare(childNamed(slider, "sliderSeek").x, 390.54, 0.005);
        }

        function test_resetToDefault() {
            const page = createPage({ initialBrightness: 20, initialScreenTimeout: 600 });
            compare(find(page, "brightnessValue").text, "20%");
            compare(find(page, "timeoutValue").text, "10 minutes");
            verify(String(find(page, "brightnessIcon").source).endsWith("brightness_empty.svg"));
            const order = [];
            page.brightnessChanged.connect(() => order.push("brightness " + page.brightness));
            page.timeoutSecondsChanged.connect(() => order.push("timeout " + page.timeoutSeconds));
            const button = find(page, "resetButton");
            mouseClick(button, 20, 26);
            compare(JSON.stringify(order), '["brightness 100","timeout 30"]');
            compare(find(page, "brightnessValue").text, "100%");
            compare(find(page, "timeoutValue").text, "30 seconds");
            fuzzyCompare(find(page, "brightnessSlider").value, 391.77, 1e-9);
            fuzzyCompare(find(page, "timeoutSlider").value, 82.57, 1e-9);
            verify(String(find(page, "brightnessIcon").source).endsWith("brightness_full.svg"));
            compare(page.initialBrightness, 20, "the window's cached values stay");
        }

        function test_languageSwitch() {
            const page = shownPage();
            compare(find(page, "displayTitleText").text, "Display");
            compare(find(page, "resetText").text, "Reset to default");
            setEnglish(false);
            compare(find(page, "displayTitleText").text, "显示");
            compare(find(page, "resetText").text, "恢复默认设置");
            compare(find(page, "timeoutValue").text, "1 分钟");
            compare(page.brightness, 50, "the page's state stays");
        }

        function test_screenshots() {
            const page = createPage({ initialBrightness: 50, initialScreenTimeout: 300 });
            for (const english of [true, false]) {
                setEnglish(english);
                waitForRendering(page);
                grabImage(page).save(settingsScreenshotDir + "/display_" + (english ? "en" : "zh") + ".png");
            }
            // The header band fades from the panel to green; the reset button sits on it.
            setEnglish(true);
            waitForRendering(page);
            const shot = grabImage(page);
            verify(shot.pixel(40 + 860, 5).g > shot.pixel(40 + 100, 5).g + 0.2, "header gradient");
        }
    }
}
