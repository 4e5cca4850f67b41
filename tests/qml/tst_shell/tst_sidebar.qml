import QtQuick
import QtTest
import Tessaravolt

Item {
    id: scene
    width: 1440
    height: 1080

    Component {
        id: sidebarComponent
        Sidebar { x: 60; y: 0; height: 960; connected: false }
    }

    Component {
        id: startupComponent
        StartupPage { x: 200; width: 1240; height: 960 }
    }

    SignalSpy { id: navigateSpy; signalName: "navigate" }
    SignalSpy { id: pollSpy; signalName: "triggered" }

    TestCase {
        id: testCase
        name: "Sidebar"
        when: windowShown

        function makeSidebar() {
            const sidebar = createTemporaryObject(sidebarComponent, scene)
            navigateSpy.clear()
            navigateSpy.target = sidebar
            return sidebar
        }

        function setEnglish(english) {
            if (I18n.isEn !== english)
                I18n.toggleLanguage()
            compare(I18n.isEn, english)
        }

        function imageOf(sidebar, index) {
            return String(findChild(sidebar, "tabImage" + index).source).replace(/.*\//, "")
        }

        function test_tabImage_data() {
            const health = { index: 2, icon: "n", iconSel: "s", iconDot: "d", iconDotSel: "ds" }
            const power = { index: 1, icon: "n", iconSel: "s" }
            return [
                { tag: "other tab selected, warning", entry: power, selected: true, warn: true, image: "s" },
                { tag: "other tab, warning", entry: power, selected: false, warn: true, image: "n" },
                { tag: "health selected", entry: health, selected: true, warn: false, image: "s" },
                { tag: "health", entry: health, selected: false, warn: false, image: "n" },
                { tag: "health selected, warning", entry: health, selected: true, warn: true, image: "ds" },
                { tag: "health, warning", entry: health, selected: false, warn: true, image: "d" }
            ]
        }

        function test_tabImage(data) {
            const sidebar = makeSidebar()
            compare(sidebar.tabImage(data.entry, data.selected, data.warn), data.image)
        }

        function test_warningDot_data() {
            return [
                { tag: "type 0", type: 0, warn: false },
                { tag: "type 1", type: 1, warn: true },
                { tag: "type 2", type: 2, warn: false },
                { tag: "type 3", type: 3, warn: false }
            ]
        }

        function test_warningDot(data) {
            const sidebar = makeSidebar()
            // Start from the opposite state, so that every row proves a change.
            HidServiceApi.currentEvent(data.warn ? 0 : 1, 7)
            compare(sidebar.warnEvent, !data.warn)
            HidServiceApi.currentEvent(data.type, 200)
            compare(sidebar.warnEvent, data.warn)
            sidebar.currentIndex = 2
            compare(imageOf(sidebar, 2), data.warn ? "tab_health_select_dot.svg" : "tab_health_select.svg")
            sidebar.currentIndex = 1
            compare(imageOf(sidebar, 2), data.warn ? "tab_health_dot.svg" : "tab_health.svg")
            compare(imageOf(sidebar, 1), "tab_power_select.svg")
        }

        function test_selectionAndNavigation() {
            const sidebar = makeSidebar()
            for (let i = 1; i <= 4; ++i)
                compare(String(findChild(sidebar, "tab" + i).color), i === 1 ? "#434343" : "#00000000")
            mouseClick(sidebar, 50, 150)
            compare(navigateSpy.count, 1)
            compare(navigateSpy.signalArguments[0][0], 2)
            // The sidebar leaves the selection to its owner.
            compare(sidebar.currentIndex, 1)
            mouseClick(sidebar, 50, 50)
            compare(navigateSpy.signalArguments[1][0], 1)
            mouseClick(sidebar, 50, 350)
            compare(navigateSpy.signalArguments[2][0], 4)
            sidebar.currentIndex = 7
            for (let i = 1; i <= 4; ++i)
                compare(String(findChild(sidebar, "tab" + i).color), "#00000000")
            compare(imageOf(sidebar, 3), "tab_settings.svg")
        }

        function test_look() {
            setEnglish(true)
            const sidebar = makeSidebar()
            sidebar.currentIndex = 3
            waitForRendering(sidebar)
            const image = grabImage(sidebar)
            const close = (c, r, g, b) => Math.abs(c.r * 255 - r) <= 3 && Math.abs(c.g * 255 - g) <= 3 && Math.abs(c.b * 255 - b) <= 3
            verify(close(image.pixel(1, 450), 0x28, 0x28, 0x28), "left edge of the body " + image.pixel(1, 450))
            verify(close(image.pixel(98, 450), 0x32, 0x32, 0x32), "right edge of the body " + image.pixel(98, 450))
            verify(close(image.pixel(50, 450), 0x2d, 0x2d, 0x2d), "middle of the body " + image.pixel(50, 450))
            verify(close(image.pixel(50, 930), 0x1e, 0x1e, 0x1e), "below the body " + image.pixel(50, 930))
            verify(close(image.pixel(10, 250), 0x43, 0x43, 0x43), "selected tab " + image.pixel(10, 250))
            const english = findChild(sidebar, "englishLabel")
            const chinese = findChild(sidebar, "chineseLabel")
            compare(english.y + english.parent.y + chinese.height + english.height + 4 + 3 + 4, 900 - 20)
            compare([english.font.pixelSize, chinese.font.pixelSize, english.font.weight], [20, 20, Font.Normal])
        }

        function test_languageSwitch() {
            setEnglish(true)
            const sidebar = makeSidebar()
            const page = createTemporaryObject(startupComponent, scene)
            const prompt = findChild(page, "prompt")
            const english = findChild(sidebar, "englishLabel")
            const chinese = findChild(sidebar, "chineseLabel")
            compare(prompt.text, "Please connect device via USB-C.")
            compare([String(english.color), String(chinese.color)], ["#ffffff", "#000000"])
            mouseClick(english)
            compare(I18n.isEn, true)
            mouseClick(chinese)
            compare(I18n.isEn, false)
            compare(prompt.text, "请将设备通过USB-C插入进行连接")
            compare([String(english.color), String(chinese.color)], ["#000000", "#ffffff"])
            // Quick clicks on the same label switch once.
            mouseClick(chinese)
            compare(I18n.isEn, false)
            mouseClick(english)
            mouseClick(english)
            compare(I18n.isEn, true)
            compare(prompt.text, "Please connect device via USB-C.")
        }

        function test_pollRunsWhileConnected() {
            const sidebar = makeSidebar()
            const timer = findChild(sidebar, "currentEventTimer")
            compare([timer.interval, timer.repeat, timer.triggeredOnStart], [1000, true, false])
            pollSpy.clear()
            pollSpy.target = timer
            compare(timer.running, false)
            sidebar.connected = true
            compare(timer.running, true)
            // The first request one interval after the connection, not at once.
            compare(pollSpy.count, 0)
            tryCompare(pollSpy, "count", 1, 1500)
            sidebar.connected = false
            compare(timer.running, false)
            // Hidden or not, the poll follows the connection only.
            sidebar.visible = false
            compare(timer.running, false)
            sidebar.connected = true
            compare(timer.running, true)
            compare(pollSpy.count, 1)
        }
    }
}
