#pragma once

#include "transport/hid_service_api.h"

#include <QList>
#include <QString>
#include <QVariantList>

#include <cstdint>
#include <functional>

namespace tessaravolt::common {
class I18n;
}

// How the event-log records are shown: the lists of the log pages and of the report, and the
// rows of the abnormal snapshot.
namespace tessaravolt::transport {

using EventTextCallback = std::function<QString(uint8_t status, uint8_t info)>;
using EventValueCallback = std::function<QString(uint8_t info, int16_t code)>;

// The order of the lists, the snapshot and the table: the time stamp in milliseconds as the table's
// JavaScript number holds it, so that stamps a double cannot tell apart (2^63 - 1 and 2^63) tie
// everywhere alike, as equal stamps do.
inline double eventSortKey(uint64_t ts)
{
    return static_cast<double>(ts) * 1000.0;
}

// The cache as display maps ("date", "ts", "time", "event", "value", "status"), newest first;
// records with equal time stamps keep their cache order. A long cache is built on several threads,
// so both callbacks must be safe to call concurrently.
QVariantList resortCachedEventLogs(common::I18n* i18n, const QList<CacheEvtInfo>& cache,
                                   const EventTextCallback& textOf, const EventValueCallback& valueOf);

// Value texts of the report lists and of the abnormal snapshot rows.
QString activityReportValueText(uint8_t info, int16_t code);
QString abnormalReportValueText(uint8_t info, int16_t code);
QString abnormalSnapshotValueText(uint8_t info, int16_t code);

// The snapshot's rows [from, to) as maps ("seq", "date", "time", "state", "event", "value", "sort").
QVariantList abnormalSnapshotRows(const QList<HidServiceApi::AbnormalLogSnapshotRecord>& snapshot, qsizetype from,
                                  qsizetype to);

} // namespace tessaravolt::transport
