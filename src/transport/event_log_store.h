#pragma once

#include "transport/hid_service_api.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <shared_mutex>

namespace tessaravolt::transport {

// An optional record: the newest record a load saw, or the one an incremental walk looks for.
struct EventAnchor
{
    bool valid = false;
    CacheEvtInfo record;

    void set(const CacheEvtInfo& value)
    {
        valid = true;
        record = value;
    }
    void clear()
    {
        valid = false;
        record = {};
    }
    bool matches(const CacheEvtInfo& value) const { return valid && record == value; }
};

struct EventSyncState
{
    bool loaded = false;
    bool loading = false;
    bool probing = false;
    bool incremental = false;
    bool anchorFound = false;
    bool complete = false;
    bool conflict = false;
    bool pendingRequest = false;
    uint8_t stableCount = 0;
    uint8_t loadedNo = 0;
    uint16_t loadedCount = 0;
    uint8_t requestNo = 0;
    uint16_t target = 0;
    uint16_t fetchCount = 0;
    uint16_t received = 0;
    uint16_t startIndex = 0;
    uint8_t batchSize = 0;
    uint8_t batchReceived = 0;
    EventAnchor anchorPrev;
    EventAnchor anchorHead;
    EventAnchor anchorSaved;
    uint8_t pendingNo = 0;
    uint16_t pendingAmount = 0;
    int64_t lastActivityMs = 0;
    QList<CacheEvtInfo> staging;

    bool busy() const { return loading || probing; }
};

struct EventLogStore
{
    QList<CacheEvtInfo> abnormalCache;
    QList<CacheEvtInfo> activityCache;
    std::shared_mutex abnormalMutex;
    std::shared_mutex activityMutex;
    EventSyncState abnormalState;
    EventSyncState activityState;
    bool statsPending = false;
    bool statsDeferred = false;
    int64_t statsSentMs = 0;
    uint64_t abnormalRevision = 0;
    uint64_t snapshotRevision = 0;
    QList<HidServiceApi::AbnormalLogSnapshotRecord> snapshot;
};

} // namespace tessaravolt::transport
