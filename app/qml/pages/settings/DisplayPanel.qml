import QtQuick
import Tessaravolt
import "settingsData.js" as SettingsData

// The power bank's display brightness and screen time-out. It keeps no state: it shows the page's
// brightness and timeoutSeconds, asks the page to take each choice and sends it to the power bank
// at once.
Rectangle {
    id: displayPanel

    required property int brightness
    required property int timeoutSeconds

    signal brightnessChosen(int percent)
    signal timeoutChosen(int seconds)

    function resetToDefault() {
        displayPanel.brightnessChosen(100)
        HidServiceApi.setBrighteness(100)
        displayPanel.timeoutChosen(30)
        HidServiceApi.setScreenTimeout(30)
    }

    radius: Theme.panelRadius
    color: Theme.panel

    HeaderBand {
        id: displayTitle
        objectName: "displayTitle"
        accent: Theme.green
        title: qsTrId("display_u")
        titleLabel.objectName: "displayTitleText"

        Row {
            id: resetDefault
            objectName: "resetDefault"
            anchors.right: parent.right
            anchors.rightMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            z: 10
            height: 52
            leftPadding: 18
            rightPadding: 18
            spacing: 17

            Image {
                anchors.verticalCenter: parent.verticalCenter
                width: 27.41
                height: 28.28
                sourceSize.width: 31
                sourceSize.height: 30
                source: "../../assets/reset_default.svg"
            }

            AppText {
                objectName: "resetText"
                anchors.verticalCenter: parent.verticalCenter
                anchors.verticalCenterOffset: 2
                text: qsTrId("reset_to_default_u")
                font.pixelSize: Theme.fontMedium
                font.weight: 600
                font.family: Theme.fontCompat(false, Theme.suisseIntlSemiBold.name)
            }
        }

        Rectangle {
            id: resetButton
            objectName: "resetButton"
            x: resetDefault.x
            width: resetDefault.width
            height: resetDefault.height
            anchors.verticalCenter: parent.verticalCenter
            radius: Theme.panelRadius
            border.width: 4
            border.color: Theme.resetButtonBorder
            color: Theme.resetButton

            MouseArea {
                objectName: "resetArea"
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: displayPanel.resetToDefault()
            }
        }
    }

    // Five columns, each as wide as its widest cell and packed from the left. The grid reaches the
    // panel's right edge; the width its cells leave over stays empty after the last column.
    // A positioner skips items of zero size, so the empty cells are 1 by 1.
    Grid {
        id: gridRoot
        objectName: "gridRoot"

        readonly property var brightnessValues: SettingsData.brightnessValues
        readonly property var timeoutValues: SettingsData.timeoutValues

        function getCurrentIcon() {
            return SettingsData.brightnessIcon(displayPanel.brightness)
        }

        function convertBrightness(percent) {
            return SettingsData.sliderValueFor(percent, SettingsData.brightnessSteps, brightnessValues)
        }

        function convertTimeout(secs) {
            return SettingsData.sliderValueFor(secs, SettingsData.timeoutSteps, timeoutValues)
        }

        function resolveTimeDisplay() {
            const parts = SettingsData.timeParts(displayPanel.timeoutSeconds)
            const unit = parts[1] === "seconds" ? qsTrId("seconds_l")
                       : parts[1] === "minutes" ? qsTrId("minutes_l") : qsTrId("hours_l")
            return parts[0] + " " + unit
        }

        anchors.top: displayTitle.bottom
        anchors.topMargin: 50
        anchors.left: parent.left
        anchors.leftMargin: 23
        anchors.right: parent.right
        columns: 5
        rowSpacing: 15
        columnSpacing: 36
        horizontalItemAlignment: Grid.AlignLeft
        verticalItemAlignment: Grid.AlignVCenter

        Image {
            objectName: "brightnessIcon"
            source: "../../assets/" + gridRoot.getCurrentIcon()
        }

        AppSlider {
            objectName: "brightnessSlider"
            width: 400
            from: 1
            to: 400
            value: gridRoot.convertBrightness(displayPanel.brightness)
            trackRadius: 8
            progressColor: Theme.green
            scopeRange: gridRoot.brightnessValues
            onSelected: function(changeValue) {
                const percent = SettingsData.settingFor(changeValue, SettingsData.brightnessSteps,
                                                        gridRoot.brightnessValues)
                displayPanel.brightnessChosen(percent)
                HidServiceApi.setBrighteness(percent)
            }
        }

        Item {
            width: 19
            height: 1
        }

        Image {
            objectName: "timeoutIcon"
            source: "../../assets/screen_timeout.svg"
        }

        AppSlider {
            objectName: "timeoutSlider"
            width: 400
            from: 1
            to: 400
            value: gridRoot.convertTimeout(displayPanel.timeoutSeconds)
            trackRadius: 8
            scopeRange: gridRoot.timeoutValues
            onSelected: function(changeValue) {
                const seconds = SettingsData.settingFor(changeValue, SettingsData.timeoutSteps,
                                                        gridRoot.timeoutValues)
                displayPanel.timeoutChosen(seconds)
                HidServiceApi.setScreenTimeout(seconds)
            }
        }

        Item { width: 1; height: 1 }

        Row {
            objectName: "brightnessLabel"

            AppText {
                text: qsTrId("brightness_u") + "  "
                font.pixelSize: Theme.fontMedium
            }
            AppText {
                objectName: "brightnessValue"
                anchors.verticalCenter: parent.verticalCenter
                text: displayPanel.brightness + "%"
                font.pixelSize: Theme.fontMedium
                font.weight: 270
            }
        }

        Item { width: 1; height: 1 }

        Item { width: 1; height: 1 }

        Row {
            objectName: "timeoutLabel"

            AppText {
                text: qsTrId("screen_timeout_u") + "  "
                font.pixelSize: Theme.fontMedium
            }
            AppText {
                objectName: "timeoutValue"
                anchors.verticalCenter: parent.verticalCenter
                text: gridRoot.resolveTimeDisplay()
                font.pixelSize: Theme.fontMedium
                font.weight: 270
            }
        }
    }
}
