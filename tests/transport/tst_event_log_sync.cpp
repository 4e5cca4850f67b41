// Event-log synchronisation against the simulated power bank: loads, probes, incremental walks,
// repairs, lost answers and a silent device, with the service's clock under the test's control.
#include "transport/hid_service_api_test_support.h"
#include "transport/tst_event_log_access.h"

#include "sim/simulated_power_bank.h"
#include "support/simulated_device.h"
#include "transport/event_log_store.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QtTest>

#include <memory>

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::test::openPowerBank;
using tessaravolt::test::settle;
using tessaravolt::test::supportedIdentity;
using Access = tessaravolt::transport::EventLogTestAccess;

namespace {

using EventRecord = SimulatedPowerBank::EventRecord;

const QString kIdleLine = QStringLiteral("requestAbnormalEvents: response idle timeout, invalidate cache");

QByteArray recordRequest(int type, int start, int count)
{
    return bytes({type, start & 0xFF, (start >> 8) & 0xFF, count});
}

// Records seq first..last, oldest first, so seq `last` is the newest (index 0).
void fillLog(SimulatedPowerBank::Model& m, uint8_t type, int first, int last, uint64_t baseTs = 1700000000)
{
    for (int seq = first; seq <= last; ++seq) {
        m.prependEvent(type,
                       EventRecord{uint16_t(seq), baseTs + uint64_t(seq) * 60, uint8_t(seq % 4), type, uint8_t(seq % 8),
                                   int16_t(100 + seq)});
    }
}

SimulatedPowerBank::Rule recordsRule(SimulatedPowerBank::Action action, int remaining, int latencyMs = 0)
{
    SimulatedPowerBank::Rule rule;
    rule.command = 0x11;
    rule.subCommand = 0x02;
    rule.remaining = remaining;
    rule.action = action;
    rule.latencyMs = latencyMs;
    return rule;
}

// The plain frame of a records answer.
QByteArray recordsFrame(const QList<EventRecord>& records)
{
    QByteArray payload;
    for (const EventRecord& r : records) {
        QByteArray one(16, '\0');
        one[0] = char(r.seq & 0xFF);
        one[1] = char(r.seq >> 8);
        for (int i = 0; i < 8; ++i)
            one[2 + i] = char((r.ts >> (8 * i)) & 0xFF);
        one[10] = char((r.status & 0x0F) | ((r.type & 0x03) << 4));
        one[12] = char(r.info);
        one[14] = char(uint16_t(r.code) & 0xFF);
        one[15] = char(uint16_t(r.code) >> 8);
        payload += one;
    }
    return plainFrame(0x11, 0x02, payload);
}

} // namespace

class TstEventLogSync : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimulatedPowerBank> bank;
    std::unique_ptr<HidServiceApi> api;
    qint64 clockMs = 5'000'000;

    EventLogStore& store() { return Access::store(*api); }
    EventSyncState& state(uint8_t type) { return Access::state(*api, type); }

    QList<QByteArray> recordRequests(int fromIndex = 0) const
    {
        QList<QByteArray> out;
        const auto requests = bank->requestsFor(0x11, 0x02);
        for (int i = fromIndex; i < requests.size(); ++i)
            out << requests[i].payload;
        return out;
    }
    int recordRequestCount() const { return int(bank->requestsFor(0x11, 0x02).size()); }
    int statisticsRequestCount() const { return int(bank->requestsFor(0x11, 0x01).size()); }
    // The device has received `count` statistics requests, and the service has been told that
    // the last one left the link's queue (the clock the retry counts by may move from then on).
    bool statisticsWritten(int count, int timeoutMs = 5000)
    {
        return bank->waitUntil([&] { return statisticsRequestCount() == count && store().statsTicket == 0; },
                               timeoutMs);
    }

    QList<int> cachedSeqs(uint8_t type)
    {
        QList<int> out;
        for (const CacheEvtInfo& r : type == 1 ? store().abnormalCache : store().activityCache)
            out << r.seq;
        return out;
    }

    static QList<int> deviceSeqs(const SimulatedPowerBank::EventLog& log)
    {
        QList<int> out;
        for (const EventRecord& r : log.records)
            out << r.seq;
        return out;
    }

    bool settled(int timeoutMs = 8000)
    {
        return bank->waitUntil(
            [this] {
                return !store().statsPending && !state(0).busy() && !state(1).busy()
                    && HidBridge::instance()->backgroundQueueDepth() == 0;
            },
            timeoutMs);
    }

    // Connects, lets the first poll load the abnormal log, and stops the timer so that the test
    // alone decides when the statistics are polled.
    bool connectAndLoad(const SimulatedPowerBank::Model& model)
    {
        bank = openPowerBank(model);
        if (!bank)
            return false;
        Access::stopPollTimer(*api);
        return bank->waitUntil([this] { return state(1).loaded && !state(1).busy(); }, 8000) && settled();
    }

    // One poll and everything it causes.
    bool pollOnce()
    {
        Access::poll(*api);
        return settled();
    }

    // The statistics answer queues the abnormal probe behind the activity log's load, and the
    // service's clock runs past the idle time-out while it waits there. Waiting in the queue is
    // not the device's silence: the poll that lands as the queue empties keeps the probe. The
    // device answers no record request; the test hands the probe its answer, if any.
    void probeWaitsBehindTheActivityLoad()
    {
        SimulatedPowerBank::Model model = sevenAbnormal();
        fillLog(model, 0, 11, 30);
        QVERIFY(connectAndLoad(model));
        bank->addRule(recordsRule(SimulatedPowerBank::Action::Drop, -1));
        const int records = recordRequestCount();
        // As soon as the probe is queued, before it can leave the queue.
        connect(
            api.get(), &HidServiceApi::staticsEvent, this, [this] { clockMs += 31000; }, Qt::SingleShotConnection);
        Access::poll(*api);
        api->requestActivityEvents(2, 30);
        const QByteArray probe = recordRequest(1, 0, 3);
        // The probe's request is written, and the service has been told that it left the queue.
        QVERIFY(bank->waitUntil(
            [&] {
                return recordRequests(records).contains(probe) && HidBridge::instance()->backgroundQueueDepth() == 0
                    && state(1).queuedTicket == 0;
            },
            10000));
        QList<QByteArray> expected;
        for (int start = 0; start < 30; start += 3)
            expected << recordRequest(0, start, 3);
        expected << probe;
        QCOMPARE(recordRequests(records), expected);

        LogMark mark;
        Access::poll(*api);
        QVERIFY2(!mark.has(kIdleLine), qPrintable(mark.lines().join('\n')));
        QVERIFY(state(1).probing);
        QVERIFY(store().statsDeferred);
    }

    static SimulatedPowerBank::Model sevenAbnormal()
    {
        SimulatedPowerBank::Model m = SimulatedPowerBank::demoModel();
        m.battery.cellCount = 1;
        m.abnormalLog = {};
        m.abnormalLog.no = 5;
        fillLog(m, 1, 1, 7);
        m.activityLog = {};
        m.activityLog.no = 2;
        fillLog(m, 0, 1, 10);
        return m;
    }

private slots:
    void initTestCase() { QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper"); }

    void init()
    {
        clockMs = 5'000'000;
        api = std::make_unique<HidServiceApi>(nullptr);
        api->setClock([this] { return clockMs; });
        // No time query may leave the machine: a local port where nobody listens.
        api->setTimeServers({{QHostAddress::LocalHost, 9}});
    }

    void cleanup()
    {
        HidBridge::instance()->closeDevice();
        bank.reset();
        api.reset();
    }

    void fullLoadFromEmpty()
    {
        AllSignals spies(api.get());
        LogMark mark;
        bool syncStartedBeforeStatistics = false;
        connect(api.get(), &HidServiceApi::staticsEvent, this, [&] { syncStartedBeforeStatistics = state(1).busy(); });
        QVERIFY(connectAndLoad(sevenAbnormal()));
        QVERIFY(mark.has("handleDeviceEvents: statistic abnormalNo(5), activityNo(2), abnormalCount(7), "
                         "activityCount(10), maxTemp(452), minTemp(-53), maxVoltage(16750), minVoltage(12010), "
                         "maxCharge(6500), maxDischarge(9800)"));
        QCOMPARE(spies["staticsEvent"].count(), 1);
        QCOMPARE(spies["staticsEvent"].first(), (QVariantList{5, 2, 7, 10, 452, -53, 16750, 12010, 6500, 9800}));
        QVERIFY(syncStartedBeforeStatistics);
        QCOMPARE(spies["abnormalEvent"].count(), 0);
        QCOMPARE(spies["eventCacheReset"].count(), 0);
        QCOMPARE(recordRequests(),
                 (QList<QByteArray>{recordRequest(1, 0, 3), recordRequest(1, 3, 3), recordRequest(1, 6, 1)}));
        const QVariantMap meta = api->abnormalLogCacheMeta();
        QCOMPARE(meta.value("available").toULongLong(), 7u);
        QCOMPARE(meta.value("target").toInt(), 7);
        QCOMPARE(meta.value("syncing").toBool(), false);
        QCOMPARE(meta.value("complete").toBool(), true);
        QCOMPARE(meta.value("revision").toULongLong(), 3u); // one per answer that added records
        QCOMPARE(cachedSeqs(1), deviceSeqs(bank->model().abnormalLog));
        QVERIFY(store().activityCache.isEmpty()); // loaded only when asked for
        QCOMPARE(state(1).loadedNo, 5);
        QCOMPARE(state(1).loadedCount, 7);
    }

    void unchangedStatisticsCostOneHeadProbe()
    {
        QVERIFY(connectAndLoad(sevenAbnormal()));
        const quint64 revision = api->abnormalLogCacheMeta().value("revision").toULongLong();
        for (int round = 1; round <= 3; ++round) {
            const int stats = statisticsRequestCount();
            const int records = recordRequestCount();
            QVERIFY(pollOnce());
            QCOMPARE(statisticsRequestCount(), stats + 1);
            QCOMPARE(recordRequests(records), (QList<QByteArray>{recordRequest(1, 0, 3)}));
        }
        const QVariantMap meta = api->abnormalLogCacheMeta();
        QCOMPARE(meta.value("revision").toULongLong(), revision);
        QCOMPARE(meta.value("complete").toBool(), true);
        QCOMPARE(cachedSeqs(1), (QList<int>{7, 6, 5, 4, 3, 2, 1}));
    }

    void activityGrowthIsOneRequest()
    {
        QVERIFY(connectAndLoad(sevenAbnormal()));
        AllSignals spies(api.get());
        api->requestActivityEvents(2, 10);
        QVERIFY(settled());
        QCOMPARE(spies["activityEvent"].count(), 10);
        QCOMPARE(spies["eventCacheReset"].count(), 1);
        QCOMPARE(spies["eventCacheReset"].first().first().toInt(), 0);

        bank->update([](SimulatedPowerBank::Model& m) { fillLog(m, 0, 11, 12); });
        spies.clear();
        const int records = recordRequestCount();
        api->requestActivityEvents(2, 12);
        QVERIFY(settled());
        QCOMPARE(recordRequests(records), (QList<QByteArray>{recordRequest(0, 0, 3)}));
        QCOMPARE(spies["activityEvent"].count(), 2);
        QCOMPARE(spies["activityEvent"][0][0].toInt(), 12);
        QCOMPARE(spies["activityEvent"][1][0].toInt(), 11);
        QCOMPARE(spies["eventCacheReset"].count(), 0);
        QVERIFY(state(0).loaded && state(0).complete);
        QCOMPARE(state(0).loadedCount, 12);
        QCOMPARE(store().activityCache.size(), 12);

        // Asking again for the loaded snapshot replays the cache and sends nothing.
        spies.clear();
        api->requestActivityEvents(2, 12);
        QCOMPARE(spies["activityEvent"].count(), 12);
        QCOMPARE(recordRequestCount(), records + 1);

        // A probe of it re-reads the newest three and, finding them as cached, emits nothing.
        spies.clear();
        api->probeActivityEvents(2, 12);
        QVERIFY(settled());
        QCOMPARE(recordRequests(records + 1), (QList<QByteArray>{recordRequest(0, 0, 3)}));
        QCOMPARE(spies.total(), 0);
        QVERIFY(state(0).loaded && state(0).complete);
    }

    // The abnormal log changes on the device; the next statistics answer brings the cache in line.
    void abnormalLogChanges_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QList<QByteArray>>("requests");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("revisionDelta");

        const QByteArray a = recordRequest(1, 0, 3), b = recordRequest(1, 3, 3), c = recordRequest(1, 6, 1);
        QTest::newRow("cleared under a new number")
            << 0 << QList<QByteArray>{} << "requestAbnormalEvents: loadedNo=5,loadedCount=7,no=6,amount=0,action=1"
            << 1;
        QTest::newRow("cleared under the same number")
            << 1 << QList<QByteArray>{} << "requestAbnormalEvents: loadedNo=5,loadedCount=7,no=5,amount=0,action=1"
            << 1;
        QTest::newRow("full ring drops its oldest")
            << 2 << QList<QByteArray>{a, a, b, c} << "finishEventResponse: newest records changed, rebuild cache" << 4;
        QTest::newRow("new number, same count")
            << 3 << QList<QByteArray>{a, b, c}
            << "requestAbnormalEvents: loadedNo=5,loadedCount=7,no=6,amount=7,action=1" << 4;
        QTest::newRow("grew by two") << 4 << QList<QByteArray>{a}
                                     << "requestAbnormalEvents: loadedNo=5,loadedCount=7,no=5,amount=9,action=2" << 1;
        const QByteArray b9 = recordRequest(1, 3, 3), c9 = recordRequest(1, 6, 3);
        QTest::newRow("replaced by a longer log")
            << 5 << QList<QByteArray>{a, b9, c9, a, b9, c9}
            << "finishEventResponse: incremental anchor not found, rebuild cache" << 7;
    }

    void abnormalLogChanges()
    {
        QFETCH(int, change);
        QFETCH(QList<QByteArray>, requests);
        QFETCH(QString, line);
        QFETCH(int, revisionDelta);

        QVERIFY(connectAndLoad(sevenAbnormal()));
        const QVariantMap snapshot = api->beginAbnormalLogSnapshot();
        bank->update([change](SimulatedPowerBank::Model& m) {
            switch (change) {
            case 0:
                m.clearEventLog(1);
                break;
            case 1:
                m.clearEventLog(1, true);
                break;
            case 2:
                m.abnormalLog.capacity = 7;
                fillLog(m, 1, 8, 8);
                break;
            case 3:
                m.abnormalLog.no = 6;
                break;
            case 4:
                fillLog(m, 1, 8, 9);
                break;
            case 5:
                m.abnormalLog.records.clear();
                fillLog(m, 1, 101, 109, 1800000000);
                break;
            }
        });
        const int records = recordRequestCount();
        LogMark mark;
        QVERIFY(pollOnce());

        QCOMPARE(recordRequests(records), requests);
        QVERIFY2(mark.has(line), qPrintable(mark.lines().join('\n')));
        const SimulatedPowerBank::Model model = bank->model();
        // The snapshot taken before stays as it was.
        QCOMPARE(api->readAbnormalLogSnapshot(0, 50).size(), 7);
        const QVariantMap meta = api->abnormalLogCacheMeta();
        QCOMPARE(meta.value("complete").toBool(), true);
        QCOMPARE(meta.value("syncing").toBool(), false);
        QCOMPARE(meta.value("target").toInt(), model.abnormalLog.records.size());
        QCOMPARE(meta.value("revision").toULongLong(),
                 snapshot.value("snapshotRevision").toULongLong() + revisionDelta);
        QCOMPARE(state(1).loadedNo, model.abnormalLog.no);
        api->beginAbnormalLogSnapshot();
        QList<int> shown;
        for (const QVariant& row : api->readAbnormalLogSnapshot(0, 50))
            shown << row.toMap().value("seq").toInt();
        QCOMPARE(shown, deviceSeqs(model.abnormalLog));
    }

    // Record indices are 16-bit: a log longer than 256 records loads whole, and the requests past
    // index 255 carry the high byte of their start.
    void logPastOneByteOfIndexLoadsWhole_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("activity") << 0;
        QTest::newRow("abnormal") << 1;
    }

    void logPastOneByteOfIndexLoadsWhole()
    {
        QFETCH(int, type);
        const int count = 280;
        SimulatedPowerBank::Model model = sevenAbnormal();
        if (type == 1) {
            model.abnormalLog.records.clear();
            fillLog(model, 1, 1, count);
        } else {
            model.activityLog.records.clear();
            fillLog(model, 0, 1, count);
        }
        bank = openPowerBank(model);
        QVERIFY(bank);
        Access::stopPollTimer(*api);
        if (type == 0) {
            QVERIFY(bank->waitUntil([this] { return state(1).loaded && !state(1).busy(); }, 8000) && settled());
            api->requestActivityEvents(model.activityLog.no, count);
        }
        QVERIFY(bank->waitUntil([this, type] { return state(uint8_t(type)).loaded && !state(uint8_t(type)).busy(); },
                                30000));
        QVERIFY(settled());

        const SimulatedPowerBank::EventLog& log = type == 1 ? bank->model().abnormalLog : bank->model().activityLog;
        QCOMPARE(cachedSeqs(uint8_t(type)), deviceSeqs(log));
        QCOMPARE(cachedSeqs(uint8_t(type)).size(), count);
        QVERIFY(state(uint8_t(type)).complete);
        QCOMPARE(state(uint8_t(type)).loadedCount, count);
        QList<QByteArray> ofType;
        for (const QByteArray& r : recordRequests())
            if (uint8_t(r.at(0)) == type)
                ofType << r;
        QVERIFY(ofType.contains(recordRequest(type, 252, 3)));
        QVERIFY(ofType.contains(recordRequest(type, 255, 3)));
        QVERIFY(ofType.contains(recordRequest(type, 258, 3)));
        QCOMPARE(ofType.last(), recordRequest(type, 279, 1));
        if (type == 1)
            QCOMPARE(api->abnormalLogCacheMeta().value("complete").toBool(), true);
    }

    // A load queues all of its requests at once. A page's requests made while a long one runs go
    // out ahead of the rest, within a few turns, for either log, and the load still completes
    // whole, its requests in order.
    void pageRequestsGoAheadOfALongLoad_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("activity") << 0;
        QTest::newRow("abnormal") << 1;
    }

    void pageRequestsGoAheadOfALongLoad()
    {
        QFETCH(int, type);
        const int count = 450;
        SimulatedPowerBank::Model model = sevenAbnormal();
        model.abnormalLog.records.clear(); // so the new one is loaded in full
        QVERIFY(connectAndLoad(model));
        bank->update([type, count](SimulatedPowerBank::Model& m) {
            m.log(uint8_t(type)).records.clear();
            m.log(uint8_t(type)).no = 9;
            fillLog(m, uint8_t(type), 1, count);
        });
        const int before = recordRequestCount();
        QSignalSpy ports(api.get(), &HidServiceApi::portInfo);
        QSignalSpy currentEvents(api.get(), &HidServiceApi::currentEvent);
        if (type == 0)
            api->requestActivityEvents(9, count);
        else
            Access::poll(*api); // its answer starts the load

        for (int round = 0; round < 3; ++round) {
            QVERIFY(bank->waitForRequest(0x11, 0x02, before + 20 + 40 * round, 10000));
            const int written = bank->requestCount();
            api->requestInputOutputInfo(0, 4);
            api->requestCellCurrentEvent();
            QVERIFY(bank->waitForRequest(0x20, 0x04, round + 1, 2000));
            const auto requests = bank->requests();
            qsizetype portsAt = -1, currentAt = -1;
            for (qsizetype i = written; i < requests.size(); ++i) {
                if (requests[i].command == 0x31 && portsAt < 0)
                    portsAt = i - written;
                if (requests[i].command == 0x20 && requests[i].subCommand == 0x04 && currentAt < 0)
                    currentAt = i - written;
            }
            // At most the record request that was already due goes first.
            QVERIFY2(portsAt >= 0 && portsAt <= 1 && currentAt == portsAt + 1,
                     qPrintable(QStringLiteral("round %1: port request written %2th, current event %3th")
                                    .arg(round)
                                    .arg(portsAt)
                                    .arg(currentAt)));
            QVERIFY(state(uint8_t(type)).loading);
        }
        QTRY_COMPARE_WITH_TIMEOUT(currentEvents.count(), 3, 2000);
        QVERIFY(ports.count() >= 3 * 4);

        QVERIFY(bank->waitUntil([this, type] { return state(uint8_t(type)).loaded && !state(uint8_t(type)).busy(); },
                                60000));
        QVERIFY(settled());
        const SimulatedPowerBank::Model device = bank->model();
        QCOMPARE(cachedSeqs(uint8_t(type)), deviceSeqs(device.log(uint8_t(type))));
        QVERIFY(state(uint8_t(type)).complete);
        QList<QByteArray> expected;
        for (int start = 0; start < count; start += 3)
            expected << recordRequest(type, start, 3);
        QList<QByteArray> ofType;
        for (const QByteArray& r : recordRequests(before))
            if (uint8_t(r.at(0)) == type)
                ofType << r;
        QCOMPARE(ofType, expected);
    }

    // A lost answer leaves the load hanging; the poll waits, and abandons it after 30 s of silence.
    void droppedAnswerRecoversAfterIdleTimeout()
    {
        bank = std::make_unique<SimulatedPowerBank>(sevenAbnormal(), supportedIdentity());
        bank->addRule(recordsRule(SimulatedPowerBank::Action::Drop, 1));
        HidBridge::instance()->openSupportedPowerBank();
        QVERIFY(HidBridge::instance()->connected());
        Access::stopPollTimer(*api);
        QVERIFY(bank->waitForRequest(0x11, 0x02, 3));
        QVERIFY(bank->waitUntil([this] { return state(1).received == 4; }));
        QVERIFY(settle(*bank)); // the dropped answer's records never come
        QVERIFY(state(1).loading);
        QCOMPARE(api->abnormalLogCacheMeta().value("syncing").toBool(), true);
        QCOMPARE(state(1).received, 4);

        const int stats = statisticsRequestCount();
        clockMs += 29999;
        Access::poll(*api);
        QVERIFY(settle(*bank)); // a request would have gone out by now; none may
        QCOMPARE(statisticsRequestCount(), stats);
        QVERIFY(store().statsDeferred);

        LogMark mark;
        clockMs += 1;
        QVERIFY(pollOnce());
        QVERIFY(mark.has("requestAbnormalEvents: response idle timeout, invalidate cache"));
        QCOMPARE(statisticsRequestCount(), stats + 1);
        QVERIFY(!store().statsDeferred);
        const QVariantMap meta = api->abnormalLogCacheMeta();
        QCOMPARE(meta.value("complete").toBool(), true);
        QCOMPARE(meta.value("available").toULongLong(), 7u);
        QCOMPARE(cachedSeqs(1), (QList<int>{7, 6, 5, 4, 3, 2, 1}));
    }

    void syncThatWaitedInTheQueueCompletes()
    {
        probeWaitsBehindTheActivityLoad();
        if (QTest::currentTestFailed())
            return;
        const quint64 revision = store().abnormalRevision;
        LogMark mark;
        const QList<EventRecord> newest = bank->model().abnormalLog.records.mid(0, 3);
        const int stats = statisticsRequestCount();
        api->dispatchDecodedFrame(recordsFrame(newest));
        QVERIFY(state(1).loaded && state(1).complete && !state(1).busy());
        // The deferred poll runs; its answer probes the loaded log again instead of loading it anew.
        QVERIFY(bank->waitForRequest(0x11, 0x01, stats + 1));
        QVERIFY(bank->waitUntil([this] { return !store().statsPending; }));
        QVERIFY(state(1).probing && !state(1).loading);
        QCOMPARE(cachedSeqs(1), (QList<int>{7, 6, 5, 4, 3, 2, 1}));
        QCOMPARE(store().abnormalRevision, revision);
        QVERIFY(!mark.has(kIdleLine));
    }

    // Idleness counts from the moment the request left the queue.
    void syncThatWaitedInTheQueueTimesOutFromItsWrite()
    {
        probeWaitsBehindTheActivityLoad();
        if (QTest::currentTestFailed())
            return;
        LogMark mark;
        clockMs += 29999;
        Access::poll(*api);
        QVERIFY(!mark.has(kIdleLine));
        QVERIFY(state(1).probing);
        clockMs += 1;
        Access::poll(*api);
        QVERIFY(mark.has(kIdleLine));
        QVERIFY(!state(1).busy());
    }

    void silentDeviceGetsStatisticsAgainAfter30s()
    {
        QVERIFY(connectAndLoad(sevenAbnormal()));
        bank->setSilent(true);
        const int stats = statisticsRequestCount();
        Access::poll(*api);
        QVERIFY(statisticsWritten(stats + 1));
        QVERIFY(store().statsPending);
        api->requestStatisticEvents(); // pending: the page's request waits too

        clockMs += 20000;
        Access::poll(*api);
        QVERIFY(settle(*bank)); // a request would have gone out by now; none may
        QCOMPARE(statisticsRequestCount(), stats + 1);

        LogMark mark;
        clockMs += 10000;
        Access::poll(*api);
        QVERIFY(statisticsWritten(stats + 2));
        QVERIFY(mark.has("requestStatisticEvents: background response timeout, retry"));
        QVERIFY(store().statsPending);
        QCOMPARE(store().statsSentMs, clockMs);

        bank->setSilent(false);
        clockMs += 30000;
        QVERIFY(pollOnce());
        QCOMPARE(api->abnormalLogCacheMeta().value("complete").toBool(), true);
    }

    // The retry waits while the request itself still waits in the background queue behind
    // other traffic, however long that takes, and gives the device 30 s from the moment it left.
    void statisticsRetryWaitsForTheBackgroundQueue()
    {
        QVERIFY(connectAndLoad(sevenAbnormal()));
        bank->setSilent(true);
        api->requestActivityEvents(2, 300); // 100 reports, queued before the statistics
        const int stats = statisticsRequestCount();
        Access::poll(*api);
        QVERIFY(store().statsPending);
        const qint64 sent = store().statsSentMs;
        QVERIFY(HidBridge::instance()->backgroundQueueDepth() > 0);
        LogMark mark;
        clockMs += 60000;
        Access::poll(*api);
        QVERIFY(!mark.has("requestStatisticEvents: background response timeout, retry"));
        QCOMPARE(store().statsSentMs, sent);
        QCOMPARE(statisticsRequestCount(), stats); // still queued behind the load's requests
        QVERIFY(HidBridge::instance()->backgroundQueueDepth() > 0);

        QVERIFY(statisticsWritten(stats + 1, 60000));
        Access::poll(*api);
        QVERIFY(!mark.has("requestStatisticEvents: background response timeout, retry"));
        clockMs += 30000;
        Access::poll(*api);
        QVERIFY(mark.has("requestStatisticEvents: background response timeout, retry"));
        QVERIFY(bank->waitForRequest(0x11, 0x01, stats + 2));
    }

    void pollHeldBackWhileLoadingRunsWhenTheLoadEnds()
    {
        SimulatedPowerBank::Model m = sevenAbnormal();
        QVERIFY(connectAndLoad(m));
        bank->update([](SimulatedPowerBank::Model& model) { model.abnormalLog.no = 6; });
        bank->addRule(recordsRule(SimulatedPowerBank::Action::Latency, -1, 300));
        Access::poll(*api);
        QVERIFY(bank->waitUntil([this] { return state(1).loading; }));
        const int stats = statisticsRequestCount();
        clockMs += 10000;
        Access::poll(*api);
        QVERIFY(store().statsDeferred);
        QVERIFY(bank->waitUntil([this] { return !state(1).loading; }, 8000));
        QVERIFY(bank->waitForRequest(0x11, 0x01, stats + 1));
        QVERIFY(settled());
        QVERIFY(!store().statsDeferred);
        QCOMPARE(api->abnormalLogCacheMeta().value("complete").toBool(), true);
    }

    // A duplicate seq with other content: the load ends incomplete, the first probe of the same
    // snapshot waits, the second reloads in full.
    void incompleteCacheIsReconciledOnTheSecondProbe()
    {
        SimulatedPowerBank::Model m = sevenAbnormal();
        m.abnormalLog.records[3].info = 99;
        m.abnormalLog.records[3].seq = m.abnormalLog.records[2].seq;
        LogMark mark;
        QVERIFY(connectAndLoad(m));
        QVERIFY(mark.has("handleDeviceEvents: conflicting duplicate seq=5"));
        QVERIFY(mark.has("finishEventResponse: incomplete cache, received=7,unique=6,target=7,keep cache available "
                         "until snapshot is stable"));
        QVariantMap meta = api->abnormalLogCacheMeta();
        QCOMPARE(meta.value("complete").toBool(), false);
        QCOMPARE(meta.value("available").toULongLong(), 6u);

        int records = recordRequestCount();
        QVERIFY(pollOnce());
        QCOMPARE(recordRequestCount(), records);
        QCOMPARE(state(1).stableCount, 1);

        LogMark second;
        QVERIFY(pollOnce());
        QVERIFY(second.has("requestAbnormalEvents: snapshot stable, reconcile incomplete cache"));
        QCOMPARE(recordRequests(records),
                 (QList<QByteArray>{recordRequest(1, 0, 3), recordRequest(1, 3, 3), recordRequest(1, 6, 1)}));
        QCOMPARE(state(1).stableCount, 0);
        QCOMPARE(api->abnormalLogCacheMeta().value("available").toULongLong(), 6u);
    }

    void requestWhileLoadingIsSavedAndRunsAfterwards()
    {
        QVERIFY(connectAndLoad(sevenAbnormal()));
        bank->addRule(recordsRule(SimulatedPowerBank::Action::Latency, -1, 200));
        AllSignals spies(api.get());
        api->requestActivityEvents(2, 10);
        QVERIFY(bank->waitUntil([this] { return state(0).received >= 3; }));
        const int early = spies["activityEvent"].count();
        LogMark mark;
        api->requestActivityEvents(2, 7);
        api->requestActivityEvents(2, 10); // only the last saved request runs
        QVERIFY(mark.has("requestActivityEvents: already loading, save pending snapshot no=2,amount=10"));
        QCOMPARE(spies["activityEvent"].count(), early * 3); // the cache so far, replayed twice
        QVERIFY(settled());
        QCOMPARE(recordRequests().size(), 3 + 4);
        // The saved request found the snapshot loaded and replayed all ten.
        const int total = spies["activityEvent"].count();
        QCOMPARE(total, early * 3 + (10 - early) + 10);
        QCOMPARE(spies["activityEvent"][total - 10][0].toInt(), 10);
        QCOMPARE(spies["activityEvent"][total - 1][0].toInt(), 1);
    }

    void oldestGapIsRepaired()
    {
        QVERIFY(connectAndLoad(sevenAbnormal()));
        api->requestActivityEvents(2, 10);
        QVERIFY(settled());
        store().activityCache.resize(8); // a cache that lost its two oldest
        bank->update([](SimulatedPowerBank::Model& m) { fillLog(m, 0, 11, 12); });
        const int records = recordRequestCount();
        LogMark mark;
        api->requestActivityEvents(2, 12);
        QVERIFY(settled());
        QVERIFY(mark.has("finishEventResponse: repair oldest cache gap, start=10,amount=2"));
        QCOMPARE(recordRequests(records), (QList<QByteArray>{recordRequest(0, 0, 3), recordRequest(0, 10, 2)}));
        QCOMPARE(cachedSeqs(0), (QList<int>{10, 9, 8, 7, 6, 5, 4, 3, 12, 11, 2, 1}));
        QVERIFY(state(0).loaded && state(0).complete);
    }

    // Answers that do not fit are logged and dropped; they never touch the caches.
    void answersThatDoNotFit()
    {
        QVERIFY(connectAndLoad(sevenAbnormal()));
        const QList<int> before = cachedSeqs(1);
        AllSignals spies(api.get());
        const int records = recordRequestCount();
        LogMark mark;

        api->dispatchDecodedFrame(plainFrame(0x11, 0x01, QByteArray()));
        api->dispatchDecodedFrame(plainFrame(0x11, 0x01, bytes({6, 2, 0, 0})));
        api->dispatchDecodedFrame(plainFrame(0x11, 0x02, QByteArray(20, '\0')));
        api->dispatchDecodedFrame(plainFrame(0x11, 0x02, QByteArray()));
        api->dispatchDecodedFrame(recordsFrame({EventRecord{42, 1, 0, 1, 0, 0}}));
        api->dispatchDecodedFrame(plainFrame(0x11, 0x07, bytes({1})));
        api->requestActivityEvents(2, -1);
        api->requestActivityEvents(2, 70000);

        QCOMPARE(mark.count("handlePacketReceived: short answer dropped, command=11, subcmd=1, len=0, need=18"), 1);
        QCOMPARE(mark.count("handlePacketReceived: short answer dropped, command=11, subcmd=1, len=4, need=18"), 1);
        QCOMPARE(mark.count("handleDeviceEvents: invalid event payload length=20"), 1);
        QCOMPARE(mark.count("handleDeviceEvents: no events"), 1);
        QCOMPARE(mark.count("handleDeviceEvents: ignore stale event seq=42"), 1);
        QCOMPARE(mark.count("requestActivityEvents: invalid amount=-1"), 1);
        QCOMPARE(mark.count("requestActivityEvents: invalid amount=70000"), 1);
        QCOMPARE(spies.total(), 0);
        QCOMPARE(cachedSeqs(1), before);
        QCOMPARE(recordRequestCount(), records);
        QVERIFY(!state(0).busy() && !state(0).loaded);
        QCOMPARE(api->abnormalLogCacheMeta().value("complete").toBool(), true);
    }

    // One answer may carry both logs and records of unknown type: the known ones are taken, the
    // activity log finishes first.
    void mixedAnswer()
    {
        QVERIFY(connectAndLoad(sevenAbnormal()));
        bank->addRule(recordsRule(SimulatedPowerBank::Action::Drop, -1));
        api->requestActivityEvents(2, 2);
        bank->update([](SimulatedPowerBank::Model& m) { m.abnormalLog.no = 8; });
        api->dispatchDecodedFrame(
            plainFrame(0x11, 0x01, bytes({8, 2, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
        QVERIFY(state(0).loading && state(1).loading);

        AllSignals spies(api.get());
        LogMark mark;
        const quint64 revision = store().abnormalRevision;
        api->dispatchDecodedFrame(recordsFrame(
            {EventRecord{201, 10, 1, 0, 3, 0}, EventRecord{300, 11, 0, 2, 0, 0}, EventRecord{301, 12, 2, 1, 4, -7}}));
        QVERIFY(mark.has("handleDeviceEvents: Not matched resolved for type 2"));
        QVERIFY(mark.has("handleDeviceEvents: activity seq(201), ts(10), state(1), info(3), code(0)"));
        QVERIFY(mark.has("handleDeviceEvents: abnormal seq(301), ts(12), state(2), info(4), code(-7)"));
        QCOMPARE(spies["activityEvent"].count(), 1);
        QCOMPARE(store().abnormalRevision, revision + 1);
        QCOMPARE(cachedSeqs(1), (QList<int>{301}));
        QVERIFY(state(1).loaded && state(1).complete);
        QVERIFY(state(0).loading);
        api->dispatchDecodedFrame(recordsFrame({EventRecord{200, 9, 0, 0, 3, 0}}));
        QVERIFY(state(0).loaded && state(0).complete);
        QCOMPARE(cachedSeqs(0), (QList<int>{201, 200}));
    }

    void lossClearsEverything()
    {
        QVERIFY(connectAndLoad(sevenAbnormal()));
        api->requestActivityEvents(2, 10);
        QVERIFY(settled());
        api->beginAbnormalLogSnapshot();
        HidBridge::instance()->closeDevice();
        QVERIFY(QTest::qWaitFor([this] { return store().abnormalCache.isEmpty(); }, 3000));
        QVERIFY(store().activityCache.isEmpty());
        QVERIFY(store().snapshot.isEmpty());
        QCOMPARE(store().abnormalRevision, 0u);
        QCOMPARE(store().snapshotRevision, 0u);
        QVERIFY(!state(1).loaded && !state(0).loaded && !state(1).anchorSaved.valid);
        QVERIFY(!store().statsPending && !store().statsDeferred);
    }
};

QTEST_GUILESS_MAIN(TstEventLogSync)
#include "tst_event_log_sync.moc"
