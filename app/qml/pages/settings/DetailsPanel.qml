import QtQuick
import QtQuick.Controls
import Tessaravolt
import "settingsData.js" as SettingsData

// What the power bank reports about itself and its battery, read-only: the flight card and the
// list of details. Every value is the page's.
Rectangle {
    id: detailsPanel

    required property string brand
    required property string model
    required property string productSn
    required property string softwareVersion
    required property string productionDate
    required property string batteryManufacturer
    required property string batteryManufacturerCn
    required property string batteryType
    required property string batteryModel
    required property real capacity
    required property real limitPower
    required property real protocol
    // Changed in place by the page; it replaces sortedCellInfoIndex after every change.
    required property var cellInfo
    required property var sortedCellInfoIndex

    // Rebuilt as a whole from the page's values and on a change of language. Qt 6.4's qmllint
    // knows no QLocale, the type of I18n.language.
    // qmllint disable type
    readonly property var rows: SettingsData.detailRows(detailsPanel, [
        qsTrId("manufacturer_u"),
        qsTrId("model_no_u"),
        qsTrId("serial_no_u"),
        qsTrId("firmware_version_u"),
        qsTrId("charging_protocols_u"),
        qsTrId("device_production_date"),
        qsTrId("battery_rated_capacity_energy_u"),
        qsTrId("battery_cell_manufacturer_u"),
        qsTrId("battery_composition_u"),
        qsTrId("battery_cell_model_no_u"),
        qsTrId("battery_cell_serial_no_u"),
        qsTrId("battery_cell_activation_date_u"),
    ], qsTrId("cell_chip_u"), I18n.resolveSupportedProtocolName(detailsPanel.protocol, I18n.language),
       I18n.isEn, Qt.platform.os)
    // qmllint enable type

    radius: Theme.panelRadius
    color: Theme.panel

    HeaderBand {
        id: detailTitle
        objectName: "detailTitle"
        z: 99
        accent: Theme.greenDark
        title: qsTrId("product_details_u")
        titleLabel.objectName: "detailTitleText"
    }

    Rectangle {
        id: adPortion
        objectName: "adPortion"
        anchors.right: parent.right
        anchors.rightMargin: 22
        anchors.top: detailTitle.bottom
        anchors.topMargin: 20
        width: 260
        height: childrenRect.height + 40
        radius: Theme.panelRadius
        color: Theme.panelDark

        AppText {
            id: flightCompliant
            objectName: "flightCompliant"
            x: 20
            y: 20
            text: qsTrId("flight_compliant_u")
            font.bold: true
            font.pixelSize: Theme.fontBody
        }

        Column {
            x: 20
            anchors.top: flightCompliant.bottom
            anchors.topMargin: 3

            AppText {
                objectName: "flightEnergy"
                // The room left of the aeroplane: a figure too wide for it is drawn smaller.
                width: flightImage.x - 20 - 8
                text: SettingsData.energyText(detailsPanel.limitPower)
                font.pixelSize: Theme.fontBody
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 12
                skipLangCheck: true
            }
            AppText {
                objectName: "carryOn"
                text: qsTrId("safe_for_carry_on_bags_u")
                font.pixelSize: Theme.fontBody
            }
        }

        Image {
            id: flightImage
            objectName: "flightImage"
            anchors.top: parent.top
            anchors.topMargin: 22
            anchors.right: parent.right
            anchors.rightMargin: 22
            width: 58
            height: 41
            source: "../../assets/flight.svg"
        }
    }

    Rectangle {
        id: detailListFrame
        objectName: "detailListFrame"
        anchors.left: parent.left
        anchors.leftMargin: 26
        anchors.right: adPortion.left
        anchors.rightMargin: 26
        anchors.top: adPortion.top
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 26
        radius: Theme.panelRadius
        color: Theme.panelDark
        clip: true

        ListView {
            id: detailList
            objectName: "detailList"
            anchors.fill: parent
            spacing: 0
            boundsBehavior: Flickable.StopAtBounds
            boundsMovement: Flickable.StopAtBounds
            model: detailsPanel.rows

            ScrollBar.vertical: ScrollBar {
                id: detailScrollBar
                objectName: "detailScrollBar"
                width: 18
                padding: 0
                active: true
                background: CornerRectangle {
                    radius: Theme.panelRadius
                    topLeftRound: false
                    bottomLeftRound: false
                    color: Theme.panelDark
                }
                contentItem: Rectangle {
                    radius: Theme.panelRadius
                    color: Theme.sidebar
                    // Without the style's fade-out a list that fits would show a full-height handle.
                    visible: detailScrollBar.size < 1
                }
            }

            delegate: DetailRow {}
        }

        CornerMask { corner: 0; x: 0; y: 0 }
        CornerMask { corner: 1; x: parent.width - width; y: 0 }
        CornerMask { corner: 2; x: 0; y: parent.height - height }
        CornerMask { corner: 3; x: parent.width - width; y: parent.height - height }
    }

    // One detail: its label and its value. A row grows with its value (a value of several lines,
    // or one that wraps in its column), so no value reaches into the next row.
    component DetailRow: CornerRectangle {
        id: row

        required property var modelData
        required property int index

        readonly property Flickable view: ListView.view
        readonly property bool isViewportFirst: row.y <= row.view.contentY + 5
        readonly property bool isViewportLast: row.y + row.height >= row.view.contentY + row.view.height - 5

        width: row.view.width
        height: Math.max(40, Math.max(label.height, value.height) + 19)
        color: row.index % 2 === 0 ? Theme.panelDarker : "transparent"
        radius: Theme.panelRadius
        topLeftRound: row.isViewportFirst
        topRightRound: row.isViewportFirst
        bottomLeftRound: row.isViewportLast
        bottomRightRound: row.isViewportLast

        Row {
            x: 20
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(0, row.width - 20 - 38)
            spacing: 80

            AppText {
                id: label
                objectName: "detailLabel"
                anchors.verticalCenter: parent.verticalCenter
                width: 360
                text: row.modelData[0]
                font.pixelSize: Theme.fontBody
                font.bold: true
                wrapMode: Text.WordWrap
            }

            AppText {
                id: value
                objectName: "detailValue"
                anchors.verticalCenter: parent.verticalCenter
                width: Math.max(0, parent.width - 360 - 80)
                text: row.modelData[1]
                textFormat: Text.PlainText
                font.pixelSize: Theme.fontBody
                lineHeightMode: Text.FixedHeight
                lineHeight: 21
                wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                elide: Text.ElideNone
                verticalAlignment: Text.AlignVCenter
                skipLangCheck: row.modelData[2] !== true
            }
        }
    }
}
