// The event-log readers on a full abnormal log of 65,535 records: the report list and the
// sorted snapshot (with all its pages read), median of several runs.
// Run: build/bench/bench_event_log_readers [records] [runs]
#include "transport/tst_event_log_access.h"

#include "common/i18n.h"
#include "transport/hid_service_api.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <random>

using namespace tessaravolt::transport;

namespace {

// The result is released outside the timing: the caller's list lives on after the call.
template <typename Work> double medianMs(int runs, Work work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        auto result = work();
        times << timer.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    std::printf("  (fastest %.1f ms, slowest %.1f ms)\n", times.first(), times.last());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 65535;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;

    HidServiceApi api(nullptr);
    tessaravolt::common::I18n::instance();
    EventLogStore& store = EventLogTestAccess::store(api);
    // Time stamps mostly descending with ties and a few out of order, as a device log reads.
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
        const uint64_t ts = 1700000000 - uint64_t(i) * 30 + random() % 90;
        store.abnormalCache.append(
            CacheEvtInfo{uint16_t(i), ts, uint8_t(i % 16), uint8_t(i % 9), int16_t(int(random() % 4000) - 500)});
    }

    QElapsedTimer firstTimer;
    firstTimer.start();
    const qsizetype listed = api.getCachedAbnormalLogs().size();
    const double firstListMs = firstTimer.nsecsElapsed() / 1e6;
    const double listMs = medianMs(runs, [&] { return api.getCachedAbnormalLogs(); });
    const qlonglong available = api.beginAbnormalLogSnapshot().value("available").toLongLong();
    const double snapshotMs = medianMs(runs, [&] { return api.beginAbnormalLogSnapshot(); });
    qsizetype rows = 0;
    const double pagesMs = medianMs(runs, [&] {
        rows = 0;
        QList<QVariantList> pages;
        for (int offset = 0; offset < available; offset += 50) {
            pages << api.readAbnormalLogSnapshot(offset, 50);
            rows += pages.last().size();
        }
        return pages;
    });

    std::printf("records %d, median of %d runs\n", count, runs);
    std::printf("getCachedAbnormalLogs: %.1f ms (%lld maps); first call in the process %.1f ms\n", listMs,
                static_cast<long long>(listed), firstListMs);
    std::printf("beginAbnormalLogSnapshot: %.1f ms (%lld records)\n", snapshotMs, available);
    std::printf("readAbnormalLogSnapshot, all %lld pages of 50: %.1f ms in total, %.3f ms a page\n",
                static_cast<long long>((rows + 49) / 50), pagesMs, pagesMs / std::max<qsizetype>(1, (rows + 49) / 50));
    return 0;
}
