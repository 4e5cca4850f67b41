import QtQuick
import QtTest
import Tessaravolt

TestCase {
    name: "Theme"

    function test_members() {
        compare(Theme.isMacOs, false)
        compare(Theme.nativeTitleBarHeight, 0)
        compare(Theme.designWidth, 1440)
        compare(Theme.designHeight, 1080)
        const colours = { white: "#ffffff", black: "#000000", pageBackground: "#1e1e1e", panel: "#323232",
                          panelDark: "#282828", panelDarker: "#232323", sidebar: "#464646",
                          greenDark: "#009647", green: "#00c839", mutedText: "#9a9a9a", disabled: "#5b5b5b" }
        for (const key in colours)
            compare(String(Theme[key]), colours[key], key)
        compare([Theme.fontLarge, Theme.fontMedium, Theme.fontBody], [35, 25, 15])
        compare([Theme.sidebarWidth, Theme.pageMargin, Theme.panelRadius], [100, 60, 16])
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
