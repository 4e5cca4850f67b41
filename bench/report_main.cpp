// The diagnostic report end to end on two full logs: both event-log readers and the PDF writer,
// as the diagnostics page runs them at an export, median of several runs.
// Run: build/bench/bench_report [rows per log] [runs] [language: en|zh]
#include "transport/tst_event_log_access.h"

#include "common/i18n.h"
#include "report/pdf_exporter.h"
#include "transport/hid_service_api.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>

using namespace tessaravolt::transport;
using tessaravolt::common::I18n;
using tessaravolt::common::PdfExporter;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const bool chinese = argc > 3 && QByteArray(argv[3]) == "zh";
    I18n::instance()->setLanguage(chinese ? QLocale(QLocale::Chinese, QLocale::China)
                                          : QLocale(QLocale::English, QLocale::UnitedStates));

    HidServiceApi api(nullptr);
    EventLogStore& store = EventLogTestAccess::store(api);
    // Time stamps mostly descending with ties and a few out of order, every event code and state.
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
        const uint64_t ts = 1700000000 - uint64_t(i) * 30 + random() % 90;
        store.activityCache.append(
            CacheEvtInfo{uint16_t(i), ts, uint8_t(i % 4), uint8_t(i % 21), int16_t(random() % 100)});
        store.abnormalCache.append(
            CacheEvtInfo{uint16_t(i), ts, uint8_t(i % 3), uint8_t(i % 9), int16_t(int(random() % 4000) - 500)});
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    QList<double> totals, readers, writes;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const QVariantList activity = api.getCachedActivityLogs();
        const QVariantList abnormal = api.getCachedAbnormalLogs();
        const double readMs = timer.nsecsElapsed() / 1e6;
        const bool ok = PdfExporter::instance()->exportDiagnosticReport(
            path, QStringLiteral("TV-20K"), QStringLiteral("SN0001"), QStringLiteral("H1.0"), QStringLiteral("F2.3.4"),
            activity, abnormal);
        const double totalMs = timer.nsecsElapsed() / 1e6;
        if (!ok) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
        totals << totalMs;
        readers << readMs;
        writes << totalMs - readMs;
    }
    auto median = [](QList<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const qint64 size = QFileInfo(path).size();
    const int rows = 2 * count;
    std::printf("2 x %d rows (%s), median of %d runs\n", count, chinese ? "Chinese" : "English", runs);
    std::printf("end to end %.0f ms (readers %.0f ms, report %.0f ms); fastest %.0f ms, slowest %.0f ms\n",
                median(totals), median(readers), median(writes), *std::min_element(totals.begin(), totals.end()),
                *std::max_element(totals.begin(), totals.end()));
    std::printf("file %lld bytes, %.1f bytes a row\n", static_cast<long long>(size), rows ? double(size) / rows : 0.0);
    return 0;
}
