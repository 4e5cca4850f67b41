// A full load of a 2,000-record event log from the simulated power bank, from the request to the
// complete cache, against the least time the link's pacing allows; with "pages", a page's request
// every second meanwhile (the sidebar's current-event poll) and how long each waited for its answer.
// Run: umockdev-wrapper build/bench/bench_event_log_sync [records] [abnormal|activity] [pages]
#include "transport/tst_event_log_access.h"

#include "sim/simulated_power_bank.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

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
    const uint8_t type = argc > 2 && std::strcmp(argv[2], "activity") == 0 ? 0 : 1;
    const bool pages = argc > 3 && std::strcmp(argv[3], "pages") == 0;

    HidServiceApi api(nullptr);
    api.setTimeServers({{QHostAddress::LocalHost, 9}});
    SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
    model.battery.cellCount = 1;
    model.abnormalLog = {};
    model.abnormalLog.no = 1;
    model.activityLog = {};
    model.activityLog.no = 1;
    SimulatedPowerBank::Identity identity;
    identity.vendorId = kSupportedVendorIds[0];
    SimulatedPowerBank bank(model, identity);

    HidBridge::instance()->openSupportedPowerBank();
    if (!HidBridge::instance()->connected()) {
        std::fprintf(stderr, "the simulated power bank did not connect\n");
        return 1;
    }
    EventLogTestAccess::stopPollTimer(api);
    EventSyncState& state = EventLogTestAccess::state(api, type);
    EventLogStore& store = EventLogTestAccess::store(api);
    auto idle = [&] {
        return !store.statsPending && !state.busy() && HidBridge::instance()->backgroundQueueDepth() == 0;
    };
    if (!bank.waitUntil([&] { return EventLogTestAccess::state(api, 1).loaded && idle(); }, 10000)) {
        std::fprintf(stderr, "the empty log did not load\n");
        return 1;
    }

    bank.update([count, type](SimulatedPowerBank::Model& m) {
        m.log(type).no = 2;
        for (int i = 1; i <= count; ++i)
            m.prependEvent(
                type, {uint16_t(i), 1700000000 + uint64_t(i) * 60, uint8_t(i % 4), type, uint8_t(i % 8), int16_t(i)});
    });

    // A page's request every second while the load runs, and the time to each answer.
    QElapsedTimer timer;
    std::vector<qint64> waits;
    qint64 askedAt = -1;
    QObject::connect(&api, &HidServiceApi::currentEvent, [&] {
        if (askedAt >= 0)
            waits.push_back(timer.elapsed() - askedAt);
        askedAt = -1;
    });
    QTimer pagePoll;
    pagePoll.setInterval(1000);
    QObject::connect(&pagePoll, &QTimer::timeout, [&] {
        if (askedAt < 0) {
            askedAt = timer.elapsed();
            api.requestCellCurrentEvent();
        }
    });

    const int before = bank.requestCount();
    timer.start();
    if (type == 1)
        EventLogTestAccess::poll(api);
    else
        api.requestActivityEvents(2, count);
    if (pages)
        pagePoll.start();
    const bool done = bank.waitUntil([&] { return state.loaded && idle(); }, 30 * 60 * 1000);
    pagePoll.stop();
    const double ms = timer.nsecsElapsed() / 1e6;
    const int writes = bank.requestCount() - before;
    const bool complete =
        done && state.complete && (type == 1 ? store.abnormalCache.size() : store.activityCache.size()) == count;

    // The link writes in a turn that read nothing, and a turn that read an answer lifts the 100 ms
    // spacing for the next write: with answers ready at once, each exchange takes two 30 ms turns.
    const double floorMs = writes * 2 * 30.0;
    std::printf("full sync of %d %s records: %s, %.0f ms for %d writes (%.1f ms a write)\n", count,
                type == 1 ? "abnormal" : "activity", complete ? "complete" : "NOT complete", ms, writes, ms / writes);
    std::printf("pacing floor at two 30 ms turns a write: %.0f ms; measured / floor = %.2f\n", floorMs, ms / floorMs);
    if (pages && !waits.empty()) {
        std::sort(waits.begin(), waits.end());
        std::printf("page requests meanwhile: %zu, answered after median %lld ms, at most %lld ms\n", waits.size(),
                    static_cast<long long>(waits[waits.size() / 2]), static_cast<long long>(waits.back()));
    }
    HidBridge::instance()->closeDevice();
    return done ? 0 : 1;
}
