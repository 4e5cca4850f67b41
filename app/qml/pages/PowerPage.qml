import QtQuick
import QtQuick.Controls
import Tessaravolt
import "power/powerData.js" as PowerData

PageShell {
    id: root

    property int soc: 0
    property double outputW: 0
    property double outputWMax: 0
    property double inputW: 0
    property double inputWMax: 0
    property bool hasInput: false
    property bool hasOutput: false
    property var inoutPorts: ({})
    property var sortedIndexList: []
    property int portCount: 0

    readonly property string flowState: PowerData.flowState(root.hasInput, root.hasOutput)
    readonly property int cardCount: root.sortedIndexList.length
    // The polls go on while the window is away; the moving parts hold still.
    readonly property bool onHold: Theme.windowAway(Window.visibility)

    function requestPortInfo() {
        const requests = PowerData.portRequests(root.portCount)
        for (let i = 0; i < requests.length; ++i)
            HidServiceApi.requestInputOutputInfo(requests[i][0], requests[i][1])
    }

    function storePort(index, status, type, voltageMv, currentMa, protocol, powerW) {
        const record = PowerData.makePort(index, status, type, voltageMv, currentMa, powerW,
                                          () => I18n.resolvePortProtocol(protocol, I18n.language))
        if (record === null)
            return
        root.inoutPorts[index] = record
        const derived = PowerData.derive(root.inoutPorts)
        root.outputW = derived.outputW
        root.inputW = derived.inputW
        root.outputWMax = derived.outputWMax
        root.inputWMax = derived.inputWMax
        root.hasInput = derived.hasInput
        root.hasOutput = derived.hasOutput
        root.sortedIndexList = derived.sortedIndexList
    }

    Component.onCompleted: HidServiceApi.requestPortCount()

    Connections {
        target: HidServiceApi

        function onSoc(percent) {
            root.soc = percent
        }

        function onPortCount(count) {
            root.portCount = count
            root.requestPortInfo()
        }

        function onPortInfo(index, status, type, voltageMv, currentMa, tempC, protocol, powerW) {
            root.storePort(index, status, type, voltageMv, currentMa, protocol, powerW)
        }
    }

    Timer {
        interval: 1000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: root.requestPortInfo()
    }

    Timer {
        interval: 2 * 60 * 1000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: HidServiceApi.requestCellRealtimeStatus()
    }

    Rectangle {
        id: heroPanel
        x: 40
        y: 0
        width: parent.width - x - Theme.pageMargin
        height: 300
        color: Theme.panel
        radius: Theme.panelRadius

        BatteryGauge {
            id: battery
            x: 56
            anchors.verticalCenter: parent.verticalCenter
            soc: root.soc
            held: root.onHold
        }

        AppText {
            id: soc
            anchors.left: battery.right
            anchors.leftMargin: 54
            anchors.verticalCenter: parent.verticalCenter
            text: root.soc
            font.pixelSize: 90
            skipLangCheck: true
        }

        AppText {
            anchors.left: soc.right
            anchors.leftMargin: 6
            anchors.baseline: soc.baseline
            text: "%"
            font.pixelSize: 55
            skipLangCheck: true
        }

        AppText {
            anchors.left: soc.left
            anchors.leftMargin: 6
            anchors.top: soc.bottom
            anchors.topMargin: 6
            text: qsTrId("charge_remaining_u")
            font.pixelSize: Theme.fontMedium
        }

        FlowArrows {
            id: allPowerW
            x: 560
            anchors.verticalCenter: parent.verticalCenter
            hasInput: root.hasInput
            hasOutput: root.hasOutput
        }

        AppText {
            id: outputW
            anchors.left: allPowerW.right
            anchors.leftMargin: 30
            anchors.top: soc.top
            text: root.outputW
            font.pixelSize: 90
            font.weight: 400
            skipLangCheck: true
        }

        AppText {
            id: outputWUnit
            anchors.left: outputW.right
            anchors.baseline: outputW.baseline
            text: "W"
            font.pixelSize: 55
            font.weight: 400
            skipLangCheck: true
        }

        AppText {
            anchors.left: outputW.left
            anchors.leftMargin: 6
            anchors.top: outputW.bottom
            anchors.topMargin: 6
            visible: root.flowState === "passThrough"
            text: qsTrId("pass_through_u")
            font.pixelSize: Theme.fontMedium
            font.weight: 400
        }

        AppText {
            id: outputWName
            anchors.left: outputW.left
            anchors.leftMargin: 6
            anchors.top: outputW.bottom
            anchors.topMargin: 6
            visible: root.flowState !== "passThrough"
            text: qsTrId("output_u")
            font.pixelSize: Theme.fontMedium
            font.weight: 400
        }

        RatingRow {
            anchors.left: outputWName.left
            anchors.top: outputWName.bottom
            anchors.topMargin: 3
            visible: root.flowState === "output"
            total: root.outputWMax
        }

        AppText {
            id: inputW
            x: 915
            anchors.top: soc.top
            text: root.inputW
            font.pixelSize: 90
            font.weight: 400
            skipLangCheck: true
        }

        AppText {
            anchors.left: inputW.right
            anchors.baseline: inputW.baseline
            text: "W"
            font.pixelSize: 55
            font.weight: 400
            skipLangCheck: true
        }

        AppText {
            id: inputWName
            anchors.left: inputW.left
            anchors.leftMargin: 6
            anchors.top: inputW.bottom
            anchors.topMargin: 6
            visible: root.flowState !== "passThrough"
            text: qsTrId("input_u")
            font.pixelSize: Theme.fontMedium
            font.weight: 400
        }

        RatingRow {
            anchors.left: inputWName.left
            anchors.top: inputWName.bottom
            anchors.topMargin: 3
            visible: root.flowState === "input"
            total: root.inputWMax
        }
    }

    ScrollView {
        id: portGrid
        anchors.left: heroPanel.left
        anchors.top: heroPanel.bottom
        anchors.topMargin: 20
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.bottomMargin: Theme.pageMargin

        Flow {
            // The content item follows the flow's implicit width, so the view's own width decides the rows.
            width: portGrid.availableWidth
            spacing: 20

            // Records are never removed, so each card is made once and then follows the record at its
            // place in the order, read anew whenever a stored record replaces the order. Making all
            // cards anew for every record cost more than the rest of the page.
            Repeater {
                model: root.cardCount

                PortCard {
                    required property int index

                    function record() {
                        return root.inoutPorts[root.sortedIndexList[index]]
                    }

                    width: 280
                    height: 280
                    portName: record().name
                    active: record().status !== 0
                    watts: record().power1
                    volts: record().voltage
                    current: record().current
                    rating: record().power2
                    protocol: record().protocol
                    plugin: PowerData.pluginForType(record().type)
                    isInput: record().status === 1
                    headerColor: PowerData.headerColorAt(index)
                }
            }
        }
    }
}
