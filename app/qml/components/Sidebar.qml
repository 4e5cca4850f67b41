import QtQuick
import Tessaravolt

Item {
    id: root

    property int currentIndex: 1
    property bool warnEvent: false
    // Drives the current-event poll; follows the link unless a test sets it.
    property bool connected: HidAutoConnect.connected
    readonly property var tabModel: [
        { index: 1, icon: "../assets/tab_power.svg", iconSel: "../assets/tab_power_select.svg" },
        { index: 2, icon: "../assets/tab_health.svg", iconSel: "../assets/tab_health_select.svg",
          iconDot: "../assets/tab_health_dot.svg", iconDotSel: "../assets/tab_health_select_dot.svg" },
        { index: 3, icon: "../assets/tab_settings.svg", iconSel: "../assets/tab_settings_select.svg" },
        { index: 4, icon: "../assets/tab_diagnostics.svg", iconSel: "../assets/tab_diagnostics_select.svg" }
    ]

    signal navigate(int index)

    function tabImage(entry, selected, warn) {
        if (entry.index === 2 && warn)
            return selected ? entry.iconDotSel : entry.iconDot
        return selected ? entry.iconSel : entry.icon
    }

    width: Theme.sidebarWidth

    Timer {
        id: currentEventTimer
        objectName: "currentEventTimer"
        interval: 1000
        repeat: true
        running: root.connected
        triggeredOnStart: false
        onTriggered: HidServiceApi.requestCellCurrentEvent()
    }

    Connections {
        target: HidServiceApi
        function onCurrentEvent(type, info) {
            const warn = Number(type) === 1
            if (root.warnEvent !== warn)
                root.warnEvent = warn
        }
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.pageBackground
    }

    Rectangle {
        id: body
        objectName: "sidebarBody"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.bottomMargin: Theme.pageMargin
        radius: Theme.panelRadius
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0.0; color: Theme.panelDark }
            GradientStop { position: 1.0; color: Theme.panel }
        }

        Column {
            anchors.fill: parent

            Repeater {
                model: root.tabModel

                Rectangle {
                    id: tab
                    required property var modelData
                    readonly property bool selected: modelData.index === root.currentIndex

                    objectName: "tab" + modelData.index
                    width: 100
                    height: 100
                    radius: Theme.panelRadius
                    color: selected ? Theme.tabSelected : "transparent"

                    Image {
                        objectName: "tabImage" + tab.modelData.index
                        anchors.centerIn: parent
                        source: root.tabImage(tab.modelData, tab.selected, root.warnEvent)
                    }

                    MouseArea {
                        anchors.fill: parent
                        acceptedButtons: Qt.LeftButton
                        cursorShape: Qt.PointingHandCursor
                        onClicked: root.navigate(tab.modelData.index)
                    }
                }
            }
        }

        Column {
            id: languageSwitch
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 20
            spacing: 4

            AppText {
                id: englishLabel
                objectName: "englishLabel"
                anchors.horizontalCenter: parent.horizontalCenter
                text: "EN"
                font.pixelSize: 20
                font.weight: Font.Normal
                color: I18n.isEn ? Theme.white : Theme.black

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: {
                        if (!I18n.isEn)
                            I18n.toggleLanguage()
                    }
                }
            }

            Rectangle {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 56
                height: 3
                color: Theme.black
            }

            AppText {
                id: chineseLabel
                objectName: "chineseLabel"
                anchors.horizontalCenter: parent.horizontalCenter
                text: "中文"
                font.pixelSize: 20
                font.weight: Font.Normal
                color: I18n.isEn ? Theme.black : Theme.white

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: {
                        if (I18n.isEn)
                            I18n.toggleLanguage()
                    }
                }
            }
        }
    }
}
