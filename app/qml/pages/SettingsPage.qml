import QtQuick
import Tessaravolt

PageShell {
    id: page
    property int initialBrightness: 0
    property int initialScreenTimeout: 0
    property int brightness: page.initialBrightness
    property int timeoutSeconds: page.initialScreenTimeout

    Connections {
        target: HidServiceApi
        function onBrightness(value) { page.brightness = value }
        function onScreenTimeout(value) { page.timeoutSeconds = value }
    }

    Component.onCompleted: {
        HidServiceApi.requestStaticInfo()
        HidServiceApi.requestDeviceSettings()
        HidServiceApi.requestStaticCellInfo()
    }
}
