import QtQuick
import Tessaravolt

PageShell {
    id: page

    Component.onCompleted: {
        HidServiceApi.requestStaticInfo()
        HidServiceApi.requestStatisticEvents()
    }
}
