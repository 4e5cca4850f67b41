#include "transport/event_log_display.h"

#include "common/local_time.h"

#include <QHash>
#include <QVariantMap>

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace tessaravolt::transport {

using common::LocalClock;
using common::LocalMoment;
using common::MomentTexts;
using common::ZoneDays;

namespace {

constexpr qsizetype kParallelListThreshold = 4096;
constexpr qsizetype kMaxListBuilders = 8;

} // namespace

// ---- value texts -----------------------------------------------------------------------------

// The report lists and the table read a record's code alike: signed 16-bit, 0 as "0" on the
// activity log, and on the abnormal log the table's rule for the plain numbers.
QString activityReportValueText(uint8_t, int16_t code)
{
    return QString::number(code);
}

QString abnormalReportValueText(uint8_t info, int16_t code)
{
    switch (info) {
    case 0:
    case 1:
        return QString::number(code * 0.1, 'g', 6) + QStringLiteral(" °C");
    case 4:
        return QString::number(code * 0.001, 'g', 6) + QStringLiteral(" A");
    case 2:
    case 3:
    case 5:
        return QString::number(code * 0.001, 'g', 6) + QStringLiteral(" V");
    default:
        return abnormalSnapshotValueText(info, code);
    }
}

QString abnormalSnapshotValueText(uint8_t info, int16_t code)
{
    switch (info) {
    case 0:
    case 1: {
        // Whole degrees, halves away from zero, in integers so that no 0.1 step lands just below a half.
        const int tenths = code;
        const int degrees = tenths >= 0 ? (tenths + 5) / 10 : -((-tenths + 5) / 10);
        return QString::number(degrees) + QStringLiteral(" °C");
    }
    case 4:
        return QString::number(code * 0.001, 'f', 3) + QStringLiteral(" A");
    case 2:
    case 3:
    case 5:
        return QString::number(code * 0.001, 'f', 3) + QStringLiteral(" V");
    default:
        return code > 0 ? QString::number(code) : QStringLiteral("N/A");
    }
}

QVariantList resortCachedEventLogs(common::I18n*, const QList<CacheEvtInfo>& cache, const EventTextCallback& textOf,
                                   const EventValueCallback& valueOf)
{
    // A stable sort by time stamp, newest first, is the same order as inserting each record before
    // the first listed one that is older, without the quadratic walk.
    QList<qsizetype> order(cache.size());
    for (qsizetype i = 0; i < cache.size(); ++i)
        order[i] = i;
    // Unsigned, as the snapshot and the table order them: 2^64 - 1 is the newest, not before 1970.
    std::stable_sort(order.begin(), order.end(), [&cache](qsizetype a, qsizetype b) {
        return eventSortKey(cache[a].ts) > eventSortKey(cache[b].ts);
    });

    static const QString kDate = QStringLiteral("date");
    static const QString kTs = QStringLiteral("ts");
    static const QString kTime = QStringLiteral("time");
    static const QString kEvent = QStringLiteral("event");
    static const QString kValue = QStringLiteral("value");
    static const QString kStatus = QStringLiteral("status");

    ZoneDays zones;
    std::vector<int> zoneOf(order.size());
    for (qsizetype i = 0; i < order.size(); ++i)
        zoneOf[i] = zones.indexOf(cache[order[i]].ts);

    // Each builder keeps its own text caches; the callbacks are pure functions of their arguments.
    auto build = [&](QVariant* out, qsizetype from, qsizetype to) {
        MomentTexts moments;
        QHash<uint32_t, QString> eventTexts;
        QHash<uint32_t, QString> valueTexts;
        for (qsizetype i = from; i < to; ++i) {
            const CacheEvtInfo& record = cache[order[i]];
            const LocalMoment local = zones.at(record.ts, zoneOf[i]);
            const uint32_t eventKey = (uint32_t(record.status) << 8) | record.info;
            auto event = eventTexts.constFind(eventKey);
            if (event == eventTexts.cend())
                event = eventTexts.insert(eventKey, textOf(record.status, record.info));
            const uint32_t valueKey = (uint32_t(record.info) << 16) | static_cast<uint16_t>(record.code);
            auto value = valueTexts.constFind(valueKey);
            if (value == valueTexts.cend())
                value = valueTexts.insert(valueKey, valueOf(record.info, record.code));

            // Keys in their sorted order, each inserted at the end.
            QVariantMap map;
            map.insert(map.cend(), kDate, moments.date(local));
            map.insert(map.cend(), kEvent, *event);
            map.insert(map.cend(), kStatus, static_cast<int>(record.status));
            map.insert(map.cend(), kTime, moments.time(local, true));
            map.insert(map.cend(), kTs, static_cast<qlonglong>(record.ts));
            map.insert(map.cend(), kValue, *value);
            out[i] = QVariant(map);
        }
    };

    QVariantList list(cache.size());
    QVariant* out = list.data();
    // A full log is 65,535 maps, mostly allocation: large lists are built in slices on worker threads.
    const qsizetype slices = cache.size() < kParallelListThreshold
        ? 1
        : std::clamp<qsizetype>(std::thread::hardware_concurrency(), 1, kMaxListBuilders);
    if (slices == 1) {
        build(out, 0, cache.size());
    } else {
        std::vector<std::thread> builders;
        const qsizetype step = (cache.size() + slices - 1) / slices;
        qsizetype handedOut = std::min(step, cache.size());
        try {
            for (qsizetype from = step; from < cache.size(); from += step) {
                builders.emplace_back(build, out, from, std::min(from + step, cache.size()));
                handedOut = std::min(from + step, cache.size());
            }
        } catch (const std::system_error&) {
            // No thread to be had: what was not handed out is built here.
        }
        build(out, 0, std::min(step, cache.size()));
        build(out, handedOut, cache.size());
        for (std::thread& builder : builders)
            builder.join();
    }
    return list;
}

QVariantList abnormalSnapshotRows(const QList<HidServiceApi::AbnormalLogSnapshotRecord>& snapshot, qsizetype from,
                                  qsizetype to)
{
    static const QString kSeq = QStringLiteral("seq");
    static const QString kDate = QStringLiteral("date");
    static const QString kTime = QStringLiteral("time");
    static const QString kState = QStringLiteral("state");
    static const QString kEvent = QStringLiteral("event");
    static const QString kValue = QStringLiteral("value");
    static const QString kSort = QStringLiteral("sort");

    const LocalClock clock;
    MomentTexts moments;
    QVariantList rows;
    rows.reserve(to - from);
    for (qsizetype i = from; i < to; ++i) {
        const HidServiceApi::AbnormalLogSnapshotRecord& r = snapshot[i];
        const LocalMoment local = clock.at(r.ts);
        QVariantMap row;
        row.insert(row.cend(), kDate, moments.date(local));
        row.insert(row.cend(), kEvent, static_cast<int>(r.info));
        row.insert(row.cend(), kSeq, static_cast<int>(r.seq));
        row.insert(row.cend(), kSort, eventSortKey(r.ts));
        row.insert(row.cend(), kState, static_cast<int>(r.status));
        row.insert(row.cend(), kTime, moments.time(local, false));
        row.insert(row.cend(), kValue, abnormalSnapshotValueText(r.info, r.code));
        rows.append(row);
    }
    return rows;
}

} // namespace tessaravolt::transport
