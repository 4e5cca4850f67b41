// The event-log table in a window of its size on the page, fed by the service object itself:
// a replay of the cached activity log (2,000 and 20,000 records by default) and the switch from
// those rows to the other tab, and a refresh of the abnormal log read from its snapshot page by
// page, with the time each page takes on the GUI thread.
// Run: QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software build/bench/bench_diagnostic_table
//      [activity counts, comma-separated] [abnormal rows] [runs]
#include "transport/tst_event_log_access.h"

#include "common/i18n.h"
#include "transport/hid_service_api.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHash>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <numeric>
#include <random>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using namespace tessaravolt::transport;

namespace {

// The table as the page places it, and a stand-in for the service that forwards every call to
// the real one and notes when each snapshot page starts and when its rows are in the model.
const char* kScene = R"(
import QtQuick
import Tessaravolt

Window {
    width: 1132
    height: 331
    visible: true
    property alias table: table
    property var batchMs: []
    property var batchCpuMs: []
    property double batchStart: -1
    property double batchCpuStart: -1

    QtObject {
        id: timed
        signal activityEvent(int seq, double ts, int status, int info, int code)
        signal eventCacheReset(int eventType)
        function requestActivityEvents(no, amount) { HidServiceApi.requestActivityEvents(no, amount) }
        function probeActivityEvents(no, amount) { HidServiceApi.probeActivityEvents(no, amount) }
        function abnormalLogCacheMeta() { return HidServiceApi.abnormalLogCacheMeta() }
        function beginAbnormalLogSnapshot() { return HidServiceApi.beginAbnormalLogSnapshot() }
        function readAbnormalLogSnapshot(offset, limit) {
            batchStart = benchClock.nowMs()
            batchCpuStart = benchClock.cpuMs()
            return HidServiceApi.readAbnormalLogSnapshot(offset, limit)
        }
    }

    Connections {
        target: HidServiceApi
        function onActivityEvent(seq, ts, status, info, code) { timed.activityEvent(seq, ts, status, info, code) }
        function onEventCacheReset(eventType) { timed.eventCacheReset(eventType) }
    }

    Connections {
        target: table.rows
        function onCountChanged() {
            if (batchStart >= 0) {
                batchMs.push(benchClock.nowMs() - batchStart)
                batchCpuMs.push(benchClock.cpuMs() - batchCpuStart)
                batchStart = -1
            }
        }
    }

    DiagnosticTable {
        id: table
        anchors.fill: parent
        service: timed
        logEvent: ({ isActivity: true, no: -1, count: 0 })
    }
}
)";

class BenchClock : public QObject
{
    Q_OBJECT
public:
    BenchClock() { m_timer.start(); }
    Q_INVOKABLE double nowMs() const { return m_timer.nsecsElapsed() / 1e6; }
    // CPU time of the calling thread: a page's own cost, without the time other processes took.
    Q_INVOKABLE double cpuMs() const
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    }

private:
    QElapsedTimer m_timer;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

QList<CacheEvtInfo> activityRecords(int count, bool shuffled)
{
    std::mt19937 random(11);
    QList<CacheEvtInfo> records;
    records.reserve(count);
    // Newest first, as the device numbers them, with a few equal time stamps.
    for (int i = 0; i < count; ++i)
        records.append(CacheEvtInfo{uint16_t(count - i), uint64_t(1760000000 - i * 90 + (i % 7 == 0 ? 90 : 0)),
                                    uint8_t(i % 4), uint8_t(i % 18), int16_t(int(random() % 200) - 20)});
    if (shuffled)
        std::shuffle(records.begin(), records.end(), random);
    return records;
}

struct Scene
{
    std::unique_ptr<QObject> window;
    QQuickItem* table = nullptr;
};

Scene makeScene(QQmlEngine& engine)
{
    QQmlComponent component(&engine);
    component.setData(kScene, QUrl(QStringLiteral("qrc:/bench/DiagnosticTableBench.qml")));
    Scene scene;
    scene.window.reset(component.create());
    if (!scene.window) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return scene;
    }
    scene.table = qvariant_cast<QQuickItem*>(scene.window->property("table"));
    if (!QTest::qWaitForWindowExposed(qobject_cast<QWindow*>(scene.window.get())))
        std::fprintf(stderr, "the window was not exposed\n");
    return scene;
}

QVariantMap selector(bool activity, int no, int count)
{
    return {{QStringLiteral("isActivity"), activity}, {QStringLiteral("no"), no}, {QStringLiteral("count"), count}};
}

int rowCount(const Scene& scene)
{
    return qvariant_cast<QObject*>(scene.table->property("rows"))->property("count").toInt();
}

// Waits for the next frame of the window and returns how long it took to come.
double nextFrameMs(QQuickWindow* window)
{
    QElapsedTimer timer;
    timer.start();
    bool swapped = false;
    const auto connection = QObject::connect(window, &QQuickWindow::frameSwapped, [&] { swapped = true; });
    window->requestUpdate();
    while (!swapped && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QObject::disconnect(connection);
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QList<int> activityCounts{2000, 20000};
    if (argc > 1) {
        activityCounts.clear();
        for (const QString& part : QString::fromLocal8Bit(argv[1]).split(QLatin1Char(',')))
            activityCounts << part.toInt();
    }
    const int abnormalRows = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    BenchClock clock;
    engine.rootContext()->setContextProperty(QStringLiteral("benchClock"), &clock);
    HidServiceApi* api = HidServiceApi::instance();
    tessaravolt::common::I18n::instance();
    EventLogStore& store = EventLogTestAccess::store(*api);
    EventLogTestAccess::stopPollTimer(*api);

    QHash<int, double> inOrder;
    for (const bool shuffled : {false, true}) {
        for (const int count : activityCounts) {
            QList<double> replay;
            QList<double> frame;
            QList<double> toAbnormal;
            for (int run = 0; run < runs; ++run) {
                Scene scene = makeScene(engine);
                if (!scene.table)
                    return 1;
                store.activityCache = activityRecords(count, shuffled);
                EventSyncState& st = EventLogTestAccess::state(*api, 0);
                st = EventSyncState{};
                st.loaded = true;
                st.complete = true;
                st.loadedNo = 3;
                st.loadedCount = uint16_t(std::min(count, 65535));
                QElapsedTimer timer;
                timer.start();
                // The first statistics: the table asks, and the service replays its whole cache.
                scene.table->setProperty("logEvent", selector(true, 3, count));
                replay << timer.nsecsElapsed() / 1e6;
                frame << nextFrameMs(qobject_cast<QQuickWindow*>(scene.window.get()));
                const int rows = rowCount(scene);
                if (rows != count) {
                    std::fprintf(stderr, "%d rows shown of %d\n", rows, count);
                    return 1;
                }
                // A click on the other tab: the rows go, and the (empty) abnormal log is shown.
                store.abnormalCache.clear();
                timer.restart();
                scene.table->setProperty("logEvent", selector(false, 1, 0));
                nextFrameMs(qobject_cast<QQuickWindow*>(scene.window.get()));
                toAbnormal << timer.nsecsElapsed() / 1e6;
                if (rowCount(scene) != 0)
                    return 1;
            }
            std::printf("activity replay, %d records%s: %.1f ms (median of %d; fastest %.1f, slowest %.1f), "
                        "then the first frame %.1f ms; the switch to the other tab and its frame %.1f ms\n",
                        count, shuffled ? " in random order" : " newest first", median(replay), runs,
                        *std::min_element(replay.begin(), replay.end()),
                        *std::max_element(replay.begin(), replay.end()), median(frame), median(toAbnormal));
            if (!shuffled)
                inOrder.insert(count, median(replay));
            else if (inOrder.value(count) > 0)
                std::printf("  random order / newest first: %.2f\n", median(replay) / inOrder.value(count));
        }
    }

    // The abnormal log: a full refresh of abnormalRows rows.
    {
        Scene scene = makeScene(engine);
        if (!scene.table)
            return 1;
        std::mt19937 random(5);
        store.abnormalCache.clear();
        for (int i = 0; i < abnormalRows; ++i)
            store.abnormalCache.append(CacheEvtInfo{uint16_t(i + 1), uint64_t(1760000000 - i * 600 + random() % 300),
                                                    uint8_t(i % 3), uint8_t(i % 7),
                                                    int16_t(int(random() % 4000) - 500)});
        store.abnormalRevision += 1;
        QList<double> frames;
        QElapsedTimer frameTimer;
        QQuickWindow* window = qobject_cast<QQuickWindow*>(scene.window.get());
        QObject::connect(window, &QQuickWindow::afterAnimating, [&] { frameTimer.start(); });
        QObject::connect(window, &QQuickWindow::frameSwapped, [&] {
            if (frameTimer.isValid())
                frames << frameTimer.nsecsElapsed() / 1e6;
        });
        QElapsedTimer total;
        total.start();
        scene.table->setProperty("logEvent", selector(false, 1, abnormalRows));
        while (rowCount(scene) < abnormalRows && total.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double totalMs = total.nsecsElapsed() / 1e6;
        QList<double> batches;
        for (const QVariant& v : scene.window->property("batchMs").toList())
            batches << v.toDouble();
        QList<double> cpu;
        for (const QVariant& v : scene.window->property("batchCpuMs").toList())
            cpu << v.toDouble();
        const int rows = rowCount(scene);
        std::printf("abnormal refresh, %d rows: %lld pages in %.0f ms; a page (read and append) median %.2f ms, "
                    "slowest %.2f ms (GUI-thread CPU: median %.2f ms, slowest %.2f ms); a frame while paging "
                    "median %.2f ms, slowest %.2f ms\n",
                    rows, static_cast<long long>(batches.size()), totalMs, median(batches),
                    batches.isEmpty() ? 0 : *std::max_element(batches.begin(), batches.end()), median(cpu),
                    cpu.isEmpty() ? 0 : *std::max_element(cpu.begin(), cpu.end()), median(frames),
                    frames.isEmpty() ? 0 : *std::max_element(frames.begin(), frames.end()));
        QList<int> order(batches.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](int a, int b) { return batches[a] > batches[b]; });
        std::printf("  slowest pages (wall / CPU):");
        for (int i = 0; i < std::min<int>(5, order.size()); ++i)
            std::printf(" #%d %.2f / %.2f ms", order[i], batches[order[i]], cpu.value(order[i]));
        std::printf("\n");
        if (rows != abnormalRows)
            return 1;

        // Back to the activity tab from the full abnormal log (an empty activity cache).
        store.activityCache.clear();
        EventLogTestAccess::state(*api, 0) = EventSyncState{};
        QElapsedTimer toActivity;
        toActivity.start();
        scene.table->setProperty("logEvent", selector(true, -1, 0));
        nextFrameMs(window);
        std::printf("the switch from %d abnormal rows to the activity tab and its frame: %.1f ms\n", rows,
                    toActivity.nsecsElapsed() / 1e6);
        if (rowCount(scene) != 0)
            return 1;
    }
    return 0;
}

#include "diagnostic_table_main.moc"
