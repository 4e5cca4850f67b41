// placeholder, replaced by the event-log implementation
#include "transport/event_log_store.h"

namespace tessaravolt::transport {

void EventLogStoreDeleter::operator()(EventLogStore* store) const noexcept
{
    delete store;
}

void HidServiceApi::initEventLogs()
{
    m_eventLogs.reset(new EventLogStore);
}

void HidServiceApi::destroyEventLogs()
{
    m_eventLogs.reset();
}

void HidServiceApi::resetEventLogs() {}

void HidServiceApi::startStatisticsPoll()
{
    pollTimer.start();
    pollStatisticEvents();
}

void HidServiceApi::stopStatisticsPoll()
{
    pollTimer.stop();
}

void HidServiceApi::pollStatisticEvents() {}
bool HidServiceApi::requestStatisticEvents(HidRequestPriority) { return false; }
void HidServiceApi::handleDeviceEvents(const uint8_t*) {}
void HidServiceApi::requestEvents(uint8_t, uint8_t, int, bool) {}
bool HidServiceApi::enqueueEventRequests(uint8_t, uint16_t, uint16_t) { return false; }
bool HidServiceApi::acceptEventRecord(uint8_t, const CacheEvtInfo&) { return false; }
void HidServiceApi::finishEventResponse(uint8_t) {}
bool HidServiceApi::recoverEventSyncTimeout(uint8_t, int64_t) { return false; }
void HidServiceApi::replayEventCache(uint8_t) {}

EventSyncState& HidServiceApi::eventSyncState(uint8_t type)
{
    return type == 1 ? m_eventLogs->abnormalState : m_eventLogs->activityState;
}

QList<CacheEvtInfo>& HidServiceApi::eventCache(uint8_t type)
{
    return type == 1 ? m_eventLogs->abnormalCache : m_eventLogs->activityCache;
}

std::shared_mutex& HidServiceApi::eventCacheMutex(uint8_t type)
{
    return type == 1 ? m_eventLogs->abnormalMutex : m_eventLogs->activityMutex;
}

void HidServiceApi::requestStatisticEvents() {}
void HidServiceApi::requestActivityEvents(uint8_t, int) {}
void HidServiceApi::probeActivityEvents(uint8_t, int) {}
void HidServiceApi::requestAbnormalEvents(uint8_t, int) {}
void HidServiceApi::probeAbnormalEvents(uint8_t, int) {}
QVariantList HidServiceApi::getCachedActivityLogs() { return {}; }
QVariantList HidServiceApi::getCachedAbnormalLogs() { return {}; }
QVariantMap HidServiceApi::abnormalLogCacheMeta() const { return {}; }
QVariantMap HidServiceApi::beginAbnormalLogSnapshot() { return {}; }
QVariantList HidServiceApi::readAbnormalLogSnapshot(int, int) const { return {}; }

} // namespace tessaravolt::transport
