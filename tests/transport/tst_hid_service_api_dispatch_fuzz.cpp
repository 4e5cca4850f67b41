// Random decoded answers through the service's dispatch: every command and sub-command the power
// bank answers (and some it never sends), random lengths and contents, mixed with the requests and
// readers the pages call, receivers that ask again from their handlers as QML does, a clock that
// jumps, and lost connections. The event-log sync runs against a connected power bank that answers
// nothing, so only these answers drive it. Bounded and seeded; run it longer with
// TESSARAVOLT_FUZZ_STEPS and another TESSARAVOLT_FUZZ_SEED. Meant for the sanitizer builds, where a
// read past an answer or a replayed copy, or any undefined behaviour, ends the run.
#include "transport/hid_service_api_test_support.h"
#include "transport/tst_event_log_access.h"

#include "sim/simulated_power_bank.h"
#include "support/simulated_device.h"
#include "transport/event_log_store.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <memory>

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::sim::SimulatedPowerBank;
using Access = tessaravolt::transport::EventLogTestAccess;

namespace {

struct Command
{
    uint8_t command;
    QList<uint8_t> subs;
};

// What the power bank answers, by command.
const QList<Command> kCommands = {
    {0x10, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
            0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x21, 0x22, 0x2F}},
    {0x11, {0x01, 0x02}},
    {0x12, {0x01, 0x02, 0x03}},
    {0x20, {0x01, 0x02, 0x03, 0x04, 0x05}},
    {0x30, {0x00}},
    {0x31, {0x00}},
    {0xA1, {0x01, 0x02, 0x03}},
};

// Payload bytes an answer needs before it may produce a signal; shorter ones are dropped unseen.
int signalFloor(uint8_t command, uint8_t sub)
{
    switch (command) {
    case 0x10:
        switch (sub) {
        case 0x06:
            return 15;
        case 0x07:
        case 0x0A:
            return 1;
        case 0x0E:
            return 4;
        default:
            return 0;
        }
    case 0x11:
        return sub == 0x01 ? 18 : 16;
    case 0x12:
        return sub == 0x01 ? 8 : sub == 0x02 ? 1 : sub == 0x03 ? 2 : 0;
    case 0x20:
        return sub == 0x03 ? 2 : sub == 0x04 ? 16 : (sub >= 0x01 && sub <= 0x05) ? 1 : 0;
    case 0x30:
        return 8;
    case 0x31:
        return 12;
    case 0xA1:
        return 1;
    default:
        return 0;
    }
}

class Fuzzer
{
public:
    Fuzzer(HidServiceApi& api, SimulatedPowerBank& bank, quint32 seed)
        : m_api(api)
        , m_bank(bank)
        , m_random(seed)
    { }

    qint64 clockMs = 7'000'000;
    QSet<QString> reached; // sync states seen at least once

    int below(int n) { return int(m_random.bounded(quint32(n))); }
    bool chance(int percent) { return below(100) < percent; }
    QByteArray randomBytes(int n)
    {
        QByteArray out(n, '\0');
        for (char& c : out)
            c = char(below(256));
        return out;
    }

    // A statistics answer. The logs' numbers and counts change now and then, as a power bank's
    // do, and stay small enough for loads to finish.
    QByteArray statistics()
    {
        for (int type : {0, 1}) {
            if (chance(25)) {
                m_no[type] = uint8_t(1 + below(3));
                m_count[type] = uint16_t(below(chance(5) ? 200 : 8));
            }
        }
        QByteArray p = randomBytes(18);
        p[0] = char(m_no[1]);
        p[1] = char(m_no[0]);
        p[2] = char(m_count[1] & 0xFF);
        p[3] = 0;
        p[4] = char(m_count[0] & 0xFF);
        p[5] = 0;
        return p;
    }

    // One to three records from a small set of sequence numbers, so that duplicates, conflicts,
    // anchors and gaps all occur.
    QByteArray records()
    {
        QByteArray p;
        const int n = 1 + below(3);
        for (int i = 0; i < n; ++i) {
            QByteArray r = randomBytes(16);
            const int seq = below(16);
            r[0] = char(seq);
            r[1] = 0;
            if (!chance(10)) {
                const quint64 ts = 1'700'000'000ull + quint64(seq) * 60 + (chance(10) ? below(2) : 0);
                for (int b = 0; b < 8; ++b)
                    r[2 + b] = char((ts >> (8 * b)) & 0xFF);
            }
            const int type = chance(5) ? 2 + below(2) : below(2);
            r[10] = char((seq & 0x0F) | (type << 4));
            r[12] = char(seq % 8);
            r[14] = char(seq);
            r[15] = 0;
            p += r;
        }
        return p;
    }

    QByteArray answer(uint8_t& command, uint8_t& sub)
    {
        // Record answers come often, statistics seldom, as from a power bank in the middle of a load.
        const int kind = below(100);
        if (kind < 35) {
            command = 0x11;
            sub = 0x02;
            return chance(85) ? records() : randomBytes(below(49));
        }
        if (kind < 38) {
            command = 0x11;
            sub = 0x01;
            // Wholly random statistics are rare: their counts start loads that outlast the run.
            if (below(1000) < 3)
                return randomBytes(below(49));
            QByteArray p = statistics();
            return chance(10) ? p.left(below(18)) : p + randomBytes(below(31));
        }
        if (chance(3)) {
            command = uint8_t(below(256));
            sub = uint8_t(below(256));
        } else {
            const Command& c = kCommands[below(int(kCommands.size()))];
            command = c.command;
            sub = chance(3) ? uint8_t(below(256)) : c.subs[below(int(c.subs.size()))];
            if (command == 0x11) // its answers come above; here only sub-commands it does not know
                sub = uint8_t(3 + below(253));
        }
        // Lengths around the point where an answer becomes long enough are the interesting ones.
        const int floor = signalFloor(command, sub);
        const int length = chance(50) ? qBound(0, floor - 2 + below(4), 48) : below(49);
        return randomBytes(length);
    }

    void dispatchOne(AllSignals& spies)
    {
        uint8_t command = 0, sub = 0;
        const QByteArray payload = answer(command, sub);
        spies.clear();
        m_api.dispatchDecodedFrame(plainFrame(command, sub, payload));
        const bool known =
            std::any_of(kCommands.begin(), kCommands.end(), [&](const Command& c) { return c.command == command; });
        const bool tooShort =
            payload.size() < signalFloor(command, sub) || (command == 0x11 && sub == 0x02 && payload.size() % 16 != 0);
        if ((!known || tooShort) && spies.total() != 0) {
            QFAIL(qPrintable(QStringLiteral("answer %1/%2 with %3 payload bytes emitted %4")
                                 .arg(command, 0, 16)
                                 .arg(sub, 0, 16)
                                 .arg(payload.size())
                                 .arg(spies.emitted().join(QLatin1Char(',')))));
        }
    }

    void callOne()
    {
        const uint8_t no = uint8_t(1 + below(3));
        const int amounts[] = {-1, 0, 1, 2, 3, 4, 7, 12, 15, 70000};
        const int amount = chance(70) ? below(16) : amounts[below(10)];
        switch (below(17)) {
        case 0:
            m_api.requestStaticInfo();
            break;
        case 1:
            m_api.requestAppTitle();
            break;
        case 2:
            m_api.requestStaticCellInfo();
            break;
        case 3:
            m_api.requestPortCount();
            break;
        case 4:
            m_api.requestCellRealtimeStatus();
            break;
        case 5:
            m_api.requestCellCurrentEvent();
            break;
        case 6:
            m_api.requestInputOutputInfo(uint8_t(below(256)), uint8_t(below(256)));
            break;
        case 7:
            m_api.requestDeviceSettings();
            break;
        case 8:
            m_api.requestStatisticEvents();
            break;
        case 9:
            m_api.requestActivityEvents(no, amount);
            break;
        case 10:
            m_api.probeActivityEvents(no, amount);
            break;
        case 11:
            m_api.requestAbnormalEvents(no, amount);
            break;
        case 12:
            m_api.probeAbnormalEvents(no, amount);
            break;
        case 13:
            m_api.abnormalLogCacheMeta();
            break;
        case 14:
            m_api.beginAbnormalLogSnapshot();
            break;
        case 15: {
            const QVariantList rows = m_api.readAbnormalLogSnapshot(below(30) - 3, below(80) - 3);
            QVERIFY(rows.size() <= 50);
            break;
        }
        case 16:
            if (chance(20)) {
                m_api.getCachedActivityLogs();
                m_api.getCachedAbnormalLogs();
            }
            break;
        }
    }

    void passTime()
    {
        clockMs += chance(30) ? 30000 + below(20000) : below(6000);
        Access::poll(m_api);
    }

    // The link is closed and opened again; the service sees the loss and then a new connection.
    void reconnect()
    {
        // The loss reaches the service queued from the link's worker and must land before the new
        // connection does; a queued receiver connected after the service's runs after it.
        bool lost = false;
        const QMetaObject::Connection watch = QObject::connect(
            HidBridge::instance(), &HidBridge::connectedChanged, &m_api,
            [&lost](bool connected) { lost = lost || !connected; }, Qt::QueuedConnection);
        HidBridge::instance()->closeDevice();
        QTRY_VERIFY(lost);
        QObject::disconnect(watch);
        QVERIFY(Access::store(m_api).abnormalCache.isEmpty());
        m_bank.setSilent(false);
        QVERIFY(HidBridge::instance()->openSupportedPowerBank());
        m_bank.setSilent(true);
        Access::stopPollTimer(m_api);
    }

    void observe()
    {
        for (const uint8_t type : {uint8_t(0), uint8_t(1)}) {
            const EventSyncState& s = Access::state(m_api, type);
            const QString log = type == 1 ? QStringLiteral("abnormal ") : QStringLiteral("activity ");
            if (s.loaded && s.complete)
                reached.insert(log + QStringLiteral("complete"));
            if (s.loaded && !s.complete)
                reached.insert(log + QStringLiteral("incomplete"));
            if (s.probing)
                reached.insert(log + QStringLiteral("probing"));
            if (s.incremental)
                reached.insert(log + QStringLiteral("incremental"));
            if (s.loading && !s.incremental && s.startIndex > 0)
                reached.insert(log + QStringLiteral("gap repair"));
        }
    }

    void checkInvariants()
    {
        EventLogStore& store = Access::store(m_api);
        for (const QList<CacheEvtInfo>* cache : {&store.abnormalCache, &store.activityCache}) {
            QSet<uint16_t> seqs;
            for (const CacheEvtInfo& r : *cache)
                seqs.insert(r.seq);
            QCOMPARE(seqs.size(), cache->size());
        }
        QCOMPARE(m_api.abnormalLogCacheMeta().value("available").toLongLong(), qint64(store.abnormalCache.size()));
    }

private:
    HidServiceApi& m_api;
    SimulatedPowerBank& m_bank;
    QRandomGenerator m_random;
    uint8_t m_no[2] = {1, 1};
    uint16_t m_count[2] = {0, 0};
};

} // namespace

class TstHidServiceApiDispatchFuzz : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper"); }

    void randomAnswers()
    {
        const quint32 seed = qEnvironmentVariableIsSet("TESSARAVOLT_FUZZ_SEED")
            ? quint32(qEnvironmentVariableIntValue("TESSARAVOLT_FUZZ_SEED"))
            : 20240611u;
        const int steps = qEnvironmentVariableIsSet("TESSARAVOLT_FUZZ_STEPS")
            ? qEnvironmentVariableIntValue("TESSARAVOLT_FUZZ_STEPS")
            : 20000;
        qInfo("seed %u, %d steps", seed, steps);

        SimulatedPowerBank::Model model = SimulatedPowerBank::demoModel();
        model.battery.cellCount = 2;
        SimulatedPowerBank bank(model, tessaravolt::test::supportedIdentity());

        HidServiceApi api(nullptr);
        Fuzzer fuzz(api, bank, seed);
        api.setClock([&fuzz] { return fuzz.clockMs; });
        api.setTimeServers({{QHostAddress::LocalHost, 9}});

        // Pages ask again from inside their handlers; the replays must stay bounded.
        connect(&api, &HidServiceApi::brand, &api, [&api] { api.requestStaticInfo(); });
        connect(&api, &HidServiceApi::appTitle, &api, [&api] { api.requestAppTitle(); });
        connect(&api, &HidServiceApi::batteryInfo, &api, [&api] { api.requestStaticCellInfo(); });
        connect(&api, &HidServiceApi::portCount, &api, [&api] { api.requestPortCount(); });
        connect(&api, &HidServiceApi::soc, &api, [&api] { api.requestCellRealtimeStatus(); });

        QVERIFY(HidBridge::instance()->openSupportedPowerBank());
        bank.setSilent(true);
        Access::stopPollTimer(api);

        AllSignals spies(&api);
        for (int step = 0; step < steps; ++step) {
            const int roll = fuzz.below(1000);
            if (roll < 700)
                fuzz.dispatchOne(spies);
            else if (roll < 930)
                fuzz.callOne();
            else
                fuzz.passTime();
            if (step % 2000 == 1999)
                fuzz.reconnect();
            fuzz.observe();
            if (step % 64 == 0) {
                fuzz.checkInvariants();
                QCoreApplication::processEvents();
                // The log must not grow without bound either; what it holds is not looked at here.
                QVERIFY(tessaravolt::common::LoggerManager::instance().totalBytes() <= 8 * 1024 * 1024);
            }
            if (QTest::currentTestFailed()) {
                qWarning("failed at step %d of seed %u", step, seed);
                return;
            }
        }
        fuzz.checkInvariants();
        HidBridge::instance()->closeDevice();

        // The run must have driven the sync through its states, or it proved little.
        if (steps >= 20000) {
            for (const char* state : {"abnormal complete", "abnormal incomplete", "abnormal probing",
                                      "abnormal incremental", "activity complete", "activity incremental"})
                QVERIFY2(fuzz.reached.contains(QLatin1String(state)), state);
        }
    }
};

QTEST_GUILESS_MAIN(TstHidServiceApiDispatchFuzz)
#include "tst_hid_service_api_dispatch_fuzz.moc"
