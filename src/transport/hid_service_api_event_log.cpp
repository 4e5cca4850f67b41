#include "transport/event_log_display.h"
#include "transport/event_log_store.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include "common/i18n.h"
#include "common/logger_manager.h"
#include "protocol/commands.h"
#include "protocol/payload.h"

#include <QLocale>

#include <algorithm>
#include <mutex>
#include <ostream>

namespace tessaravolt::transport {

using common::LoggerManager;

namespace {

using protocol::readLe16;
using protocol::readLe64;
constexpr uint8_t kActivity = protocol::events::kActivityLog;
constexpr uint8_t kAbnormal = protocol::events::kAbnormalLog;
constexpr uint8_t kCommandEvents = protocol::command::kEvents;
constexpr uint8_t kSubStatistics = protocol::events::kStatistics;
constexpr uint8_t kSubRecords = protocol::events::kRecords;
constexpr int kStatisticsPayloadLength = protocol::kEventStatisticsLength;
constexpr int kRecordLength = protocol::kEventRecordLength;
constexpr int kMaxRecordsPerRequest = protocol::kMaxEventRecordsPerAnswer;
constexpr int64_t kIdleTimeoutMs = 30000;
// What a request does with its log, numbered as the log line writes it.
constexpr int kUseLoaded = 0;
constexpr int kFullLoad = 1;
constexpr int kIncremental = 2;

const char* logName(uint8_t type)
{
    return type == kAbnormal ? "requestAbnormalEvents" : "requestActivityEvents";
}

void log(const QString& line)
{
    LoggerManager::instance() << line << std::endl;
}

QString recordLine(const char* kind, const CacheEvtInfo& r)
{
    return QStringLiteral("handleDeviceEvents: %1 seq(%2), ts(%3), state(%4), info(%5), code(%6)")
        .arg(QLatin1String(kind))
        .arg(r.seq)
        .arg(r.ts)
        .arg(unsigned(r.status))
        .arg(unsigned(r.info))
        .arg(r.code);
}

} // namespace

// ---- store lifecycle -------------------------------------------------------------------------

void EventLogStoreDeleter::operator()(EventLogStore* store) const noexcept
{
    delete store;
}

void HidServiceApi::initEventLogs()
{
    m_eventLogs.reset(new EventLogStore);
    connect(&pollTimer, &QTimer::timeout, this, &HidServiceApi::pollStatisticEvents, Qt::UniqueConnection);
    connect(HidBridge::instance(), &HidBridge::reportTaken, this, &HidServiceApi::noteReportTaken,
            Qt::QueuedConnection);
}

void HidServiceApi::destroyEventLogs()
{
    pollTimer.stop();
    m_eventLogs.reset();
}

void HidServiceApi::resetEventLogs()
{
    EventLogStore& s = *m_eventLogs;
    s.statsSentMs = 0;
    s.statsTicket = 0;
    s.statsPending = false;
    s.statsDeferred = false;
    {
        std::unique_lock lock(s.abnormalMutex);
        s.abnormalCache.clear();
    }
    s.abnormalState = EventSyncState{};
    s.abnormalRevision = 0;
    s.snapshotRevision = 0;
    s.snapshot.clear();
    {
        std::unique_lock lock(s.activityMutex);
        s.activityCache.clear();
    }
    s.activityState = EventSyncState{};
}

void HidServiceApi::startStatisticsPoll()
{
    pollTimer.start();
    pollStatisticEvents();
}

void HidServiceApi::stopStatisticsPoll()
{
    pollTimer.stop();
}

EventSyncState& HidServiceApi::eventSyncState(uint8_t type)
{
    return type == kAbnormal ? m_eventLogs->abnormalState : m_eventLogs->activityState;
}

QList<CacheEvtInfo>& HidServiceApi::eventCache(uint8_t type)
{
    return type == kAbnormal ? m_eventLogs->abnormalCache : m_eventLogs->activityCache;
}

std::shared_mutex& HidServiceApi::eventCacheMutex(uint8_t type)
{
    return type == kAbnormal ? m_eventLogs->abnormalMutex : m_eventLogs->activityMutex;
}

// ---- statistics ------------------------------------------------------------------------------

bool HidServiceApi::requestStatisticEvents(HidRequestPriority priority)
{
    uint64_t ticket = 0;
    if (sendRequest("requestStatisticEvents", kCommandEvents, kSubStatistics, nullptr, 0, priority, QString(), &ticket)
        != SendResult::Queued)
        return false;
    m_eventLogs->statsTicket = ticket;
    return true;
}

void HidServiceApi::requestStatisticEvents()
{
    EventLogStore& s = *m_eventLogs;
    if (s.statsPending)
        return;
    if (!HidBridge::instance()->connected())
        return;
    if (requestStatisticEvents(HidRequestPriority::Foreground)) {
        s.statsPending = true;
        s.statsSentMs = nowMs();
    }
}

void HidServiceApi::pollStatisticEvents()
{
    EventLogStore& s = *m_eventLogs;
    HidBridge* bridge = HidBridge::instance();
    if (!bridge->connected())
        return;
    const int64_t now = nowMs();
    if (s.statsPending) {
        // Still waiting in the link's queue behind other traffic is not the device's silence, and
        // a retry waits until the background queue has emptied.
        if (s.statsTicket != 0 || bridge->backgroundQueueDepth() > 0 || now - s.statsSentMs < kIdleTimeoutMs)
            return;
        log(QStringLiteral("requestStatisticEvents: background response timeout, retry"));
        s.statsPending = false;
        s.statsSentMs = 0;
    }
    if (s.abnormalState.busy() && !recoverEventSyncTimeout(kAbnormal, now)) {
        s.statsDeferred = true;
        return;
    }
    if (requestStatisticEvents(HidRequestPriority::Background)) {
        s.statsSentMs = now;
        s.statsPending = true;
        s.statsDeferred = false;
    }
}

// ---- answers ---------------------------------------------------------------------------------

void HidServiceApi::handleDeviceEvents(const uint8_t* frame)
{
    const uint8_t subCommand = protocol::subCommandOf(frame);
    const int length = protocol::payloadLength(frame);
    const uint8_t* payload = protocol::payloadOf(frame);

    if (subCommand == kSubStatistics) {
        if (length < kStatisticsPayloadLength) {
            log(QStringLiteral("handleDeviceEvents: invalid statistic payload length=%1").arg(length));
            return;
        }
        const uint8_t abnormalNo = payload[0];
        const uint8_t activityNo = payload[1];
        const uint16_t abnormalCount = readLe16(payload + 2);
        const uint16_t activityCount = readLe16(payload + 4);
        const int16_t maxTemp = static_cast<int16_t>(readLe16(payload + 6));
        const int16_t minTemp = static_cast<int16_t>(readLe16(payload + 8));
        const uint16_t maxVoltage = readLe16(payload + 10);
        const uint16_t minVoltage = readLe16(payload + 12);
        const uint16_t maxCharge = readLe16(payload + 14);
        const uint16_t maxDischarge = readLe16(payload + 16);
        log(QStringLiteral("handleDeviceEvents: statistic abnormalNo(%1), activityNo(%2), abnormalCount(%3), "
                           "activityCount(%4), maxTemp(%5), minTemp(%6), maxVoltage(%7), minVoltage(%8), "
                           "maxCharge(%9), maxDischarge(%10)")
                .arg(unsigned(abnormalNo))
                .arg(unsigned(activityNo))
                .arg(abnormalCount)
                .arg(activityCount)
                .arg(maxTemp)
                .arg(minTemp)
                .arg(maxVoltage)
                .arg(minVoltage)
                .arg(maxCharge)
                .arg(maxDischarge));
        EventLogStore& s = *m_eventLogs;
        s.statsPending = false;
        s.statsDeferred = false;
        s.statsSentMs = 0;
        s.statsTicket = 0;
        requestEvents(kAbnormal, abnormalNo, abnormalCount, true);
        emit staticsEvent(abnormalNo, activityNo, abnormalCount, activityCount, maxTemp, minTemp, maxVoltage,
                          minVoltage, maxCharge, maxDischarge);
        return;
    }
    if (subCommand != kSubRecords)
        return;

    if (length % kRecordLength != 0 || length > kMaxRecordsPerRequest * kRecordLength) {
        log(QStringLiteral("handleDeviceEvents: invalid event payload length=%1").arg(length));
        return;
    }
    if (length == 0) {
        log(QStringLiteral("handleDeviceEvents: no events"));
        return;
    }

    bool carriedActivity = false;
    bool carriedAbnormal = false;
    bool abnormalCached = false;
    for (int i = 0; i < length / kRecordLength; ++i) {
        const uint8_t* p = payload + kRecordLength * i;
        CacheEvtInfo record;
        record.seq = readLe16(p);
        record.ts = readLe64(p + 2);
        record.status = p[10] & 0x0F;
        record.info = p[12];
        record.code = static_cast<int16_t>(readLe16(p + 14));
        const int type = (p[10] >> 4) & 0x03;
        if (type == kActivity) {
            log(recordLine("activity", record));
            acceptEventRecord(kActivity, record);
            carriedActivity = true;
        } else if (type == kAbnormal) {
            log(recordLine("abnormal", record));
            if (acceptEventRecord(kAbnormal, record))
                abnormalCached = true;
            carriedAbnormal = true;
        } else {
            log(QStringLiteral("handleDeviceEvents: Not matched resolved for type %1").arg(type));
        }
    }
    if (carriedActivity)
        finishEventResponse(kActivity);
    if (carriedAbnormal) {
        if (abnormalCached)
            ++m_eventLogs->abnormalRevision;
        finishEventResponse(kAbnormal);
    }
}

bool HidServiceApi::acceptEventRecord(uint8_t type, const CacheEvtInfo& record)
{
    EventSyncState& st = eventSyncState(type);
    if (!st.busy()) {
        log(QStringLiteral("handleDeviceEvents: ignore stale event seq=%1").arg(record.seq));
        return false;
    }
    ++st.received;
    st.lastActivityMs = nowMs();
    if (st.loading && !st.anchorHead.valid && st.startIndex == 0)
        st.anchorHead.set(record);
    if (st.incremental) {
        ++st.batchReceived;
        if (st.anchorPrev.matches(record))
            st.anchorFound = true;
    }
    if (st.probing) {
        st.staging.append(record);
        return false;
    }
    {
        std::unique_lock lock(eventCacheMutex(type));
        QList<CacheEvtInfo>& cache = eventCache(type);
        const auto found = std::find_if(cache.cbegin(), cache.cend(),
                                        [&record](const CacheEvtInfo& c) { return c.seq == record.seq; });
        if (found != cache.cend()) {
            if (*found == record)
                return false;
            st.conflict = true;
            log(QStringLiteral("handleDeviceEvents: conflicting duplicate seq=%1").arg(record.seq));
            return false;
        }
        cache.append(record);
    }
    log(QStringLiteral("handleDeviceEvents: cached unique seq=%1").arg(record.seq));
    if (type != 1)
        emit activityEvent(record.seq, record.ts, record.status, record.info, record.code);
    return true;
}

void HidServiceApi::finishEventResponse(uint8_t type)
{
    EventSyncState& st = eventSyncState(type);

    auto cacheSize = [this, type] {
        std::shared_lock lock(eventCacheMutex(type));
        return eventCache(type).size();
    };

    if (st.probing) {
        if (st.received < st.fetchCount)
            return;
        if (st.incremental && st.batchReceived < st.batchSize)
            return;
        bool mismatch = false;
        {
            std::shared_lock lock(eventCacheMutex(type));
            const QList<CacheEvtInfo>& cache = eventCache(type);
            for (const CacheEvtInfo& staged : std::as_const(st.staging)) {
                const auto found = std::find_if(cache.cbegin(), cache.cend(),
                                                [&staged](const CacheEvtInfo& c) { return c.seq == staged.seq; });
                if (found == cache.cend() || !(*found == staged)) {
                    mismatch = true;
                    break;
                }
            }
        }
        const qsizetype stagedCount = st.staging.size();
        st.probing = false;
        st.staging.clear();
        if (mismatch || stagedCount != st.fetchCount) {
            log(QStringLiteral("finishEventResponse: newest records changed, rebuild cache"));
            st.loaded = false;
            requestEvents(type, st.requestNo, st.target, false);
            return;
        }
    } else if (st.incremental) {
        if (st.batchReceived < st.batchSize)
            return;
        if (!st.anchorFound) {
            const int next = st.startIndex + st.batchSize;
            if (next < st.target) {
                st.batchReceived = 0;
                st.startIndex = static_cast<uint16_t>(next);
                st.batchSize = static_cast<uint8_t>(std::min(st.target - next, kMaxRecordsPerRequest));
                if (!enqueueEventRequests(type, st.startIndex, st.batchSize)) {
                    st.incremental = false;
                    st.loaded = false;
                    st.loading = false;
                    st.anchorPrev.clear();
                }
                return;
            }
            st.startIndex = static_cast<uint16_t>(next);
            log(QStringLiteral("finishEventResponse: incremental anchor not found, rebuild cache"));
            st.incremental = false;
            st.loaded = false;
            st.loading = false;
            st.anchorPrev.clear();
            requestEvents(type, st.requestNo, st.target, false);
            return;
        }
        st.incremental = false;
        st.anchorPrev.clear();
        if (st.anchorHead.valid)
            st.anchorSaved = st.anchorHead;
        const qsizetype n = cacheSize();
        if (n >= st.target) {
            st.loadedCount = st.target;
            st.loaded = true;
            st.loading = false;
            st.complete = !st.conflict && n == st.target;
            st.loadedNo = st.requestNo;
        } else {
            const uint16_t missing = static_cast<uint16_t>(st.target - n);
            log(QStringLiteral("finishEventResponse: repair oldest cache gap, start=%1,amount=%2").arg(n).arg(missing));
            st.fetchCount = missing;
            st.received = 0;
            st.startIndex = static_cast<uint16_t>(n);
            st.anchorHead.clear();
            if (!enqueueEventRequests(type, static_cast<uint16_t>(n), missing)) {
                st.loaded = false;
                st.loading = false;
            }
            return;
        }
    } else if (st.loading) {
        if (st.received < st.fetchCount)
            return;
        const qsizetype n = cacheSize();
        st.loading = false;
        st.loaded = true;
        st.loadedCount = st.target;
        st.complete = !st.conflict && n == st.target;
        st.loadedNo = st.requestNo;
        if (st.anchorHead.valid)
            st.anchorSaved = st.anchorHead;
        if (!st.complete) {
            log(QStringLiteral("finishEventResponse: incomplete cache, received=%1,unique=%2,target=%3,"
                               "keep cache available until snapshot is stable")
                    .arg(st.received)
                    .arg(n)
                    .arg(st.target));
        }
    }

    if (st.pendingRequest) {
        st.pendingRequest = false;
        requestEvents(type, st.pendingNo, st.pendingAmount, type == kAbnormal);
        return;
    }
    if (type == kAbnormal && m_eventLogs->statsDeferred)
        pollStatisticEvents();
}

bool HidServiceApi::recoverEventSyncTimeout(uint8_t type, int64_t now)
{
    EventSyncState& st = eventSyncState(type);
    // A request still waiting in the link's queue, behind the other log's load, say, is not the
    // device's silence.
    if (!st.busy() || st.queuedTicket != 0 || now - st.lastActivityMs < kIdleTimeoutMs)
        return false;
    log(QStringLiteral("%1: response idle timeout, invalidate cache").arg(QLatin1String(logName(type))));
    st.loaded = false;
    st.loading = false;
    st.probing = false;
    st.incremental = false;
    st.pendingRequest = false;
    st.anchorPrev.clear();
    st.anchorHead.clear();
    st.staging.clear();
    return true;
}

void HidServiceApi::noteReportTaken(quint64 ticket)
{
    EventLogStore& s = *m_eventLogs;
    if (s.statsTicket == ticket) {
        s.statsTicket = 0;
        if (s.statsPending)
            s.statsSentMs = nowMs();
    }
    for (EventSyncState* st : {&s.abnormalState, &s.activityState}) {
        if (st->queuedTicket == ticket) {
            st->queuedTicket = 0;
            st->lastActivityMs = nowMs();
        }
    }
}

// ---- requests --------------------------------------------------------------------------------

bool HidServiceApi::enqueueEventRequests(uint8_t type, uint16_t start, uint16_t count)
{
    const char* name = logName(type);
    // Both logs behind the pages' requests: a load queues all of its requests at once, and a
    // long one in the foreground queue would hold every page's request back until it ends.
    const HidRequestPriority priority = HidRequestPriority::Background;
    EventSyncState& st = eventSyncState(type);
    for (int i = 0; i < count; i += kMaxRecordsPerRequest) {
        const uint8_t payload[4] = {
            static_cast<uint8_t>(type == kAbnormal ? kAbnormal : kActivity),
            static_cast<uint8_t>((start + i) & 0xFF),
            static_cast<uint8_t>(((start + i) >> 8) & 0xFF),
            static_cast<uint8_t>(std::min(count - i, kMaxRecordsPerRequest)),
        };
        uint64_t ticket = 0;
        switch (sendRequest(name, kCommandEvents, kSubRecords, payload, sizeof payload, priority, QString(), &ticket)) {
        case SendResult::BuildFailed:
            return false;
        case SendResult::Refused:
            log(QStringLiteral("%1: enqueue failed").arg(QLatin1String(name)));
            return false;
        case SendResult::Queued:
            st.queuedTicket = ticket;
            break;
        }
    }
    return true;
}

void HidServiceApi::replayEventCache(uint8_t type)
{
    if (type == kAbnormal)
        return;
    QList<CacheEvtInfo> copy;
    {
        std::shared_lock lock(eventCacheMutex(type));
        copy = eventCache(type);
    }
    for (const CacheEvtInfo& r : std::as_const(copy))
        emit activityEvent(r.seq, r.ts, r.status, r.info, r.code);
}

// A request for one log's snapshot `no` of `amount` records (a probe re-reads the newest records
// of a loaded snapshot instead of replaying it). Runs now, or after the sync in progress.
void HidServiceApi::requestEvents(uint8_t type, uint8_t no, int amount, bool probe)
{
    if (amount < 0 || amount > 65535) {
        log(QStringLiteral("%1: invalid amount=%2").arg(QLatin1String(logName(type))).arg(amount));
        return;
    }
    recoverEventSyncTimeout(type, nowMs());
    if (eventSyncState(type).busy()) {
        saveEventRequest(type, no, amount, probe);
        return;
    }
    forgetEmptyLoadedCache(type);
    const int action = chooseEventSyncAction(type, no, amount);
    if (action == kUseLoaded)
        useLoadedSnapshot(type, no, amount, probe);
    else
        beginEventLoad(type, no, amount, action);
}

// Busy: show what is cached so far (unless probing) and keep only the latest request for later.
void HidServiceApi::saveEventRequest(uint8_t type, uint8_t no, int amount, bool probe)
{
    EventSyncState& st = eventSyncState(type);
    if (!probe)
        replayEventCache(type);
    st.pendingNo = no;
    st.pendingAmount = static_cast<uint16_t>(amount);
    st.pendingRequest = true;
    log(QStringLiteral("%1: already loading, save pending snapshot no=%2,amount=%3")
            .arg(QLatin1String(logName(type)))
            .arg(unsigned(no))
            .arg(amount));
}

// A snapshot loaded with records whose cache is empty cannot be trusted: load it again.
void HidServiceApi::forgetEmptyLoadedCache(uint8_t type)
{
    EventSyncState& st = eventSyncState(type);
    if (!st.loaded || st.loadedCount == 0)
        return;
    std::shared_lock lock(eventCacheMutex(type));
    if (eventCache(type).isEmpty()) {
        log(QStringLiteral("%1: non-empty snapshot has empty cache, invalidate cache")
                .arg(QLatin1String(logName(type))));
        st.loaded = false;
    }
}

// The loaded snapshot again: use it; unloaded: a full load; a loaded one that grew: an
// incremental walk. Any other snapshot loads in full.
int HidServiceApi::chooseEventSyncAction(uint8_t type, uint8_t no, int amount)
{
    EventSyncState& st = eventSyncState(type);
    int action = kFullLoad;
    if (no == st.loadedNo && amount == st.loadedCount) {
        action = st.loaded ? kUseLoaded : kFullLoad;
    } else {
        st.stableCount = 0;
        if (st.loaded && st.loadedCount < amount)
            action = kIncremental;
    }
    log(QStringLiteral("%1: loadedNo=%2,loadedCount=%3,no=%4,amount=%5,action=%6")
            .arg(QLatin1String(logName(type)))
            .arg(unsigned(st.loadedNo))
            .arg(st.loadedCount)
            .arg(unsigned(no))
            .arg(amount)
            .arg(action));
    return action;
}

// The loaded snapshot: a request replays it; a probe re-reads its newest records when it is
// complete, and reloads it when it stayed incomplete over two probes.
void HidServiceApi::useLoadedSnapshot(uint8_t type, uint8_t no, int amount, bool probe)
{
    EventSyncState& st = eventSyncState(type);
    if (!probe) {
        replayEventCache(type);
        return;
    }
    if (amount == 0)
        return;
    if (st.complete) {
        st.probing = true;
        st.requestNo = no;
        st.target = static_cast<uint16_t>(amount);
        st.fetchCount = static_cast<uint16_t>(std::min(amount, kMaxRecordsPerRequest));
        st.received = 0;
        st.lastActivityMs = nowMs();
        st.staging.clear();
        if (!enqueueEventRequests(type, 0, st.fetchCount)) {
            st.probing = false;
            st.loaded = false;
        }
        return;
    }
    if (++st.stableCount < 2)
        return;
    log(QStringLiteral("%1: snapshot stable, reconcile incomplete cache").arg(QLatin1String(logName(type))));
    st.loaded = false;
    st.stableCount = 0;
    requestEvents(type, no, amount, false);
}

// A load of snapshot `no`: the whole log, or (incremental) the records it gained.
void HidServiceApi::beginEventLoad(uint8_t type, uint8_t no, int amount, int action)
{
    EventSyncState& st = eventSyncState(type);
    const int fetch = action == kIncremental ? amount - st.loadedCount : amount;
    st.anchorFound = false;
    st.conflict = false;
    st.loaded = false;
    st.loading = true;
    st.requestNo = no;
    st.incremental = action == kIncremental;
    st.received = 0;
    st.startIndex = 0;
    st.batchSize = 0;
    st.batchReceived = 0;
    st.anchorPrev.clear();
    st.anchorHead.clear();
    st.target = static_cast<uint16_t>(amount);
    st.fetchCount = static_cast<uint16_t>(fetch);
    st.lastActivityMs = nowMs();
    st.staging.clear();
    if (action == kIncremental)
        startIncrementalWalk(type, no, amount);
    else
        startFullLoad(type, no, amount);
}

// Empties the cache and asks for every record at once; a snapshot of no records is loaded at once.
void HidServiceApi::startFullLoad(uint8_t type, uint8_t no, int amount)
{
    EventSyncState& st = eventSyncState(type);
    st.complete = false;
    st.anchorSaved.clear();
    bool hadRecords = false;
    {
        std::unique_lock lock(eventCacheMutex(type));
        QList<CacheEvtInfo>& cache = eventCache(type);
        hadRecords = !cache.isEmpty();
        cache.clear();
    }
    if (type == kAbnormal) {
        if (hadRecords)
            ++m_eventLogs->abnormalRevision;
    } else {
        emit eventCacheReset(kActivity);
    }
    if (st.fetchCount == 0) {
        st.complete = true;
        st.loaded = true;
        st.loading = false;
        st.loadedNo = no;
        st.loadedCount = static_cast<uint16_t>(amount);
        return;
    }
    if (!enqueueEventRequests(type, 0, st.fetchCount)) {
        st.loaded = false;
        st.loading = false;
    }
}

// Walks from the newest record, one batch at a time, until it meets the newest record of the last
// load; without one to look for, the log is loaded in full.
void HidServiceApi::startIncrementalWalk(uint8_t type, uint8_t no, int amount)
{
    EventSyncState& st = eventSyncState(type);
    if (st.anchorSaved.valid)
        st.anchorPrev = st.anchorSaved;
    if (st.anchorPrev.valid) {
        st.batchSize = static_cast<uint8_t>(std::min(amount, kMaxRecordsPerRequest));
        if (!enqueueEventRequests(type, 0, st.batchSize)) {
            st.incremental = false;
            st.loaded = false;
            st.loading = false;
        }
        return;
    }
    log(QStringLiteral("%1: incremental cache has no anchor, rebuild cache").arg(QLatin1String(logName(type))));
    st.incremental = false;
    st.loaded = false;
    st.loading = false;
    requestEvents(type, no, amount, false);
}

void HidServiceApi::requestActivityEvents(uint8_t no, int amount)
{
    requestEvents(kActivity, no, amount, false);
}

void HidServiceApi::probeActivityEvents(uint8_t no, int amount)
{
    requestEvents(kActivity, no, amount, true);
}

void HidServiceApi::requestAbnormalEvents(uint8_t no, int amount)
{
    requestEvents(kAbnormal, no, amount, false);
}

void HidServiceApi::probeAbnormalEvents(uint8_t no, int amount)
{
    requestEvents(kAbnormal, no, amount, true);
}

} // namespace tessaravolt::transport
