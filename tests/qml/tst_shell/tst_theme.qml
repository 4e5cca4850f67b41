import QtQuick
import QtTest
import Tessaravolt

Item {
    id: scene
    width: 520
    height: 620

    Component {
        id: sampleComponent
        Rectangle {
            property alias text: sample
            width: 520
            height: 70
            color: "black"
            AppText {
                id: sample
                x: 10
                y: 5
                text: "Ready for Today."
                font.pixelSize: 48
                skipLangCheck: true
            }
        }
    }

    Component {
        id: pageShellComponent
        PageShell { width: 100; height: 50 }
    }

    Component {
        id: sidebarComponent
        Sidebar { height: 600; connected: false }
    }

    Component {
        id: bodyTextComponent
        Rectangle {
            property alias text: body
            width: 200
            height: 40
            color: "black"
            AppText { id: body; x: 5; text: "Ready"; skipLangCheck: true }
        }
    }

    TestCase {
        id: testCase
        name: "Theme"
        when: windowShown

        // Sum of the brightness of every pixel: how much ink the text puts down.
        function ink(item) {
            const image = grabImage(item)
            let sum = 0
            for (let y = 0; y < image.height; ++y)
                for (let x = 0; x < image.width; ++x)
                    sum += image.red(x, y)
            return sum
        }

        function near(pixel, expected, tolerance, what) {
            const e = Qt.color(expected)
            verify(Math.abs(pixel.r - e.r) <= tolerance && Math.abs(pixel.g - e.g) <= tolerance
                   && Math.abs(pixel.b - e.b) <= tolerance, what + ": " + pixel + ", expected " + expected)
        }

        // On Linux the frameless window needs no room for a native title bar.
        function test_platform() {
            compare(Theme.isMacOs, false)
            compare(Theme.nativeTitleBarHeight, 0)
        }

        // The theme as it reaches the screen through the shell's own pieces.
        function test_coloursOnScreen() {
            const page = grabImage(createTemporaryObject(pageShellComponent, scene))
            near(page.pixel(50, 25), "#1e1e1e", 0.01, "page background")

            // The sidebar: its width, its panel ending one page margin above the bottom with
            // rounded corners, and the page background around it.
            const sidebar = createTemporaryObject(sidebarComponent, scene)
            compare(sidebar.width, 100)
            const shot = grabImage(sidebar)
            near(shot.pixel(8, 300), "#282828", 0.01, "the panel's left edge")
            near(shot.pixel(92, 300), "#323232", 0.01, "the panel's right edge")
            near(shot.pixel(50, 570), "#1e1e1e", 0.01, "page background below the panel")
            near(shot.pixel(1, 539), "#1e1e1e", 0.01, "rounded bottom-left corner")
            near(shot.pixel(8, 530), "#282828", 0.01, "the panel inside the corner")

            // Body text: white, at the body size.
            const body = createTemporaryObject(bodyTextComponent, scene)
            compare(body.text.fontInfo.pixelSize, 15)
            const text = grabImage(body)
            let brightest = 0
            for (let y = 0; y < text.height; ++y)
                for (let x = 0; x < text.width; ++x)
                    brightest = Math.max(brightest, Math.min(text.red(x, y), text.green(x, y), text.blue(x, y)))
            verify(brightest >= 250, "white ink: " + brightest)
        }

        function test_fontsLoad() {
            for (const loader of [Theme.suisseIntlThin, Theme.suisseIntlRegular, Theme.suisseIntlSemiBold]) {
                tryCompare(loader, "status", FontLoader.Ready)
                verify(loader.name.length > 0)
            }
            // One family, faces chosen by weight.
            compare(Theme.suisseIntlThin.name, Theme.suisseIntlRegular.name)
            compare(Theme.suisseIntlSemiBold.name, Theme.suisseIntlRegular.name)
        }

        // Weight 275 is asked for by family name alone (the header text asks the regular loader's
        // family); the family must hold a face light enough to answer it.
        function test_thinRoleRendersThin() {
            const thin = createTemporaryObject(sampleComponent, scene, { y: 0 })
            thin.text.font.weight = 275
            const regular = createTemporaryObject(sampleComponent, scene, { y: 70 })
            const semiBold = createTemporaryObject(sampleComponent, scene, { y: 140 })
            semiBold.text.font.family = Theme.suisseIntlSemiBold.name
            semiBold.text.font.weight = 600
            compare(thin.text.fontInfo.styleName, "Light")
            compare(regular.text.fontInfo.styleName, "Regular")
            compare(semiBold.text.fontInfo.styleName, "Semi Bold")
            const inks = [ink(thin), ink(regular), ink(semiBold)]
            verify(inks[0] < inks[1] * 0.92 && inks[1] < inks[2] * 0.92, "ink by weight: " + inks)
        }

        function test_fontFamilyFor_data() {
            return [
                { tag: "skip, Chinese, Windows", skip: true, isEn: false, os: "windows", result: "F" },
                { tag: "English, Windows", skip: false, isEn: true, os: "windows", result: "F" },
                { tag: "Chinese, Windows", skip: false, isEn: false, os: "windows", result: "Microsoft YaHei" },
                { tag: "Chinese, Linux", skip: false, isEn: false, os: "linux", result: "F" },
                { tag: "Chinese, macOS", skip: false, isEn: false, os: "osx", result: "F" },
                { tag: "skip, English, Linux", skip: true, isEn: true, os: "linux", result: "F" }
            ]
        }

        function test_fontFamilyFor(data) {
            compare(Theme.fontFamilyFor(data.skip, data.isEn, data.os, "F"), data.result)
        }

        function test_fontCompatOffWindowsKeepsTheFamilyInBothLanguages() {
            for (let round = 0; round < 2; ++round) {
                compare(Theme.fontCompat(false, "F"), "F")
                compare(Theme.fontCompat(true, "F"), "F")
                I18n.toggleLanguage()
            }
        }

        function test_fileNames() {
            compare(Theme.fileNameAt("app_log", new Date(2016, 0, 1, 9, 5, 7)), "app_log_2016_01_01_09_05_07")
            compare(Theme.fileNameAt("diagnostic_report", new Date(2025, 11, 31, 23, 59, 58)),
                    "diagnostic_report_2025_12_31_23_59_58")
            verify(/^app_log_\d{4}_\d\d_\d\d_\d\d_\d\d_\d\d$/.test(Theme.defaultFileName("app_log")))
        }
    }
}
