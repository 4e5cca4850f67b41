#pragma once

#include "transport/event_log_store.h"
#include "transport/hid_service_api.h"

namespace tessaravolt::transport {

// The event-log internals the tests look at: the poll, its timer and the sync state.
struct EventLogTestAccess
{
    static EventLogStore& store(HidServiceApi& api) { return *api.m_eventLogs; }
    static EventSyncState& state(HidServiceApi& api, uint8_t type) { return api.eventSyncState(type); }
    static void poll(HidServiceApi& api) { api.pollStatisticEvents(); }
    static void stopPollTimer(HidServiceApi& api) { api.pollTimer.stop(); }
};

} // namespace tessaravolt::transport
