// The real program, which prints the time from process start to its first rendered frame and quits.
#include "app/start_up.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

namespace {
long long nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

void watchForFirstFrame()
{
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (auto* quick = qobject_cast<QQuickWindow*>(window)) {
                poll->stop();
                QObject::connect(
                    quick, &QQuickWindow::frameSwapped, quick,
                    [] {
                        const char* t0 = std::getenv("BENCH_T0_NS");
                        const long long start = t0 ? std::atoll(t0) : 0;
                        std::printf("first_frame_ms %.1f\n", (nowNs() - start) / 1e6);
                        std::fflush(stdout);
                        QCoreApplication::exit(0);
                    },
                    Qt::QueuedConnection);
                return;
            }
        }
    });
    poll->start();
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchForFirstFrame)

int main(int argc, char** argv)
{
    return tessaravolt::app::runApplication(argc, argv);
}
