import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Window
import Tessaravolt

ApplicationWindow {
    id: root

    readonly property int fixedWindowWidth: typeof initialWindowWidth !== "undefined" ? initialWindowWidth : Theme.designWidth
    readonly property int fixedWindowHeight: typeof initialWindowHeight !== "undefined" ? initialWindowHeight : Theme.designHeight
    readonly property bool appConnected: HidAutoConnect.connected
    property string appTitle: ""
    property int currentPage: 1
    property int cachedBrightness: 0
    property int cachedScreenTimeout: 0
    readonly property real designScale: Math.min(width / Theme.designWidth, height / Theme.designHeight)
    readonly property string realTitle: appConnected ? appTitle : "Be Ready for Today."

    // Page loaded for a connection state and a chosen page.
    function pageNameFor(connected, page) {
        if (!connected)
            return "startup"
        switch (page) {
        case 1: return "power"
        case 2: return "health"
        case 3: return "settings"
        default: return "diagnostics"
        }
    }

    function pageComponent(name) {
        switch (name) {
        case "startup": return startupPage
        case "power": return powerPage
        case "health": return healthPage
        case "settings": return settingsPage
        default: return diagnosticsPage
        }
    }

    function surfaceOffset(windowLength, designLength, scale) {
        return Math.round((windowLength - designLength * scale) / 2)
    }

    function mayStartMove(pressX, controlsX, windowVisibility) {
        return pressX < controlsX - 16
            && windowVisibility !== Window.FullScreen
            && windowVisibility !== Window.Maximized
    }

    function proposedLogFile(documentsFolder, baseName, versionUnder) {
        return documentsFolder + "/" + baseName + "_" + versionUnder
    }

    function requestDeviceHeader() {
        HidServiceApi.requestAppTitle()
        HidServiceApi.requestDeviceSettings()
    }

    function applyConnection(connected) {
        if (connected) {
            requestDeviceHeader()
        } else {
            cachedBrightness = 0
            cachedScreenTimeout = 0
        }
    }

    function countTitlePress() {
        titlePressArea.exportLogClickCount += 1
        if (titlePressArea.exportLogClickCount < 10)
            return
        titlePressArea.exportLogClickCount = 0
        const versionUnder = typeof APP_VERSION_UNDER !== "undefined" ? APP_VERSION_UNDER : ""
        logSaveDialog.currentFile = proposedLogFile(SaveLocation.proposedFolder().toString(),
                                                    Theme.defaultFileName("app_log"), versionUnder)
        logSaveDialog.open()
    }

    width: fixedWindowWidth
    height: fixedWindowHeight
    minimumWidth: fixedWindowWidth
    maximumWidth: fixedWindowWidth
    minimumHeight: fixedWindowHeight
    maximumHeight: fixedWindowHeight
    visible: true
    title: "Tessaravolt"
    color: Theme.pageBackground
    flags: Theme.isMacOs ? Qt.Window : (Qt.Window | Qt.FramelessWindowHint)

    Connections {
        target: HidAutoConnect
        // Read at the source: the appConnected binding may not have caught up yet.
        function onConnectedChanged() { root.applyConnection(HidAutoConnect.connected) }
    }

    Connections {
        target: HidServiceApi
        function onAppTitle(value) { root.appTitle = value }
        function onBrightness(value) { root.cachedBrightness = value }
        function onScreenTimeout(value) { root.cachedScreenTimeout = value }
    }

    Component.onCompleted: {
        if (appConnected)
            requestDeviceHeader()
    }

    Item {
        id: designSurface
        objectName: "designSurface"
        width: Theme.designWidth
        height: Theme.designHeight
        scale: root.designScale
        transformOrigin: Item.TopLeft
        x: root.surfaceOffset(root.width, Theme.designWidth, root.designScale)
        y: root.surfaceOffset(root.height, Theme.designHeight, root.designScale)

        MouseArea {
            id: dragRegion
            objectName: "dragRegion"
            x: 0
            y: 0
            width: parent.width
            height: 108
            acceptedButtons: Qt.LeftButton
            visible: !Theme.isMacOs
            enabled: !Theme.isMacOs
            onPressed: function(mouse) {
                if (root.mayStartMove(mouse.x, windowControls.x, root.visibility))
                    root.startSystemMove()
            }
        }

        WindowControls {
            id: windowControls
            objectName: "windowControls"
            anchors.right: parent.right
            anchors.rightMargin: 5
            anchors.top: parent.top
            anchors.topMargin: 10
            z: 100
            visible: !Theme.isMacOs
            onMinimizeRequested: root.showMinimized()
            onCloseRequested: root.close()
        }

        Sidebar {
            id: sidebar
            objectName: "sidebar"
            x: Theme.pageMargin
            y: 120 - Theme.nativeTitleBarHeight
            width: Theme.sidebarWidth
            height: parent.height - y
            visible: root.appConnected
            currentIndex: root.currentPage
            onNavigate: function(index) { root.currentPage = index }
        }

        Loader {
            id: pageLoader
            objectName: "pageLoader"
            x: root.appConnected ? Theme.sidebarWidth + 60 : 0
            y: 120 - Theme.nativeTitleBarHeight
            width: parent.width - x
            height: parent.height - y
            sourceComponent: root.pageComponent(root.pageNameFor(root.appConnected, root.currentPage))
        }

        Image {
            id: homeTitle
            objectName: "homeTitle"
            x: 60
            y: 52 - Theme.nativeTitleBarHeight
            width: 136
            height: 38
            source: "assets/home_title.svg"
        }

        AppText {
            id: headerText
            objectName: "headerText"
            anchors.right: parent.right
            anchors.rightMargin: root.appConnected ? 100 : 72
            y: 65.1 - Theme.nativeTitleBarHeight
            // A long device title is elided within the band between the title image and the
            // window controls, instead of running across the window.
            width: Math.min(implicitWidth, parent.width - anchors.rightMargin - (homeTitle.x + homeTitle.width + 40))
            elide: Text.ElideRight
            maximumLineCount: 1
            text: root.realTitle
            color: Theme.white
            font.pixelSize: Theme.fontMedium
            font.weight: root.appConnected ? 275 : 400
            skipLangCheck: true
            visible: root.realTitle !== ""
        }

        FileDialog {
            id: logSaveDialog
            objectName: "logSaveDialog"
            title: qsTrId("export_log_u")
            fileMode: FileDialog.SaveFile
            nameFilters: ["Log files (*.log *.txt)", "All files (*)"]
            // The program asks before replacing a file; a platform dialog (GTK's) must not ask a second
            // time. Qt 6.4's type description of the dialog lacks its options, hence the lint directive.
            options: FileDialog.DontConfirmOverwrite // qmllint disable type property
            acceptLabel: qsTrId("save_u")
            onAccepted: saveChosenLog(String(selectedFile))

            function exportLog(path) {
                const saved = PdfExporter.exportLog(path)
                if (!saved)
                    logSaveFailed.show(PdfExporter.lastError)
                return saved
            }

            function saveChosenLog(path) {
                if (SaveLocation.exists(path))
                    logReplaceConfirm.ask(path)
                else
                    exportLog(path)
            }
        }

        ReplaceFileConfirm {
            id: logReplaceConfirm
            objectName: "logReplaceConfirm"
            onReplaceConfirmed: function(path) { logSaveDialog.exportLog(path) }
        }

        SaveFailedMessage {
            id: logSaveFailed
            objectName: "logSaveFailed"
        }

        MouseArea {
            id: titlePressArea
            objectName: "titlePressArea"
            property int exportLogClickCount: 0
            x: homeTitle.x
            y: homeTitle.y
            width: homeTitle.width
            height: homeTitle.height
            enabled: root.currentPage === 4
            onPressed: root.countTitlePress()
        }
    }

    Component {
        id: startupPage
        StartupPage {}
    }
    Component {
        id: powerPage
        PowerPage {}
    }
    Component {
        id: healthPage
        HealthPage {}
    }
    Component {
        id: settingsPage
        SettingsPage {
            initialBrightness: root.cachedBrightness
            initialScreenTimeout: root.cachedScreenTimeout
        }
    }
    Component {
        id: diagnosticsPage
        DiagnosticsPage {}
    }
}
