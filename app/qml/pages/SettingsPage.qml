import QtQuick
import Tessaravolt
import "settings/settingsData.js" as SettingsData

PageShell {
    id: page

    property int initialBrightness: 0
    property int initialScreenTimeout: 0
    property int brightness: page.initialBrightness
    property int timeoutSeconds: page.initialScreenTimeout
    readonly property bool isDisplayVisible: page.brightness !== 0 && page.timeoutSeconds !== 0

    property string brand: ""
    property string model: ""
    property string productSn: ""
    property string softwareVersion: ""
    property string productionDate: ""
    property string batteryManufacturer: ""
    property string batteryManufacturerCn: ""
    property string batteryType: ""
    property string batteryModel: ""
    // Unsigned 32-bit on the wire: an int would turn the largest values negative.
    property double capacity: 0
    // The battery's energy in watt-hours, not a power: the QML contract name, kept as it is.
    property double limitPower: 0
    property double protocol: 0
    property var cellInfo: ({})
    property var sortedCellInfoIndex: []

    function storeCell(index, sn, activateTs) {
        page.cellInfo[String(index)] = [sn, activateTs]
        // The object changed in place; readers follow the key list, which is replaced every time.
        page.sortedCellInfoIndex = []
        page.sortedCellInfoIndex = SettingsData.sortedKeys(page.cellInfo)
    }

    Connections {
        target: HidServiceApi

        function onBrand(text) { page.brand = text }
        function onModel(text) { page.model = text }
        function onProductSn(text) { page.productSn = text }
        function onSoftwareVersion(text) { page.softwareVersion = text }
        function onProductionDate(text) { page.productionDate = text }
        function onBatteryManufacturer(text) { page.batteryManufacturer = text }
        function onBatteryManufacturerCn(text) { page.batteryManufacturerCn = text }
        function onBatteryType(text) { page.batteryType = text }
        function onBatteryModel(text) { page.batteryModel = text }

        function onBatteryInfo(cellCount, capacityMah, voltageMv, powerW, cycleRated, fullVoltageMv) {
            page.capacity = capacityMah
            page.limitPower = SettingsData.batteryEnergy(voltageMv, capacityMah)
        }

        function onSupportProtocol(protocol) { page.protocol = protocol }
        function onBrightness(value) { page.brightness = value }
        function onScreenTimeout(value) { page.timeoutSeconds = value }
        function onCellItemInfo(index, sn, activateTs) { page.storeCell(index, sn, activateTs) }

        function onBrightnessResult(support, success) {
            console.debug("onBrightnessResult:" + support + "," + success)
        }

        function onScreenTimeoutResult(support, success) {
            console.debug("onScreenTimeoutResult:" + support + "," + success)
        }
    }

    Component.onCompleted: {
        HidServiceApi.requestStaticInfo()
        HidServiceApi.requestDeviceSettings()
        HidServiceApi.requestStaticCellInfo()
    }

    DisplayPanel {
        id: displayPanel
        objectName: "displayPanel"
        brightness: page.brightness
        timeoutSeconds: page.timeoutSeconds
        x: 40
        y: 0
        width: page.width - x - Theme.pageMargin
        height: page.isDisplayVisible ? 300 : 0
        visible: page.isDisplayVisible
        onBrightnessChosen: function(percent) { page.brightness = percent }
        onTimeoutChosen: function(seconds) { page.timeoutSeconds = seconds }
    }

    DetailsPanel {
        id: detailsPanel
        objectName: "detailsPanel"
        brand: page.brand
        model: page.model
        productSn: page.productSn
        softwareVersion: page.softwareVersion
        productionDate: page.productionDate
        batteryManufacturer: page.batteryManufacturer
        batteryManufacturerCn: page.batteryManufacturerCn
        batteryType: page.batteryType
        batteryModel: page.batteryModel
        capacity: page.capacity
        limitPower: page.limitPower
        protocol: page.protocol
        cellInfo: page.cellInfo
        sortedCellInfoIndex: page.sortedCellInfoIndex
        x: displayPanel.x
        y: displayPanel.y + displayPanel.height + (page.isDisplayVisible ? 20 : 0)
        width: displayPanel.width
        height: page.height - (page.isDisplayVisible ? Theme.pageMargin : 300) - y
    }
}
