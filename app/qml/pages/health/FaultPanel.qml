import QtQuick
import QtQuick.Layouts
import Tessaravolt

// The power bank's current event: a green title and one line beside a shield while all is well,
// an orange title over a small form beside a warning triangle otherwise.
Rectangle {
    id: panel

    property string title: ""
    property string description: ""
    property string warningStatus: ""
    property string productStatus: ""
    property bool warning: false

    radius: Theme.panelRadius
    color: Theme.panelDark

    Image {
        id: warningIcon
        objectName: "warningIcon"
        x: 26
        y: 20
        visible: panel.title !== ""
        source: panel.warning ? "../../assets/health_warning.svg" : "../../assets/health_safety.svg"
    }

    Loader {
        objectName: "faultContent"
        anchors.left: warningIcon.right
        anchors.leftMargin: 26
        anchors.top: parent.top
        anchors.topMargin: 34
        anchors.right: parent.right
        anchors.rightMargin: 16
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        sourceComponent: panel.warning ? warningModule : normalModule
    }

    Component {
        id: normalModule

        Column {
            spacing: 25

            Text {
                objectName: "titleLabel"
                text: panel.title
                textFormat: Text.PlainText
                color: Theme.green
                font.family: Theme.fontCompat(false, Theme.suisseIntlRegular.name)
                font.pixelSize: Theme.fontLarge
                font.weight: 600
            }

            Text {
                objectName: "descriptionLabel"
                text: panel.description
                textFormat: Text.PlainText
                color: Theme.white
                font.family: Theme.fontCompat(false, Theme.suisseIntlRegular.name)
                font.pixelSize: Theme.fontMedium
                font.weight: 270
            }
        }
    }

    Component {
        id: warningModule

        Item {
            id: information

            property int padding: 0
            property int titleBottomSpacing: 20
            property int rowSpacing: 10
            property int labelValueSpacing: 12
            // The form's text size: the design size, or smaller while the wrapped texts would run
            // past the bottom of the area (the longest fault texts take seven lines at full size).
            property int formPixelSize: Theme.fontMedium
            readonly property int minimumFormPixelSize: 18

            function rowHeight(label, value, valueWidth) {
                measure.width = valueWidth
                measure.text = value
                return Math.max(label.implicitHeight, measure.implicitHeight)
            }

            function fitForm() {
                const available = information.height - 2 * information.padding
                for (let size = Theme.fontMedium; size >= information.minimumFormPixelSize; --size) {
                    information.formPixelSize = size
                    const valueWidth = Math.max(0, mainColumn.width - formGrid.maxLabelWidth
                                                   - information.labelValueSpacing)
                    const needed = titleLabel.implicitHeight + information.titleBottomSpacing
                        + information.rowHeight(descLabel, panel.description, valueWidth)
                        + information.rowHeight(warnLabel, panel.warningStatus, valueWidth)
                        + information.rowHeight(prodLabel, panel.productStatus, valueWidth)
                        + 2 * information.rowSpacing
                    if (needed <= available)
                        return
                }
            }

            // Fits once, after the changes of this turn of the event loop.
            function refit() {
                // qmllint disable type
                Qt.callLater(information.fitForm)
                // qmllint enable type
            }

            onWidthChanged: information.refit()
            onHeightChanged: information.refit()
            Component.onCompleted: information.refit()

            Connections {
                target: panel
                function onTitleChanged() { information.refit() }
                function onDescriptionChanged() { information.refit() }
                function onWarningStatusChanged() { information.refit() }
                function onProductStatusChanged() { information.refit() }
            }

            // Lays out a value off screen, as the form would at the size being tried.
            AppText {
                id: measure
                visible: false
                font.pixelSize: information.formPixelSize
                font.weight: 270
                wrapMode: Text.WordWrap
            }

            ColumnLayout {
                id: mainColumn
                anchors.fill: parent
                anchors.margins: information.padding
                spacing: 0

                AppText {
                    id: titleLabel
                    objectName: "titleLabel"
                    Layout.fillWidth: true
                    text: panel.title
                    color: Theme.warning
                    font.pixelSize: Theme.fontLarge
                    font.weight: 600
                    wrapMode: Text.NoWrap
                    elide: Text.ElideRight
                }

                Item {
                    Layout.fillWidth: true
                    Layout.preferredHeight: information.titleBottomSpacing
                }

                GridLayout {
                    id: formGrid
                    objectName: "formGrid"

                    // The widest label text, so the three values start at one x.
                    property real maxLabelWidth: {
                        let widest = 0
                        for (const label of [descLabel, warnLabel, prodLabel]) {
                            if (label.implicitWidth > widest)
                                widest = label.implicitWidth
                        }
                        return widest
                    }

                    Layout.fillWidth: true
                    columns: 2
                    columnSpacing: information.labelValueSpacing
                    rowSpacing: information.rowSpacing

                    AppText {
                        id: descLabel
                        objectName: "descLabel"
                        Layout.preferredWidth: formGrid.maxLabelWidth
                        Layout.alignment: Qt.AlignLeft | Qt.AlignTop
                        text: qsTrId("description_u") + ":"
                        onTextChanged: information.refit()
                        font.pixelSize: information.formPixelSize
                        font.weight: 600
                    }
                    AppText {
                        objectName: "descValue"
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignLeft | Qt.AlignTop
                        // Every line stays: the form must not squeeze a wrapped value.
                        Layout.minimumHeight: implicitHeight
                        text: panel.description
                        font.pixelSize: information.formPixelSize
                        font.weight: 270
                        wrapMode: Text.WordWrap
                    }

                    // The statuses wrap like the description: the real fault texts are longer than the
                    // value column, and an ellipsis would cut off what the user should do. Labels stay
                    // level with the first line of their value.
                    AppText {
                        id: warnLabel
                        objectName: "warnLabel"
                        Layout.preferredWidth: formGrid.maxLabelWidth
                        Layout.alignment: Qt.AlignLeft | Qt.AlignTop
                        text: qsTrId("warn_status_u") + ":"
                        font.pixelSize: information.formPixelSize
                        font.weight: 600
                    }
                    AppText {
                        objectName: "warnValue"
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignLeft | Qt.AlignTop
                        // Every line stays: the form must not squeeze a wrapped value.
                        Layout.minimumHeight: implicitHeight
                        text: panel.warningStatus
                        font.pixelSize: information.formPixelSize
                        font.weight: 270
                        wrapMode: Text.WordWrap
                    }

                    AppText {
                        id: prodLabel
                        objectName: "prodLabel"
                        Layout.preferredWidth: formGrid.maxLabelWidth
                        Layout.alignment: Qt.AlignLeft | Qt.AlignTop
                        text: qsTrId("product_status_u") + ":"
                        font.pixelSize: information.formPixelSize
                        font.weight: 600
                    }
                    AppText {
                        objectName: "prodValue"
                        Layout.fillWidth: true
                        Layout.alignment: Qt.AlignLeft | Qt.AlignTop
                        // Every line stays: the form must not squeeze a wrapped value.
                        Layout.minimumHeight: implicitHeight
                        text: panel.productStatus
                        font.pixelSize: information.formPixelSize
                        font.weight: 270
                        wrapMode: Text.WordWrap
                    }
                }

                Item {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                }
            }
        }
    }
}
