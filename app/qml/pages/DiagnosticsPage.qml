import QtQuick
import QtQuick.Dialogs
import Tessaravolt
import "diagnostics/diagnosticsData.js" as Data

PageShell {
    id: root

    property string minTemp: "0 °C"
    property string maxTemp: "0 °C"
    property string minVol: "0 V"
    property string maxVol: "0 V"
    property string maxCharge: "0 A"
    property string maxDischarge: "0 A"
    property int abnormalNo: -1
    property int activityNo: -1
    property int abnormalCount: 0
    property int activityCount: 0
    property string softwareVersion: ""
    property string hardwareVersion: ""
    property string model: ""
    property string productSn: ""
    property var logEvent: ({ isActivity: true, no: -1, count: 0 })

    function applyStatistics(abnormalNo, activityNo, abnormalCount, activityCount, maxTemp, minTemp,
                             maxVoltage, minVoltage, maxCharge, maxDischarge) {
        root.maxTemp = Data.statisticText(maxTemp, 0.1, "°C")
        root.minTemp = Data.statisticText(minTemp, 0.1, "°C")
        root.maxVol = Data.statisticText(maxVoltage, 0.001, "V")
        root.minVol = Data.statisticText(minVoltage, 0.001, "V")
        root.maxCharge = Data.statisticText(maxCharge, 0.001, "A")
        root.maxDischarge = Data.statisticText(maxDischarge, 0.001, "A")
        root.abnormalCount = abnormalCount
        root.activityCount = activityCount
        root.activityNo = activityNo
        root.abnormalNo = abnormalNo

        const shown = root.logEvent
        const no = shown.isActivity ? activityNo : abnormalNo
        const count = shown.isActivity ? activityCount : abnormalCount
        if (shown.no !== no || shown.count !== count)
            root.logEvent = { isActivity: shown.isActivity, no: no, count: count }
        else if (shown.isActivity)
            HidServiceApi.probeActivityEvents(no, count)
    }

    function showLog(isActivity) {
        root.logEvent = isActivity ? { isActivity: true, no: root.activityNo, count: root.activityCount }
                                   : { isActivity: false, no: root.abnormalNo, count: root.abnormalCount }
    }

    function exportPdf(path) {
        const saved = PdfExporter.exportDiagnosticReport(path, root.model, root.productSn, root.hardwareVersion,
                                                         root.softwareVersion, HidServiceApi.getCachedActivityLogs(),
                                                         HidServiceApi.getCachedAbnormalLogs())
        if (!saved)
            reportSaveFailed.show(PdfExporter.lastError)
        return saved
    }

    function generateReport() {
        pdfSaveDialog.currentFile = Qt.url(String(SaveLocation.proposedFolder()) + "/"
                                           + Theme.defaultFileName("diagnostic_report"))
        pdfSaveDialog.open()
    }

    // The writer appends ".pdf" to a name without it; that is the file that must not be
    // replaced unasked.
    function saveChosenReport(chosen) {
        const target = Data.reportFileName(chosen.toString())
        if (SaveLocation.exists(target))
            replaceConfirm.ask(target)
        else
            root.exportPdf(target)
    }

    Connections {
        target: HidServiceApi

        function onStaticsEvent(abnormalNo, activityNo, abnormalCount, activityCount, maxTemp, minTemp,
                                maxVoltage, minVoltage, maxCharge, maxDischarge) {
            root.applyStatistics(abnormalNo, activityNo, abnormalCount, activityCount, maxTemp, minTemp,
                                 maxVoltage, minVoltage, maxCharge, maxDischarge)
        }
        function onSoftwareVersion(value) { root.softwareVersion = value }
        function onHardwareVersion(value) { root.hardwareVersion = value }
        function onModel(value) { root.model = value }
        function onProductSn(value) { root.productSn = value }
    }

    Component.onCompleted: {
        HidServiceApi.requestStaticInfo()
        HidServiceApi.requestStatisticEvents()
    }

    SupportPanel {
        id: supportPanel
        objectName: "supportPanel"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.leftMargin: 40
        anchors.rightMargin: Theme.pageMargin
    }

    Rectangle {
        id: logPanel
        objectName: "logPanel"
        anchors.left: supportPanel.left
        anchors.top: supportPanel.bottom
        anchors.topMargin: 20
        anchors.bottom: parent.bottom
        anchors.bottomMargin: Theme.pageMargin
        width: supportPanel.width
        radius: Theme.panelRadius
        color: Theme.panel

        HeaderBand {
            id: logHeader
            accent: Theme.greenDark
            title: qsTrId("diagnostic_log_u")
            titleLabel.objectName: "logTitle"
            titleLabel.z: 1

            Row {
                id: generateReport
                objectName: "generateReport"
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                height: 52
                spacing: 10
                leftPadding: 18
                rightPadding: 18
                z: 1

                Image {
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.verticalCenterOffset: 1
                    source: "../assets/diagnostics_report.svg"
                }

                AppText {
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.verticalCenterOffset: I18n.isEn ? 0 : 2
                    text: qsTrId("generate_report_u")
                    font.weight: 600
                    font.pixelSize: Theme.fontMedium
                    font.family: Theme.fontCompat(false, Theme.suisseIntlSemiBold.name)
                }
            }

            Rectangle {
                objectName: "generateReportButton"
                anchors.left: generateReport.left
                anchors.right: generateReport.right
                anchors.verticalCenter: parent.verticalCenter
                height: generateReport.height
                z: 0
                radius: Theme.panelRadius
                border.width: 4
                border.color: Theme.actionButtonBorder
                color: Theme.actionButton

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: root.generateReport()
                }
            }
        }

        StatisticsStrip {
            id: logStatistic
            objectName: "logStatistic"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.leftMargin: 24
            anchors.rightMargin: 24
            anchors.topMargin: 90
            minTemp: root.minTemp
            maxTemp: root.maxTemp
            minVol: root.minVol
            maxVol: root.maxVol
            maxCharge: root.maxCharge
            maxDischarge: root.maxDischarge
        }

        Row {
            id: diagnosticTab
            objectName: "diagnosticTab"
            anchors.top: logStatistic.bottom
            anchors.topMargin: 18
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 24
            anchors.rightMargin: 24
            height: 45
            spacing: 0

            LogTab {
                objectName: "activityTab"
                label: qsTrId("activity_logs_u")
                selected: root.logEvent.isActivity
                onChosen: root.showLog(true)
            }
            LogTab {
                objectName: "abnormalTab"
                label: qsTrId("abnormal_logs_u")
                selected: !root.logEvent.isActivity
                onChosen: root.showLog(false)
            }
        }

        DiagnosticTable {
            id: diagnosticTable
            objectName: "diagnosticTable"
            anchors.top: diagnosticTab.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.leftMargin: 24
            anchors.rightMargin: 24
            anchors.bottomMargin: 26
            logEvent: root.logEvent
        }
    }

    FileDialog {
        id: pdfSaveDialog
        objectName: "pdfSaveDialog"
        title: qsTrId("export_diagnostic_report_u")
        fileMode: FileDialog.SaveFile
        nameFilters: ["PDF files (*.pdf)"]
        defaultSuffix: "pdf"
        // The program asks before replacing the file it will write (the name with ".pdf"); a platform
        // dialog (GTK's) must not ask a second time about the name typed. Qt 6.4's type description of
        // the dialog lacks its options, hence the lint directive.
        options: FileDialog.DontConfirmOverwrite // qmllint disable type property
        acceptLabel: qsTrId("save_u")
        onAccepted: root.saveChosenReport(selectedFile)
    }

    ReplaceFileConfirm {
        id: replaceConfirm
        objectName: "reportReplaceConfirm"
        onReplaceConfirmed: function(path) { root.exportPdf(path) }
    }

    SaveFailedMessage {
        id: reportSaveFailed
        objectName: "reportSaveFailed"
    }

    component LogTab: CornerRectangle {
        id: tab
        property string label
        property bool selected: false
        signal chosen()

        width: 195
        height: 45
        radius: Theme.panelRadius
        bottomLeftRound: false
        bottomRightRound: false
        color: Theme.panelDarker
        opacity: selected ? 1 : 0.7

        AppText {
            anchors.centerIn: parent
            text: tab.label
            font.bold: true
            font.pixelSize: 20
        }

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: tab.chosen()
        }
    }
}
