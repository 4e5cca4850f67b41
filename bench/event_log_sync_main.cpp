// A full load of a 2,000-record abnormal log from the simulated power bank, from the statistics
// poll to the complete cache, against the least time the link's pacing allows.
// Run: umockdev-wrapper build/bench/bench_event_log_sync [records]
#include "transport/tst_event_log_access.h"

#include "sim/simulated_power_bank.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>

#include <cstdio>

using namespace tessaravolt::transport;
using tessaravolt::sim::SimulatedPowerBank;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!SimulatedPowerBank::inMockEnvironment()) {
        std::fprintf(stderr, "run under umockdev-wrapper\n");
        return 2;
    }
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;

    HidServiceApi api(nullptr);
    api.setTimeServers({{QHostAddress::LocalHost, 9}});
    SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
    model.battery.cellCount = 1;
    model.abnormalLog = {};
    model.abnormalLog.no = 1;
    SimulatedPowerBank::Identity identity;
    identity.vendorId = kSupportedVendorIds[0];
    SimulatedPowerBank bank(model, identity);

    HidBridge::instance()->openSupportedPowerBank();
    if (!HidBridge::instance()->connected()) {
        std::fprintf(stderr, "the simulated power bank did not connect\n");
        return 1;
    }
    EventLogTestAccess::stopPollTimer(api);
    EventSyncState& state = EventLogTestAccess::state(api, 1);
    EventLogStore& store = EventLogTestAccess::store(api);
    auto idle = [&] {
        return !store.statsPending && !state.busy() && HidBridge::instance()->backgroundQueueDepth() == 0;
    };
    if (!bank.waitUntil([&] { return state.loaded && idle(); }, 10000)) {
        std::fprintf(stderr, "the empty log did not load\n");
        return 1;
    }

    bank.update([count](SimulatedPowerBank::Model& m) {
        m.abnormalLog.no = 2;
        for (int i = 1; i <= count; ++i)
            m.prependEvent(1,
                           {uint16_t(i), 1700000000 + uint64_t(i) * 60, uint8_t(i % 4), 1, uint8_t(i % 8), int16_t(i)});
    });
    const int before = bank.requestCount();
    QElapsedTimer timer;
    timer.start();
    EventLogTestAccess::poll(api);
    const bool done = bank.waitUntil([&] { return state.loaded && idle(); }, 30 * 60 * 1000);
    const double ms = timer.nsecsElapsed() / 1e6;
    const int writes = bank.requestCount() - before;
    const QVariantMap meta = api.abnormalLogCacheMeta();

    // The link writes in a turn that read nothing, and a turn that read an answer lifts the 100 ms
    // spacing for the next write: with answers ready at once, each exchange takes two 30 ms turns.
    const double floorMs = writes * 2 * 30.0;
    std::printf("full sync of %d records: %s, %.0f ms for %d writes (%.1f ms a write)\n", count,
                done && meta.value("complete").toBool() ? "complete" : "NOT complete", ms, writes, ms / writes);
    std::printf("pacing floor at two 30 ms turns a write: %.0f ms; measured / floor = %.2f\n", floorMs, ms / floorMs);
    std::printf("cache holds %llu of %d records\n", meta.value("available").toULongLong(), count);
    HidBridge::instance()->closeDevice();
    return done ? 0 : 1;
}
