// The event-log readers of the service: the cached logs as report lists, the abnormal log's cache
// state, and the snapshot that the diagnostics table pages through. The synchronisation that fills
// the caches is in hid_service_api_event_log.cpp.
#include "transport/event_log_display.h"
#include "transport/event_log_store.h"
#include "transport/hid_service_api.h"

#include "common/i18n.h"
#include "protocol/commands.h"

#include <QLocale>

#include <algorithm>
#include <mutex>
#include <shared_mutex>

namespace tessaravolt::transport {

namespace {

constexpr uint8_t kActivity = protocol::events::kActivityLog;
constexpr uint8_t kAbnormal = protocol::events::kAbnormalLog;
constexpr int kSnapshotPageLimit = 50;

} // namespace

QVariantList HidServiceApi::getCachedActivityLogs()
{
    common::I18n* i18n = common::I18n::instance();
    const QLocale language = i18n->language();
    std::shared_lock lock(eventCacheMutex(kActivity));
    return resortCachedEventLogs(
        i18n, eventCache(kActivity),
        [&language](uint8_t, uint8_t info) { return common::I18n::resolveActivityEvent(info, language); },
        activityReportValueText);
}

QVariantList HidServiceApi::getCachedAbnormalLogs()
{
    common::I18n* i18n = common::I18n::instance();
    const QLocale language = i18n->language();
    std::shared_lock lock(eventCacheMutex(kAbnormal));
    return resortCachedEventLogs(
        i18n, eventCache(kAbnormal),
        [&language](uint8_t status, uint8_t info) {
            return common::I18n::resolveAbnormalEvent(info, status, language);
        },
        abnormalReportValueText);
}

QVariantMap HidServiceApi::abnormalLogCacheMeta() const
{
    const EventLogStore& s = *m_eventLogs;
    const EventSyncState& st = s.abnormalState;
    const qsizetype available = s.abnormalCache.size();
    QVariantMap meta;
    meta.insert(QStringLiteral("revision"), static_cast<qulonglong>(s.abnormalRevision));
    meta.insert(QStringLiteral("available"), static_cast<qulonglong>(available));
    meta.insert(QStringLiteral("target"), static_cast<int>(st.target));
    meta.insert(QStringLiteral("syncing"), st.busy());
    meta.insert(QStringLiteral("complete"), st.loaded && st.complete && available == st.target);
    return meta;
}

QVariantMap HidServiceApi::beginAbnormalLogSnapshot()
{
    EventLogStore& s = *m_eventLogs;
    s.snapshot.clear();
    s.snapshot.reserve(s.abnormalCache.size());
    for (const CacheEvtInfo& r : std::as_const(s.abnormalCache))
        s.snapshot.append({r.seq, r.ts, r.status, r.info, r.code});
    s.snapshotRevision = s.abnormalRevision;
    std::sort(s.snapshot.begin(), s.snapshot.end(),
              [](const AbnormalLogSnapshotRecord& a, const AbnormalLogSnapshotRecord& b) {
                  const double keyA = eventSortKey(a.ts);
                  const double keyB = eventSortKey(b.ts);
                  if (keyA != keyB)
                      return keyA > keyB;
                  return a.seq > b.seq;
              });
    QVariantMap map;
    map.insert(QStringLiteral("snapshotRevision"), static_cast<qulonglong>(s.snapshotRevision));
    map.insert(QStringLiteral("available"), static_cast<qlonglong>(s.snapshot.size()));
    return map;
}

QVariantList HidServiceApi::readAbnormalLogSnapshot(int offset, int limit) const
{
    const QList<AbnormalLogSnapshotRecord>& snapshot = m_eventLogs->snapshot;
    if (offset < 0 || limit < 1 || offset >= snapshot.size())
        return {};
    const qsizetype end = std::min<qsizetype>(qsizetype(offset) + std::min(limit, kSnapshotPageLimit), snapshot.size());
    return abnormalSnapshotRows(snapshot, offset, end);
}

} // namespace tessaravolt::transport
