import QtQuick
import Tessaravolt

// The product-support card: buttons that open the maker's registration and support pages.
Rectangle {
    id: panel

    readonly property string siteHost: "https://www.tavrin.com"
    readonly property var links: [
        { label: qsTrId("register_your_product_u"), link: panel.siteHost + "/product-registration/" },
        { label: qsTrId("tavrin_support_u"), link: panel.siteHost + "/support-center/" }
    ]

    height: 300
    radius: Theme.panelRadius
    color: Theme.panel

    HeaderBand {
        id: headerBand
        accent: Theme.green
        title: qsTrId("product_support_u")
        titleLabel.objectName: "supportTitle"
    }

    Column {
        x: 26
        y: 115
        spacing: 40

        Repeater {
            model: panel.links

            Item {
                id: linkRow
                required property var modelData
                required property int index

                width: panel.width
                height: 50

                Row {
                    id: helpContent
                    anchors.left: parent.left
                    anchors.verticalCenter: parent.verticalCenter
                    z: 10
                    leftPadding: 20
                    rightPadding: 20
                    spacing: 30

                    AppText {
                        text: linkRow.modelData.label
                        font.pixelSize: Theme.fontMedium
                        font.weight: 400
                    }

                    Image {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 42
                        height: 22
                        source: "../../assets/diagnostics_arrow.svg"
                    }
                }

                Rectangle {
                    objectName: "supportLink" + linkRow.index
                    width: helpContent.width
                    height: parent.height
                    radius: Theme.panelRadius
                    border.width: 5
                    border.color: Theme.panelDarker
                    color: Theme.panelDark

                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                        onClicked: Qt.openUrlExternally(linkRow.modelData.link)
                    }
                }
            }
        }
    }
}
