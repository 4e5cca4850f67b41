import QtQuick
import QtTest
import Tessaravolt
import "../../support/items.js" as H

// The page as drawn, in both languages, with no fault and with the longest fault texts; the
// pictures go to health-screenshots/ and are probed where the panels put their colours.
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
        name: "HealthScreens"
        when: windowShown

        function setEnglish(english) {
            if (I18n.isEn !== english)
                I18n.toggleLanguage();
            compare(I18n.isEn, english);
        }

        // The heart beats and the cycle symbol turns on a held clock: the pictures show them at rest,
        // as the page's first frame does.
        function init() {
            animationClock.hold();
        }

        function cleanup() {
            animationClock.release();
            setEnglish(true);
        }

        function near(shot, x, y, hex, tolerance, what) {
            const c = shot.pixel(x, y);
            const e = Qt.color(hex);
            const d = Math.max(Math.abs(c.r - e.r), Math.abs(c.g - e.g), Math.abs(c.b - e.b));
            verify(d <= (tolerance === undefined ? 0.02 : tolerance),
                   (what || "") + " at " + x + "," + y + ": " + c + " is not " + hex);
        }

        // Rows of the panel's bottom margin hold nothing but the panel's own fill.
        function marginIsEmpty(shot, top, bottom) {
            for (let y = top; y < bottom; ++y)
                for (let x = 40 + 117; x < 40 + 1164; x += 3)
                    near(shot, x, y, "#282828", 0.01, "bottom margin of the fault panel");
        }

        function countNear(shot, x0, x1, y0, y1, hex) {
            const e = Qt.color(hex);
            let n = 0;
            for (let y = y0; y < y1; y += 2)
                for (let x = x0; x < x1; x += 2) {
                    const c = shot.pixel(x, y);
                    if (Math.abs(c.r - e.r) < 0.08 && Math.abs(c.g - e.g) < 0.08 && Math.abs(c.b - e.b) < 0.08)
                        ++n;
                }
            return n;
        }

        function feed(page) {
            HidServiceApi.batteryInfo(4, 25600, 14800, 140, 1000, 16800);
            HidServiceApi.soh(95);
            HidServiceApi.cycleCount(37);
            HidServiceApi.cellDetailInfo(0, 15590, 1200, 291);
            for (let i = 1; i <= 4; ++i)
                HidServiceApi.cellDetailInfo(i, 3890 + 5 * i, 1200, 290);
        }

        function shoot(page, name) {
            waitForRendering(page);
            const shot = grabImage(page);
            shot.save(healthScreenshotDir + "/" + name + ".png");
            return shot;
        }

        function commonProbes(shot) {
            near(shot, 1250, 950, "#1E1E1E", 0.01, "page background");
            near(shot, 20, 500, "#1E1E1E", 0.01, "page background left of the panels");
            near(shot, 40 + 1100, 20, "#323232", 0.01, "hero panel");
            near(shot, 40 + 56 + 4, 40 + 22 + 100, "#009647", 0.03, "battery outline");
            near(shot, 40 + 56 + 54, 40 + 206 - 5, "#00C839", 0.03, "state-of-health fill");
            near(shot, 40 + 56 + 54, 40 + 206 - 159.6 - 4, "#323232", 0.03, "above the fill");
            // Header bands fade in from the left.
            near(shot, 40 + 570, 320 + 63, "#00C839", 0.06, "temperature band, right");
            near(shot, 640 + 570, 320 + 63, "#009647", 0.06, "cell band, right");
            const left = shot.pixel(40 + 10, 320 + 63);
            verify(left.g < 0.5 && left.g > 0.25, "temperature band, left: " + left);
            // Bars: the total in bright green, the cells in dark green; the scroll bar beside them.
            near(shot, 640 + 515, 320 + 100 + 20, "#00C839", 0.06, "total bar");
            near(shot, 640 + 515, 320 + 100 + 80, "#009647", 0.06, "cell bar");
            near(shot, 640 + 547, 320 + 100 + 150, "#282828", 0.02, "scroll-bar track");
            near(shot, 640 + 547, 320 + 100 + 20, "#464646", 0.02, "scroll-bar handle");
            near(shot, 40 + 1100, 620 + 140, "#282828", 0.01, "fault panel");
            near(shot, 40 + 600, 620 + 285, "#1E1E1E", 0.01, "below the fault panel");
        }

        function test_noFault_data() {
            return [{ tag: "en", english: true }, { tag: "zh", english: false }];
        }

        function test_noFault(data) {
            setEnglish(data.english);
            const page = createTemporaryObject(pageComponent, stage);
            feed(page);
            const shot = shoot(page, "health_" + data.tag);
            commonProbes(shot);
            // Shield: outer outline and bolt.
            near(shot, 40 + 26 + 4, 620 + 20 + 30, "#009647", 0.1, "shield outline");
            near(shot, 40 + 26 + 36, 620 + 20 + 45, "#00C839", 0.06, "shield bolt");
            verify(countNear(shot, 40 + 125, 40 + 700, 620 + 34, 620 + 80, "#00C839") > 50, "green title");
            compare(countNear(shot, 40 + 26, 40 + 1164, 620 + 10, 620 + 270, "#FF6700"), 0, "no orange");
        }

        function test_longestFault_data() {
            return [{ tag: "en", english: true }, { tag: "zh", english: false }];
        }

        function test_longestFault(data) {
            setEnglish(data.english);
            const page = createTemporaryObject(pageComponent, stage);
            feed(page);
            // The under-voltage fault has the longest description and product status.
            HidServiceApi.currentEvent(1, 3);
            const shot = shoot(page, "health_fault_" + data.tag);
            commonProbes(shot);
            // Triangle: its bottom edge and the exclamation bar.
            near(shot, 40 + 26 + 32, 620 + 20 + 54, "#FF6700", 0.06, "triangle edge");
            near(shot, 40 + 26 + 32, 620 + 20 + 28, "#FF6700", 0.06, "exclamation bar");
            verify(countNear(shot, 40 + 117, 40 + 700, 620 + 34, 620 + 80, "#FF6700") > 50, "orange title");
            marginIsEmpty(shot, 620 + 280 - 14, 620 + 280 - 2);
            // The last words of the product status are drawn: white text in the form's last row.
            const prod = H.named(page, "prodValue");
            const r = H.rectIn(prod, page);
            verify(countNear(shot, r.x, r.right, r.bottom - prod.font.pixelSize, r.bottom, "#FFFFFF") > 10,
                   "the product status's last line");
        }
    }
}
