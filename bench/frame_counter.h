#pragma once
// Prints "frames <count> <milliseconds>" once a second for the first Qt Quick window, so that a
// script can take the frames of a measured span from two lines of the output.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>

namespace bench {

inline void countFrames()
{
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            auto* quick = qobject_cast<QQuickWindow*>(window);
            if (!quick)
                continue;
            poll->stop();
            auto* frames = new qint64(0);
            QObject::connect(quick, &QQuickWindow::frameSwapped, quick, [frames] { ++*frames; });
            auto* clock = new QElapsedTimer;
            clock->start();
            auto* report = new QTimer(quick);
            QObject::connect(report, &QTimer::timeout, report, [frames, clock] {
                std::printf("frames %lld %lld\n", static_cast<long long>(*frames),
                            static_cast<long long>(clock->elapsed()));
                std::fflush(stdout);
            });
            report->start(1000);
            return;
        }
    });
    poll->start();
}

} // namespace bench
