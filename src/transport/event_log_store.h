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

// The synchronisation of one event log with the power bank. GUI thread only: changed by
// requestEvents and its steps (a request starts a load, walk or probe), acceptEventRecord (each
// record answered), finishEventResponse (a sync ends or takes its next step),
// recoverEventSyncTimeout (a silent sync is abandoned), noteReportTaken (a request left the link's
// queue) and resetEventLogs (the power bank is lost).
struct EventSyncState
{
    // A snapshot is loaded (loadedNo, loadedCount); set when a sync ends, cleared by a new load,
    // a failed request, a rebuild and idle recovery.
    bool loaded = false;
    // A full load, incremental walk or gap repair runs; set by beginEventLoad, cleared when it ends.
    bool loading = false;
    // A probe re-reads the loaded snapshot's newest records into staging; set by
    // useLoadedSnapshot, cleared by finishEventResponse, a failed request and idle recovery.
    bool probing = false;
    // The load is a walk from the newest record towards anchorPrev; set by beginEventLoad,
    // cleared when the walk meets it, runs out, fails, or is abandoned.
    bool incremental = false;
    // The walk met anchorPrev; set by acceptEventRecord, cleared when a load begins.
    bool anchorFound = false;
    // The cache holds exactly the loaded snapshot's records, none in conflict; set when a load
    // ends, cleared when a full load begins.
    bool complete = false;
    // A record came whose seq was cached with other content; set by acceptEventRecord, cleared
    // when a load begins.
    bool conflict = false;
    // A request came while busy (pendingNo, pendingAmount); set by saveEventRequest, run and
    // cleared by finishEventResponse, dropped by idle recovery.
    bool pendingRequest = false;
    // Probes in a row that found the loaded snapshot incomplete; the second reloads it. Counted
    // by useLoadedSnapshot, reset by a request for another snapshot.
    uint8_t stableCount = 0;
    // Snapshot number and record count of the loaded cache; set when a sync ends loaded.
    uint8_t loadedNo = 0;
    uint16_t loadedCount = 0;
    // Snapshot number and record count of the sync in progress (or the last one); set when a
    // load or probe begins.
    uint8_t requestNo = 0;
    uint16_t target = 0;
    // Records the load, probe or gap repair asks for; set at its start.
    uint16_t fetchCount = 0;
    // Records answered since then, duplicates included; counted by acceptEventRecord.
    uint16_t received = 0;
    // Index of the first record asked for: 0 for a load, the batch's first in a walk, the cache
    // size in a gap repair; set by beginEventLoad and finishEventResponse.
    uint16_t startIndex = 0;
    // Records asked for by the walk's current batch (at most three), and those answered of it;
    // set by startIncrementalWalk and finishEventResponse, counted by acceptEventRecord.
    uint8_t batchSize = 0;
    uint8_t batchReceived = 0;
    // The record the walk looks for, the newest of the last load; taken from anchorSaved by
    // startIncrementalWalk, cleared when the walk ends.
    EventAnchor anchorPrev;
    // The newest record this load saw (index 0); set by acceptEventRecord, cleared when a load
    // begins and by a gap repair.
    EventAnchor anchorHead;
    // The newest record of the last finished load, kept for the next walk; copied from anchorHead
    // by finishEventResponse, cleared by a full load.
    EventAnchor anchorSaved;
    // The saved request's snapshot number and record count; set by saveEventRequest.
    uint8_t pendingNo = 0;
    uint16_t pendingAmount = 0;
    // Service clock when the sync began, when its latest request left the link's queue, or when
    // it last received a record; after 30 s of silence idle recovery abandons the sync.
    int64_t lastActivityMs = 0;
    // The link's ticket of the latest request queued for this log while it has not yet left the
    // queue, else 0; set by enqueueEventRequests, cleared by noteReportTaken.
    uint64_t queuedTicket = 0;
    // The probe's records, compared with the cache when the probe ends; filled by
    // acceptEventRecord, emptied when a probe or load begins and when it ends.
    QList<CacheEvtInfo> staging;

    bool busy() const { return loading || probing; }
};

// Both logs' copies and sync states and the statistics poll's state, owned by the service object.
struct EventLogStore
{
    // The cached records of each log in the order they arrived; written under their mutex by
    // acceptEventRecord and startFullLoad, read by the readers.
    QList<CacheEvtInfo> abnormalCache;
    QList<CacheEvtInfo> activityCache;
    // Guard the caches: exclusive to write, shared to read.
    std::shared_mutex abnormalMutex;
    std::shared_mutex activityMutex;
    EventSyncState abnormalState;
    EventSyncState activityState;
    // A statistics request is out and unanswered; set when one is queued, cleared by its answer,
    // by the 30 s retry and by a loss.
    bool statsPending = false;
    // A poll was held back by a busy abnormal sync; the poll runs as soon as that sync ends.
    bool statsDeferred = false;
    // Service clock when the pending statistics request was queued, and again when it left the
    // link's queue.
    int64_t statsSentMs = 0;
    // The link's ticket of the statistics request while it waits in the queue, else 0.
    uint64_t statsTicket = 0;
    // Counts changes of the abnormal cache (raised by each answer that added records and by
    // emptying it), so the readers know when to take a new snapshot.
    uint64_t abnormalRevision = 0;
    // abnormalRevision when beginAbnormalLogSnapshot took the snapshot below.
    uint64_t snapshotRevision = 0;
    // The abnormal records as the readers page through them, newest first; taken by
    // beginAbnormalLogSnapshot.
    QList<HidServiceApi::AbnormalLogSnapshotRecord> snapshot;
};

} // namespace tessaravolt::transport
