import QtQuick
import QtQuick.Window

Window {
    id: root
    width: initialWindowWidth
    height: initialWindowHeight
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    flags: Qt.Window | Qt.FramelessWindowHint
    color: "#0b0d12"
    visible: true
    title: "Tessaravolt"
}
