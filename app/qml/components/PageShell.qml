import QtQuick
import Tessaravolt

Item {
    id: root

    Rectangle {
        anchors.fill: parent
        color: Theme.pageBackground
    }
}
