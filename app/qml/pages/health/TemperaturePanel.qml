import QtQuick
import Tessaravolt

// The pack temperature in both scales beside a thermometer picked by the Fahrenheit value.
Rectangle {
    id: panel

    property int temperatureF: 0
    property int temperatureC: 0

    function thermometerFor(fahrenheit) {
        if (fahrenheit < 50)
            return 1
        if (fahrenheit <= 60)
            return 2
        if (fahrenheit <= 70)
            return 3
        if (fahrenheit <= 80)
            return 4
        if (fahrenheit <= 90)
            return 5
        return 6
    }

    color: Theme.panel
    radius: Theme.panelRadius

    HeaderBand {
        accent: Theme.green
        title: qsTrId("temperature_u")
        titleLabel.x: 20
        titleLabel.font.weight: 600
    }

    Image {
        id: temperatureI
        objectName: "thermometer"
        x: 20
        y: 102
        width: 95.1
        height: 139.27
        fillMode: Image.PreserveAspectFit
        source: "../../assets/thermometer_" + panel.thermometerFor(panel.temperatureF) + ".svg"
    }

    AppText {
        id: temperatureF
        objectName: "fahrenheitValue"
        anchors.left: temperatureI.right
        anchors.leftMargin: 20
        anchors.top: temperatureI.top
        text: panel.temperatureF + "\u00B0"
        font.pixelSize: Theme.fontMedium
        font.weight: 400
        skipLangCheck: true
    }

    AppText {
        anchors.left: temperatureF.left
        anchors.top: temperatureF.bottom
        anchors.topMargin: 2
        text: qsTrId("fahrenheit_u")
        font.pixelSize: Theme.fontMedium
        font.weight: 270
    }

    AppText {
        id: temperatureC
        objectName: "celsiusValue"
        anchors.left: temperatureF.left
        y: 188
        text: panel.temperatureC + "\u00B0"
        font.pixelSize: Theme.fontMedium
        font.weight: 400
        skipLangCheck: true
    }

    AppText {
        anchors.left: temperatureC.left
        anchors.top: temperatureC.bottom
        anchors.topMargin: 2
        text: qsTrId("celsius")
        font.pixelSize: Theme.fontMedium
        font.weight: 270
    }
}
