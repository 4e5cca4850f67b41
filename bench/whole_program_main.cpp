// The real program, counting its frames (bench/idle_cpu.sh). BENCH_MINIMISE_AFTER_MS minimises its
// window that long after start, as its minimise button does.
#include "app/start_up.h"
#include "frame_counter.h"

#include <QWindow>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

namespace {
void prepareBench()
{
    bench::countFrames();
    bool ok = false;
    const int delay = qEnvironmentVariableIntValue("BENCH_MINIMISE_AFTER_MS", &ok);
    if (!ok)
        return;
    QTimer::singleShot(delay, QCoreApplication::instance(), [] {
        for (QWindow* window : QGuiApplication::topLevelWindows())
            window->showMinimized();
    });
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(prepareBench)

int main(int argc, char** argv)
{
    return tessaravolt::app::runApplication(argc, argv);
}
