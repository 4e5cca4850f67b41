import QtQuick
import Tessaravolt

// State of health, cycles, pack temperature, cell voltages and the current event. The current
// event is asked for by the sidebar; its answers reach this page as well.
PageShell {
    id: root

    property int soh: 0
    property int cycles: 0
    property int temperatureF: 0
    property int temperatureC: 0
    property int maxIndex: 0
    property var currentEventRaw: ({ type: 0, info: 0 })
    readonly property var currentEventText: I18n.resolveCurrentEvent(root.currentEventRaw.type,
                                                                     root.currentEventRaw.info, I18n.language)
    readonly property string currentTitle: root.currentEventText[0]
    readonly property string currentDesc: root.currentEventText[1]
    readonly property string currentWarning: root.currentEventText[2]
    readonly property string currentProduct: root.currentEventText[3]

    // Stores the voltage of cell row + 1 (volts) and the total of all five cells, shown or not.
    function updateCellVoltage(row, value) {
        if (row < 0 || row > 4)
            return
        cellVoltageModel.setProperty(row + 1, "voltage", value)
        let total = 0
        for (let i = 1; i <= 5; ++i)
            total += cellVoltageModel.get(i).voltage
        cellVoltageModel.setProperty(0, "voltage", total)
    }

    HealthHeroPanel {
        id: heroPanel
        objectName: "heroPanel"
        x: 40
        y: 0
        width: parent.width - x - Theme.pageMargin
        height: 300
        soh: root.soh
        cycles: root.cycles
    }

    TemperaturePanel {
        id: tempPanel
        objectName: "tempPanel"
        anchors.left: heroPanel.left
        anchors.top: heroPanel.bottom
        anchors.topMargin: 20
        width: (heroPanel.width - 20) / 2
        height: 280
        temperatureF: root.temperatureF
        temperatureC: root.temperatureC
    }

    CellVoltagePanel {
        id: cellPanel
        objectName: "cellPanel"
        anchors.left: tempPanel.right
        anchors.leftMargin: 20
        anchors.top: tempPanel.top
        width: (heroPanel.width - 20) / 2
        height: 280
        model: cellVoltageModel
        maxIndex: root.maxIndex
    }

    FaultPanel {
        objectName: "faultPanel"
        anchors.left: heroPanel.left
        anchors.top: tempPanel.bottom
        anchors.topMargin: 20
        anchors.bottom: parent.bottom
        anchors.bottomMargin: Theme.pageMargin
        width: heroPanel.width
        warning: root.currentEventRaw.type !== 0
        title: root.currentTitle
        description: root.currentDesc
        warningStatus: root.currentWarning
        productStatus: root.currentProduct
    }

    ListModel {
        id: cellVoltageModel
        objectName: "cellVoltageModel"

        ListElement { cellIndex: 0; voltage: 0 }
        ListElement { cellIndex: 1; voltage: 0 }
        ListElement { cellIndex: 2; voltage: 0 }
        ListElement { cellIndex: 3; voltage: 0 }
        ListElement { cellIndex: 4; voltage: 0 }
        ListElement { cellIndex: 5; voltage: 0 }
    }

    Connections {
        target: HidServiceApi

        function onSoh(percent) {
            root.soh = percent
        }

        function onCycleCount(count) {
            root.cycles = count
        }

        function onCellDetailInfo(index, voltageMv, currentMa, tempC) {
            if (index === 0) {
                // Fahrenheit from the unrounded Celsius value.
                root.temperatureC = Math.round(tempC / 10)
                root.temperatureF = Math.round(tempC / 10 * 9 / 5 + 32)
            } else if (index >= 1 && index <= 5) {
                root.updateCellVoltage(index - 1, voltageMv / 1000)
            }
        }

        function onCurrentEvent(type, info) {
            root.currentEventRaw = { type: type, info: info }
        }

        function onBatteryInfo(cellCount, capacityMah, voltageMv, powerW, cycleRated, fullVoltageMv) {
            root.maxIndex = Math.max(root.maxIndex, cellCount > 0 ? cellCount + 1 : 0)
        }
    }

    Timer {
        interval: 2 * 60 * 1000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: HidServiceApi.requestCellRealtimeStatus()
    }

    Timer {
        interval: 1000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: HidServiceApi.requestCellDetailInfo()
    }

    Component.onCompleted: HidServiceApi.requestStaticCellInfo()
}
