import QtQuick
import QtQuick.Controls
import Tessaravolt
import "powerData.js" as PowerData

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
    // The moving parts hold still while the window is minimised or hidden; the polls go on.
    readonly property bool onHold: Window.visibility === Window.Minimized || Window.visibility === Window.Hidden

    function requestPortInfo() {
        const requests = PowerData.portRequests(root.portCount);
        for (let i = 0; i < requests.length; ++i)
            HidServiceApi.requestInputOutputInfo(requests[i][0], requests[i][1]);
    }

    function storePort(index, status, type, voltageMv, currentMa, protocol, powerW) {
        const record = PowerData.makePort(index, status, type, voltageMv, currentMa, powerW,
                                          () => I18n.resolvePortProtocol(protocol, I18n.language));
        if (record === null)
            return;
        root.inoutPorts[index] = record;
        const derived = PowerData.derive(root.inoutPorts);
        root.outputW = derived.outputW;
        root.inputW = derived.inputW;
        root.outputWMax = derived.outputWMax;
        root.inputWMax = derived.inputWMax;
        root.hasInput = derived.hasInput;
        root.hasOutput = derived.hasOutput;
        root.sortedIndexList = derived.sortedIndexList;
    }

    Connections {
        target: HidServiceApi

        function onSoc(percent) {
            root.soc = percent;
        }

        function onPortCount(count) {
            root.portCount = count;
            root.requestPortInfo();
        }

        function onPortInfo(index, status, type, voltageMv, currentMa, tempC, protocol, powerW) {
            root.storePort(index, status, type, voltageMv, currentMa, protocol, powerW);
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

    Component.onCompleted: HidServiceApi.requestPortCount()

    Rectangle {
        id: heroPanel
        x: 40
        y: 0
        width: parent.width - x - Theme.pageMargin
        height: 300
        color: Theme.panel
        radius: Theme.panelRadius

        Item {
            id: battery
            x: 56
            anchors.verticalCenter: parent.verticalCenter
            width: 108
            height: childrenRect.height

            Item {
                anchors.horizontalCenter: parent.horizontalCenter
                y: 0
                width: 35.83
                height: 35.83

                Canvas {
                    anchors.fill: parent
                    onPaint: {
                        const ctx = getContext("2d");
                        ctx.clearRect(0, 0, width, height);
                        ctx.beginPath();
                        ctx.moveTo(0, height / 2);
                        ctx.arc(width / 2, height / 2, width / 2, Math.PI, 0, false);
                        ctx.lineTo(width, height / 2);
                        ctx.closePath();
                        ctx.fillStyle = "#009647";
                        ctx.fill();
                    }
                }
            }

            Rectangle {
                id: batteryFrame
                x: 0
                y: 22
                width: 108
                height: 198
                color: "transparent"
                border.width: 9
                border.color: "#009647"
                radius: 20
            }

            Item {
                id: batteryWave
                readonly property double maxH: 163
                readonly property double fillInset: 14

                anchors.horizontalCenter: batteryFrame.horizontalCenter
                anchors.bottom: batteryFrame.bottom
                anchors.bottomMargin: fillInset
                width: batteryFrame.width - 2 * fillInset
                height: PowerData.fillHeight(root.soc, maxH)

                // The waves only ever reach a band at the top of the fill; below it the fill is solid
                // bright green. So this canvas paints that solid part with the rounded bottom corners,
                // and each wave is painted once, two wavelengths wide, and slid sideways by the phase:
                // an animation frame moves two small finished pictures instead of painting the fill.
                Canvas {
                    id: fillItem
                    property double wavePhase: 0
                    readonly property double amplitude: 0.04 * height
                    // Rows the waves can touch, their antialiased edge included.
                    readonly property int waveBand: Math.ceil(2 * amplitude) + 1
                    readonly property double waveShift: wavePhase / (2 * Math.PI) * width

                    anchors.fill: parent
                    onWidthChanged: requestPaint()
                    onHeightChanged: requestPaint()

                    NumberAnimation on wavePhase {
                        from: 0
                        to: 2 * Math.PI
                        duration: 2000
                        loops: Animation.Infinite
                        running: true
                        paused: running && root.onHold
                    }

                    onPaint: {
                        const ctx = getContext("2d");
                        const w = width;
                        const h = height;
                        ctx.clearRect(0, 0, w, h);
                        ctx.beginPath();
                        ctx.moveTo(0, waveBand);
                        ctx.lineTo(w, waveBand);
                        ctx.lineTo(w, h - 5);
                        ctx.quadraticCurveTo(w, h, w - 5, h);
                        ctx.lineTo(5, h);
                        ctx.quadraticCurveTo(0, h, 0, h - 5);
                        ctx.closePath();
                        ctx.fillStyle = "#00C839";
                        ctx.fill();
                    }

                    Item {
                        width: parent.width
                        // One row into the solid part, so no seam shows between the two.
                        height: fillItem.waveBand + 1
                        clip: true

                        // The dark wave runs with the phase taken negative, so it moves to the right.
                        WaveStrip {
                            x: fillItem.waveShift - fillItem.width
                            wavelength: fillItem.width
                            amplitude: fillItem.amplitude
                            colour: "#009647"
                        }
                        WaveStrip {
                            x: -fillItem.waveShift
                            wavelength: fillItem.width
                            amplitude: fillItem.amplitude
                            colour: "#00C839"
                        }
                    }
                }
            }
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

        Loader {
            id: allPowerW
            x: 560
            anchors.verticalCenter: parent.verticalCenter
            asynchronous: false
            active: root.hasInput || root.hasOutput
            sourceComponent: root.hasInput && root.hasOutput ? inputOutArrow
                                                             : (root.hasInput ? inputArrow : outputArrow)
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
                        return root.inoutPorts[root.sortedIndexList[index]];
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

    component RatingRow: Row {
        property double total: 0

        AppText {
            anchors.verticalCenter: parent.verticalCenter
            text: parent.total
            font.pixelSize: Theme.fontMedium
            font.weight: 400
            skipLangCheck: true
        }
        AppText {
            anchors.verticalCenter: parent.verticalCenter
            text: " W "
            font.pixelSize: Theme.fontMedium
            font.weight: 270
            skipLangCheck: true
        }
        AppText {
            anchors.verticalCenter: parent.verticalCenter
            text: qsTrId("power_max_c")
            font.pixelSize: Theme.fontMedium
            font.weight: 270
        }
    }

    // Everything below one sine wave, two wavelengths and a pixel wide, down to the strip's bottom.
    component WaveStrip: Canvas {
        property double wavelength: 0
        property double amplitude: 0
        property color colour

        width: 2 * wavelength + 1
        height: parent.height
        onWavelengthChanged: requestPaint()
        onAmplitudeChanged: requestPaint()

        onPaint: {
            const ctx = getContext("2d");
            const w = width;
            const h = height;
            const a = amplitude;
            ctx.clearRect(0, 0, w, h);
            ctx.beginPath();
            ctx.moveTo(0, h);
            for (let x = 0; x <= w; ++x)
                ctx.lineTo(x, a + Math.sin(2 * Math.PI * x / wavelength) * a);
            ctx.lineTo(w, h);
            ctx.closePath();
            ctx.fillStyle = colour;
            ctx.fill();
        }
    }

    component FadingImage: Image {
        id: fadingImage
        property bool fadeOut: false
        readonly property bool onHold: Window.visibility === Window.Minimized || Window.visibility === Window.Hidden

        opacity: fadeOut ? 1 : 0

        SequentialAnimation on opacity {
            loops: Animation.Infinite
            running: true
            paused: running && fadingImage.onHold
            NumberAnimation {
                from: fadeOut ? 1 : 0
                to: fadeOut ? 0 : 1
                duration: 2000
            }
            NumberAnimation {
                from: fadeOut ? 0 : 1
                to: fadeOut ? 1 : 0
                duration: 2000
            }
        }
    }

    Component {
        id: inputOutArrow

        Column {
            FadingImage {
                source: "../assets/power_output_big.svg"
            }
            FadingImage {
                source: "../assets/power_input_big.svg"
                fadeOut: true
                transform: Translate { y: -25 }
            }
        }
    }

    Component {
        id: inputArrow

        Column {
            Image {
                source: "../assets/power_none.svg"
            }
            FadingImage {
                source: "../assets/power_input_italic.svg"
                transform: Translate { x: 3; y: -33 }
            }
        }
    }

    Component {
        id: outputArrow

        Column {
            FadingImage {
                source: "../assets/power_output_italic.svg"
            }
            Image {
                x: parent.width - width
                source: "../assets/power_none.svg"
                transform: Translate { x: 3; y: -33 }
            }
        }
    }
}
