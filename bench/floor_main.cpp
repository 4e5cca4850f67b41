// The floor of the render loop: a window of the program's size with one small item that turns without
// end, and nothing else (bench/idle_cpu.sh).
#include "frame_counter.h"

#include <QQmlApplicationEngine>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    bench::countFrames();
    QQmlApplicationEngine engine;
    engine.loadData(R"(
import QtQuick
Window {
    width: 1440
    height: 1080
    visible: true
    color: "#1e1e1e"
    Rectangle {
        anchors.centerIn: parent
        width: 40
        height: 40
        color: "#00C839"
        RotationAnimation on rotation { from: 0; to: 360; duration: 3000; loops: Animation.Infinite }
    }
}
)");
    if (engine.rootObjects().isEmpty())
        return 1;
    return QGuiApplication::exec();
}
