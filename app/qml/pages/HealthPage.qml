import QtQuick
import Tessaravolt

PageShell {
    id: page

    Timer {
        interval: 120000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: HidServiceApi.requestCellRealtimeStatus()
    }
    Timer {
        interval: 1000
        repeat: true
        running: true
        triggeredOnStart: true
        onTriggered: HidServiceApi.requestCellDetailInfo()
    }
    Component.onCompleted: HidServiceApi.requestStaticCellInfo()
}
