import QtQuick
import QtTest
import Tessaravolt
import "../../support/items.js" as Items

// The diagnostics page fed through the service's own signals, as the device's answers arrive.
Item {
    id: stage
    width: 1280
    height: 960

    Component {
        id: pageComponent
        DiagnosticsPage {
            width: 1280
            height: 960
        }
    }

    TestCase {
        id: testCase
        name: "DiagnosticsPage"
        when: windowShown

        function find(root, name) {
            return Items.walk(root, []).find(i => i.objectName === name) || null
        }

        function dataObject(page, name) {
            for (let i = 0; i < page.data.length; ++i)
                if (page.data[i].objectName === name)
                    return page.data[i]
            return null
        }

        function textItem(root, text) {
            return Items.walk(root, []).find(i => i.skipLangCheck !== undefined && i.text === text) || null
        }

        // The six values in reading order, once the columns built anew are laid out.
        function stripTexts(page) {
            waitForRendering(page)
            const strip = find(page, "logStatistic")
            return Items.walk(strip, []).filter(i => i.skipLangCheck === true && i.visible)
                .sort((a, b) => a.mapToItem(strip, 0, 0).x - b.mapToItem(strip, 0, 0).x
                               || a.mapToItem(strip, 0, 0).y - b.mapToItem(strip, 0, 0).y)
                .map(i => i.text)
        }

        function rectIn(item, page) {
            const p = item.mapToItem(page, 0, 0)
            return [Math.round(p.x), Math.round(p.y), Math.round(item.width), Math.round(item.height)]
        }

        function setEnglish(english) {
            if (I18n.isEn !== english)
                I18n.toggleLanguage()
        }

        function init() {
            setEnglish(true)
            openedUrls.take()
        }

        function cleanupTestCase() {
            setEnglish(true)
        }

        // Columns left to right, each min then max: min/max temperature, min/max voltage,
        // max charge/discharge current.
        function test_strip_formatting_data() {
            return [
                { tag: "before statistics", stats: null,
                  shown: ["0 °C", "0 °C", "0 V", "0 V", "0 A", "0 A"] },
                { tag: "254 and 255 tenths", stats: [254, 255, 12000, 16800, 2500, 1000],
                  shown: ["25 °C", "26 °C", "12 V", "17 V", "3 A", "1 A"] },
                { tag: "below zero", stats: [-55, -4, 3499, 3500, 0, 65535],
                  shown: ["-6 °C", "-0 °C", "3 V", "4 V", "0 A", "66 A"] },
                { tag: "extremes", stats: [-32768, 32767, 0, 65535, 499, 500],
                  shown: ["-3277 °C", "3277 °C", "0 V", "66 V", "0 A", "1 A"] }
            ]
        }

        function test_strip_formatting(data) {
            const page = createTemporaryObject(pageComponent, stage)
            verify(page)
            if (data.stats) {
                const s = data.stats
                // abnormalNo, activityNo, abnormalCount, activityCount, maxTemp, minTemp,
                // maxVoltage, minVoltage, maxCharge, maxDischarge
                HidServiceApi.staticsEvent(1, 2, 3, 4, s[1], s[0], s[3], s[2], s[4], s[5])
            }
            compare(stripTexts(page), data.shown)
            compare([page.minTemp, page.maxTemp, page.minVol, page.maxVol, page.maxCharge, page.maxDischarge],
                    data.shown)
        }

        // The page's frames and sizes as given for the shell's page area: the two panels, the
        // statistics strip and its three columns, the tabs, the table with six rows and part of a
        // seventh, and the report button in the band; the strip's labels stay clear of their values.
        function test_layout() {
            const page = createTemporaryObject(pageComponent, stage)
            waitForRendering(page)
            compare(rectIn(find(page, "supportPanel"), page), [40, 0, 1180, 300])
            compare(rectIn(find(page, "logPanel"), page), [40, 320, 1180, 580])
            const panel = find(page, "logPanel")
            compare(rectIn(find(page, "logStatistic"), panel), [24, 90, 1132, 70])
            compare(rectIn(find(page, "diagnosticTab"), panel), [24, 178, 1132, 45])
            compare(rectIn(find(page, "activityTab"), panel), [24, 178, 195, 45])
            compare(rectIn(find(page, "abnormalTab"), panel), [219, 178, 195, 45])
            compare(rectIn(find(page, "diagnosticTable"), panel), [24, 223, 1132, 331])
            compare(find(page, "logListView").height, 262)
            // The report button is as wide as its row and stands 10 from the band's right edge.
            const button = find(page, "generateReportButton")
            const row = find(page, "generateReport")
            compare(button.width, row.width)
            compare(Math.round(button.mapToItem(panel, button.width, 0).x), 1170)
            compare(button.height, 52)
            // The column list: 420, 320 and 280 wide, edge to edge from the row's left.
            const strip = find(page, "logStatistic")
            const grids = Items.walk(strip, []).filter(i => i.columns === 2 && i.rowSpacing === 4)
                .sort((a, b) => a.x - b.x)
            compare(grids.map(g => [Math.round(g.x), g.width]), [[0, 420], [420, 320], [740, 280]])
            // Values of one column start at one x; labels and values do not overlap.
            for (const g of grids) {
                const kids = []
                for (let k = 0; k < g.children.length; ++k)
                    if (g.children[k].text !== undefined)
                        kids.push(g.children[k])
                compare(kids.length, 4)
                compare(kids[1].x, kids[3].x)
                verify(kids[0].y + kids[0].height <= kids[2].y, "rows stacked without overlap")
                verify(kids[0].x + kids[0].implicitWidth <= kids[1].x, "label left of value")
            }
        }

        function test_initial_selector_and_tabs() {
            const page = createTemporaryObject(pageComponent, stage)
            compare(page.logEvent.isActivity, true)
            compare(page.logEvent.no, -1)
            compare(page.logEvent.count, 0)
            compare(find(page, "activityTab").opacity, 1)
            compare(find(page, "abnormalTab").opacity, 0.7)
            // The first statistics replace the selector even for an empty log numbered 0.
            const first = page.logEvent
            HidServiceApi.staticsEvent(5, 0, 7, 0, 0, 0, 0, 0, 0, 0)
            verify(page.logEvent !== first)
            compare([page.logEvent.isActivity, page.logEvent.no, page.logEvent.count], [true, 0, 0])
            // The other log's numbers alone leave the selector as it is.
            const second = page.logEvent
            HidServiceApi.staticsEvent(6, 0, 9, 0, 0, 0, 0, 0, 0, 0)
            verify(page.logEvent === second)
            mouseClick(find(page, "abnormalTab"))
            compare([page.logEvent.isActivity, page.logEvent.no, page.logEvent.count], [false, 6, 9])
            compare(find(page, "activityTab").opacity, 0.7)
            compare(find(page, "abnormalTab").opacity, 1)
            // A second click on the selected tab still assigns a new selector.
            const third = page.logEvent
            mouseClick(find(page, "abnormalTab"))
            verify(page.logEvent !== third)
            mouseClick(find(page, "activityTab"))
            compare([page.logEvent.isActivity, page.logEvent.no, page.logEvent.count], [true, 0, 0])
        }

        // Label, arrow and border all open the link; beside the button nothing happens.
        function test_support_links() {
            const page = createTemporaryObject(pageComponent, stage)
            waitForRendering(page)
            const register = find(page, "supportLink0")
            const support = find(page, "supportLink1")
            mouseClick(register, 30, 25)
            mouseClick(register, register.width - 40, 25)
            mouseClick(register, 2, 2)
            mouseClick(support, support.width / 2, 25)
            mouseClick(support, support.width + 30, 25)
            compare(openedUrls.take(), [
                "https://www.tavrin.com/product-registration/",
                "https://www.tavrin.com/product-registration/",
                "https://www.tavrin.com/product-registration/",
                "https://www.tavrin.com/support-center/"
            ])
            setEnglish(false)
            waitForRendering(page)
            mouseClick(find(page, "supportLink1"), 30, 25)
            mouseClick(find(page, "supportLink0"), 30, 25)
            compare(openedUrls.take(), ["https://www.tavrin.com/support-center/",
                                        "https://www.tavrin.com/product-registration/"])
        }

        function test_language_switch() {
            const page = createTemporaryObject(pageComponent, stage)
            HidServiceApi.staticsEvent(1, 2, 3, 4, 452, -53, 16750, 12010, 6500, 9800)
            const english = ["Product Support", "Register your product", "Tavrin support", "Diagnostic Log",
                             "Generate Report", "Min Temperature", "Max Discharge Current", "Activity Logs",
                             "Abnormal Logs", "Date", "Time", "Event", "Value"]
            const chinese = ["帮助与支持", "注册你的产品", "塔夫林支持服务", "诊断日志", "生成报告", "最低温度",
                             "最大放电电流", "运行日志", "异常日志", "日期", "时间", "事件", "数值"]
            for (const t of english)
                verify(textItem(page, t), t)
            const values = stripTexts(page)
            const buttonLabel = textItem(page, "Generate Report")
            const supportWidth = find(page, "supportLink0").width
            compare(buttonLabel.anchors.verticalCenterOffset, 0)
            setEnglish(false)
            for (const t of chinese)
                verify(textItem(page, t), t)
            verify(!textItem(page, "Product Support"))
            compare(stripTexts(page), values)
            compare(textItem(page, "生成报告").anchors.verticalCenterOffset, 2)
            verify(find(page, "supportLink0").width !== supportWidth, "button follows its label")
            compare(dataObject(page, "pdfSaveDialog").title, "导出诊断报告")
        }

        function test_screenshots() {
            const page = createTemporaryObject(pageComponent, stage)
            HidServiceApi.staticsEvent(1, 2, 3, 4, 452, -53, 16750, 12010, 6500, 9800)
            for (const english of [true, false]) {
                setEnglish(english)
                waitForRendering(page)
                const image = grabImage(page)
                image.save(diagnosticsScreenshotDir + (english ? "/page-en.png" : "/page-zh.png"))
            }
        }
    }
}
