pragma Singleton
import QtQuick
import Tessaravolt

QtObject {
    readonly property bool isMacOs: Qt.platform.os === "osx"
    readonly property int nativeTitleBarHeight: isMacOs ? 28 : 0
    readonly property int designWidth: 1440
    readonly property int designHeight: 1080 - nativeTitleBarHeight

    readonly property color white: "#FFFFFF"
    readonly property color black: "#000000"
    readonly property color pageBackground: "#1E1E1E"
    readonly property color panel: "#323232"
    readonly property color panelDark: "#282828"
    readonly property color panelDarker: "#232323"
    readonly property color sidebar: "#464646"
    readonly property color greenDark: "#009647"
    readonly property color green: "#00C839"
    readonly property color mutedText: "#9A9A9A"
    readonly property color disabled: "#5B5B5B"
    readonly property color warning: "#FF6700"
    readonly property color tabSelected: "#434343"
    // The buttons that carry the page's main action, filled green.
    readonly property color actionButton: "#136038"
    readonly property color actionButtonBorder: "#055028"
    readonly property color resetButton: "#127D31"
    readonly property color resetButtonBorder: "#056922"
    readonly property color closeHover: "#3A2424"
    readonly property color closeHoverBorder: "#6F3A3A"

    // Inter stands in for the thin, regular and semibold roles; its Light face takes the thin
    // role because a request for weight 275 must not fall back to Regular.
    readonly property FontLoader suisseIntlThin: FontLoader { source: "../fonts/Inter-Light.otf" }
    readonly property FontLoader suisseIntlRegular: FontLoader { source: "../fonts/Inter-Regular.otf" }
    readonly property FontLoader suisseIntlSemiBold: FontLoader { source: "../fonts/Inter-SemiBold.otf" }

    readonly property int fontLarge: 35
    readonly property int fontMedium: 25
    readonly property int fontBody: 15

    readonly property int sidebarWidth: 100
    readonly property int pageMargin: 60
    readonly property int panelRadius: 16

    // The moving parts hold still while their window is minimised or hidden: nothing ticks for a
    // picture nobody sees.
    function windowAway(visibility) {
        return visibility === Window.Minimized || visibility === Window.Hidden
    }

    function defaultFileName(prefix) {
        return fileNameAt(prefix, new Date())
    }

    function fileNameAt(prefix, date) {
        return prefix + "_" + Qt.formatDateTime(date, "yyyy_MM_dd_HH_mm_ss")
    }

    function fontCompat(skipLangCheck, fontName) {
        return fontFamilyFor(skipLangCheck, I18n.isEn, Qt.platform.os, fontName)
    }

    // Pure form of fontCompat, so that the Windows rule can be checked on any platform.
    function fontFamilyFor(skipLangCheck, isEn, platformOs, fontName) {
        if (skipLangCheck || isEn || platformOs !== "windows")
            return fontName
        return "Microsoft YaHei"
    }
}
