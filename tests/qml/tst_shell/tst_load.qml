import QtQuick
import QtTest
import Tessaravolt

TestCase {
    name: "Load"

    function test_components_data() {
        return ["components/AppText.qml", "components/PageShell.qml", "components/Sidebar.qml",
                "components/WindowControls.qml", "components/CornerRectangle.qml",
                "animations/ConnectionRings.qml", "pages/StartupPage.qml", "pages/PowerPage.qml", "pages/HealthPage.qml",
                "pages/SettingsPage.qml", "pages/DiagnosticsPage.qml", "Main.qml"]
            .map(f => ({ tag: f, file: f }))
    }

    function test_components(data) {
        const component = Qt.createComponent("qrc:/qt/qml/Tessaravolt/app/qml/" + data.file)
        compare(component.status, Component.Ready, component.errorString())
    }
}
