// The service against the simulated power bank: what it sends on a connection, the frames of
// its settings, the clearing of its caches on a loss, and the device clock from a local SNTP server.
#include "transport/hid_service_api_test_support.h"

#include "sim/simulated_power_bank.h"
#include "support/simulated_device.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QUdpSocket>
#include <QtTest>

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::test::settle;
using tessaravolt::test::supportedIdentity;

namespace {

// A time server's reply to a query: the header fields, the origin time stamp (the query's
// transmit time stamp echoed, or not) and the transmit time, sent from where the query went or
// from elsewhere, at once or after a while.
struct TimeReply
{
    quint32 seconds = 0xE93C7F00; // 2024-01-01 00:00:00 UTC
    quint32 fraction = 0x80000000;
    int leap = 0;
    int mode = 4; // server
    int stratum = 2;
    enum Origin { Echo, Forged, Zero } origin = Echo;
    enum From { Server, OtherPort, OtherAddress } from = Server;
    int size = 48;
    int delayMs = 0;

    QByteArray bytes(const QByteArray& query) const
    {
        QByteArray reply(48, '\0');
        reply[0] = char((leap << 6) | (3 << 3) | mode);
        reply[1] = char(stratum);
        if (origin == Echo)
            reply.replace(24, 8, query.mid(40, 8));
        else if (origin == Forged)
            reply.replace(24, 8, QByteArray::fromHex("e93c7e0012345678"));
        for (int i = 0; i < 4; ++i) {
            reply[40 + i] = char(seconds >> (24 - 8 * i));
            reply[44 + i] = char(fraction >> (24 - 8 * i));
        }
        return reply.left(size);
    }
};

TimeReply withSeconds(quint32 seconds, quint32 fraction = 0x80000000)
{
    TimeReply r;
    r.seconds = seconds;
    r.fraction = fraction;
    return r;
}

} // namespace

Q_DECLARE_METATYPE(TimeReply)

class TstHidServiceApiDevice : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimulatedPowerBank> bank;
    std::unique_ptr<HidServiceApi> api;
    std::unique_ptr<QUdpSocket> ntpServer;
    std::unique_ptr<QUdpSocket> otherPort;
    std::unique_ptr<QUdpSocket> otherAddress; // on 127.0.0.2, when it can be bound
    QHostAddress timeClient;
    quint16 timeClientPort = 0;
    QByteArray lastQuery;

    SimulatedPowerBank::Model threeCells()
    {
        SimulatedPowerBank::Model m = SimulatedPowerBank::demoModel();
        m.battery.cellCount = 3;
        m.cellSerials = {{0, "S0"}, {1, "S1"}, {2, "S2"}};
        m.cellActivations = {{0, "A0"}, {1, "A1"}, {2, "A2"}};
        return m;
    }

    bool connectBank()
    {
        HidBridge::instance()->openSupportedPowerBank();
        return HidBridge::instance()->connected();
    }

    // Time queries reach the test's own server; the client's address is remembered for replies.
    bool waitForTimeQuery(QByteArray* query = nullptr)
    {
        if (!QTest::qWaitFor([this] { return ntpServer->hasPendingDatagrams(); }, 3000))
            return false;
        QByteArray datagram(ntpServer->pendingDatagramSize(), '\0');
        ntpServer->readDatagram(datagram.data(), datagram.size(), &timeClient, &timeClientPort);
        lastQuery = datagram;
        if (query)
            *query = datagram;
        return true;
    }

    void sendPlain(const QByteArray& plain)
    {
        bank->sendAnswer(uint8_t(plain[1]), uint8_t(plain[2]), plain.mid(4, uint8_t(plain[3])));
    }

    // Answers reach the program one at a time and in order: once a last, unknown one is
    // handled, so is every answer sent before it.
    bool earlierAnswersHandled()
    {
        LogMark mark;
        bank->sendAnswer(0x40, 0x00, {});
        return QTest::qWaitFor([&] { return mark.has("handlePacketReceived: ommit cmd"); }, 5000);
    }

    // Connects a power bank without cells, so no per-cell answers follow the battery information.
    bool connectQuietly()
    {
        bank->update([](auto& m) { m.battery.cellCount = 0; });
        LogMark mark;
        return connectBank() && QTest::qWaitFor([&] { return mark.has("handleStaticInfo: battery info"); }, 5000);
    }

    // Sends the reply to the last query received.
    void reply(const TimeReply& r, QUdpSocket* from = nullptr)
    {
        if (!from)
            from = r.from == TimeReply::OtherPort   ? otherPort.get()
                : r.from == TimeReply::OtherAddress ? otherAddress.get()
                                                    : ntpServer.get();
        from->writeDatagram(r.bytes(lastQuery), QHostAddress::LocalHost, api->timeSocketPort());
    }

    // The seconds the power bank's clock was set to once `replies` have been handled, -1 when
    // it was not set; false when more than one clock command went out. Waits for `expected`.
    SntpClient* sntpClient() const { return api->findChild<SntpClient*>(); }

    bool clockAfter(const QList<TimeReply>& replies, qint64 expected, qint64* setTo)
    {
        LogMark mark;
        bank->clearRecords();
        for (const TimeReply& r : replies) {
            if (r.delayMs > 0)
                QTest::qWait(r.delayMs); // the reply's own lateness, which is the case under test
            reply(r);
        }
        if (!QTest::qWaitFor([&] { return mark.count("onUdpDataRecv: Received from:") == replies.size(); }, 5000))
            return false;
        if (expected >= 0)
            bank->waitUntil([&] { return bank->lastClockSet() == quint64(expected); }, 5000);
        // A clock command queued by the last of them has reached the device once the link settles:
        // none more may come.
        if (!settle(*bank))
            return false;
        const auto commands = bank->requestsFor(0xA1, 0x01);
        *setTo = commands.isEmpty() ? -1 : qint64(bank->lastClockSet().value_or(0));
        return commands.size() <= 1;
    }

private slots:
    void initTestCase() { QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper"); }

    void init()
    {
        ntpServer = std::make_unique<QUdpSocket>();
        QVERIFY(ntpServer->bind(QHostAddress::LocalHost, 0));
        otherPort = std::make_unique<QUdpSocket>();
        QVERIFY(otherPort->bind(QHostAddress::LocalHost, 0));
        otherAddress = std::make_unique<QUdpSocket>();
        if (!otherAddress->bind(QHostAddress(QStringLiteral("127.0.0.2")), 0))
            otherAddress.reset();
        lastQuery.clear();
        api = std::make_unique<HidServiceApi>(nullptr);
        api->setTimeServers({{QHostAddress::LocalHost, ntpServer->localPort()}});
        // The replies below are of fixed dates, some long before this program was built.
        sntpClient()->setEarliestTime(0);
        bank = std::make_unique<SimulatedPowerBank>(threeCells(), supportedIdentity());
    }

    void cleanup()
    {
        HidBridge::instance()->closeDevice();
        bank.reset();
        api.reset();
        ntpServer.reset();
        otherPort.reset();
        otherAddress.reset();
    }

    void connectionAsksBatteryThenStatisticsThenCells()
    {
        AllSignals spies(api.get());
        LogMark mark;
        QVERIFY(connectBank());
        // Queued in this order while the connection comes up: the time query, the battery
        // information, the statistics poll.
        const QStringList lines = mark.lines();
        const auto firstAt = [&](const QString& prefix) {
            for (qsizetype i = 0; i < lines.size(); ++i)
                if (lines[i].contains(prefix))
                    return i;
            return qsizetype(-1);
        };
        const qsizetype timeQuery = firstAt("syncDeviceTime: requestTime sent 48 bytes");
        const qsizetype battery = firstAt("requestStaticCellInfo:");
        const qsizetype statistics = firstAt("requestStatisticEvents:");
        QVERIFY2(timeQuery >= 0 && timeQuery < battery && battery < statistics, qPrintable(lines.join('\n')));

        QVERIFY(bank->waitForRequest(0x10, 0x0A, 3));
        QVERIFY(bank->waitForRequest(0x20, 0x05, 3));
        QVERIFY(bank->waitForRequest(0x11, 0x01));

        const QList<SimulatedPowerBank::Request> requests = bank->requests();
        QVERIFY(requests.size() >= 2);
        QCOMPARE(requests[0].command, 0x10); // the probe
        QCOMPARE(requests[0].subCommand, 0x06);
        QCOMPARE(requests[1].command, 0x10); // first request of the service
        QCOMPARE(requests[1].subCommand, 0x06);

        QList<QPair<int, int>> perCell;
        for (const auto& r : requests)
            if ((r.command == 0x10 && r.subCommand == 0x0A) || (r.command == 0x20 && r.subCommand == 0x05))
                perCell.append(qMakePair(int(r.command), r.payload.isEmpty() ? -1 : int(uint8_t(r.payload[0]))));
        const QList<QPair<int, int>> expected = {{0x10, 0}, {0x20, 0}, {0x10, 1}, {0x20, 1}, {0x10, 2}, {0x20, 2}};
        QCOMPARE(perCell, expected);

        QVERIFY(QTest::qWaitFor([&] { return spies["cellItemInfo"].count() == 3; }, 3000));
        QCOMPARE(spies["batteryInfo"].count(), 1);
        QCOMPARE(spies["batteryInfo"].first().first().toInt(), 3);
        QCOMPARE(spies["cellItemInfo"].at(2).at(0).toInt(), 2);
        QCOMPARE(spies["cellItemInfo"].at(2).at(1).toString(), "S2");
        QCOMPARE(spies["cellItemInfo"].at(2).at(2).toString(), "A2");
    }

    void deviceAnswerEmitsItsSignal_data() { addAnswerSignalRows(); }

    // The answers of the decoded-frame table, now enciphered by the power bank and read by the link.
    void deviceAnswerEmitsItsSignal()
    {
        QFETCH(QList<QByteArray>, before);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, signal);
        QFETCH(int, count);
        QFETCH(QVariantList, args);
        QVERIFY(connectQuietly());

        AllSignals spies(api.get());
        for (const QByteArray& f : before)
            sendPlain(f);
        sendPlain(frame);
        QVERIFY(earlierAnswersHandled());
        QCOMPARE(spies[signal].count(), count);
        if (count > 0)
            QVERIFY2(sameArgs(spies[signal].first(), args),
                     qPrintable(QVariant(spies[signal].first()).toStringList().join(", ")));
    }

    // Short answers from the device would otherwise read the CRC and padding as values: an empty
    // battery information asked for hundreds of cells, an empty state of charge showed 100 %.
    // A report that fails to decode is dropped the same way.
    void shortDeviceAnswersChangeNothing()
    {
        QVERIFY(connectQuietly());
        bank->clearRecords();
        AllSignals spies(api.get());
        LogMark mark;
        const QList<QByteArray> shortAnswers = {
            plainFrame(0x10, 0x06, {}),
            plainFrame(0x10, 0x06, QByteArray(14, '\x05')),
            plainFrame(0x20, 0x01, {}),
            plainFrame(0x20, 0x03, bytes({1})),
            plainFrame(0x20, 0x04, QByteArray(15, '\x13')),
            plainFrame(0x12, 0x01, QByteArray(7, '\x01')),
            plainFrame(0xA1, 0x02, {}),
            plainFrame(0x10, 0x0E, bytes({1, 2, 3})),
        };
        for (const QByteArray& f : shortAnswers)
            sendPlain(f);
        bank->injectGarbage(1);
        QVERIFY(earlierAnswersHandled());
        QCOMPARE(mark.count("handlePacketReceived: short answer dropped"), shortAnswers.size());
        QCOMPARE(mark.count("handlePacketReceived: decode frame fail, "), 1);
        const QStringList quiet = {"batteryInfo",     "soc",         "cycleCount",
                                   "currentEvent",    "currentTime", "brightnessResult",
                                   "supportProtocol", "cellItemInfo"};
        for (const QString& name : quiet)
            QVERIFY2(spies[name.toUtf8()].isEmpty(), qPrintable(name));
        QVERIFY(bank->requestsFor(0x10, 0x0A).isEmpty());
        QVERIFY(bank->requestsFor(0x20, 0x05).isEmpty());

        // Nothing short was cached: the state of charge is asked of the device and arrives whole.
        bank->update([](auto& m) { m.soc = 64; });
        api->requestCellRealtimeStatus();
        QVERIFY(QTest::qWaitFor([&] { return spies["soc"].count() == 1; }, 5000));
        QCOMPARE(spies["soc"].first().first().toInt(), 64);
        QCOMPARE(bank->requestsFor(0x20, 0x01).size(), 1);
    }

    void settingsFramesAndResults_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("support");
        QTest::addColumn<bool>("success");
        QTest::newRow("applied") << 0 << true << true;
        QTest::newRow("failed") << 1 << true << false;
        QTest::newRow("not supported") << 2 << false << false;
    }

    void settingsFramesAndResults()
    {
        QFETCH(int, result);
        QFETCH(bool, support);
        QFETCH(bool, success);
        bank->update([&](auto& m) {
            m.setScreenTimeoutResult = uint8_t(result);
            m.setBrightnessResult = uint8_t(result);
        });
        QVERIFY(connectBank());
        AllSignals spies(api.get());

        api->setScreenTimeout(300);
        QVERIFY(bank->waitForRequest(0xA1, 0x03));
        QCOMPARE(bank->requestsFor(0xA1, 0x03).first().payload, bytes({0x2C, 0x01}));
        QVERIFY(QTest::qWaitFor([&] { return spies["screenTimeoutResult"].count() == 1; }, 3000));
        QCOMPARE(spies["screenTimeoutResult"].first(), (QList<QVariant>{support, success}));

        api->setBrighteness(55);
        QVERIFY(bank->waitForRequest(0xA1, 0x02));
        QCOMPARE(bank->requestsFor(0xA1, 0x02).first().payload, bytes({55}));
        QVERIFY(QTest::qWaitFor([&] { return spies["brightnessResult"].count() == 1; }, 3000));
        QCOMPARE(spies["brightnessResult"].first(), (QList<QVariant>{support, success}));
    }

    void deviceSettingsInOrder()
    {
        bank->update([](auto& m) {
            m.brightness = 35;
            m.screenTimeout = 120;
        });
        QVERIFY(connectBank());
        AllSignals spies(api.get());
        bank->clearRecords();
        api->requestDeviceSettings();
        api->requestInputOutputInfo(1, 2);
        QVERIFY(bank->waitForRequest(0x31, 0x00));
        QList<int> subs;
        for (const auto& r : bank->requestsFor(0x12))
            subs << r.subCommand;
        QCOMPARE(subs, (QList<int>{1, 2, 3}));
        QCOMPARE(bank->requestsFor(0x31).first().payload, bytes({1, 2}));
        QVERIFY(QTest::qWaitFor([&] { return spies["screenTimeout"].count() == 1; }, 3000));
        QCOMPARE(spies["brightness"].first().first().toInt(), 35);
        QCOMPARE(spies["screenTimeout"].first().first().toInt(), 120);
        QCOMPARE(spies["currentTime"].count(), 1);
    }

    void lossClearsTheCaches()
    {
        QVERIFY(connectBank());
        AllSignals spies(api.get());
        api->requestStaticInfo();
        api->requestCellRealtimeStatus();
        QVERIFY(QTest::qWaitFor([&] { return spies["batteryModel"].count() == 1 && spies["cycleCount"].count() == 1; },
                                3000));
        QVERIFY(settle(*bank)); // every answer asked for is in, and cached once its handler returned

        LogMark replayed;
        api->requestStaticInfo();
        api->requestCellRealtimeStatus();
        // The link's worker may log into these lines (the logger keeps one pending line for the
        // whole process): count the lines that hold each replay's tag.
        auto holding = [&replayed](const char* tag) { return int(replayed.lines().filter(QLatin1String(tag)).size()); };
        QCOMPARE(holding("requestStaticInfo(Cache[0x"), 16);
        QCOMPARE(holding("requestCellRealtimeStatus(Cache)"), 3);

        LogMark lost;
        bank->unplug();
        QVERIFY(QTest::qWaitFor([] { return !HidBridge::instance()->connected(); }, 3000));
        QVERIFY(QTest::qWaitFor([&] { return lost.has("handleConnectedChanged:0, Clear Cache"); }, 3000));
        QVERIFY(bank->plug());
        QVERIFY(connectBank());
        bank->clearRecords();

        LogMark again;
        api->requestStaticInfo();
        api->requestCellRealtimeStatus();
        QCOMPARE(again.count("requestStaticInfo(Cache["), 0);
        QCOMPARE(again.count("requestCellRealtimeStatus(Cache):"), 0);
        QVERIFY(bank->waitForRequest(0x10, 0x10));
        QCOMPARE(bank->requestsFor(0x10).size() - bank->requestsFor(0x10, 0x06).size()
                     - bank->requestsFor(0x10, 0x0A).size(),
                 16);
    }

    void deviceClockFromTimeServer()
    {
        QVERIFY(connectBank());
        QByteArray query;
        QVERIFY(waitForTimeQuery(&query));
        QCOMPARE(query.size(), 48);
        QCOMPARE(uint8_t(query[0]), 0x1B);
        QCOMPARE(query.mid(1, 39), QByteArray(39, '\0'));
        QVERIFY(query.mid(40) != QByteArray(8, '\0'));

        reply(TimeReply{});
        QVERIFY(bank->waitUntil([&] { return bank->lastClockSet() == 1704067200ULL; }));
        QCOMPARE(bank->requestsFor(0xA1, 0x01).first().payload, bytes({0x80, 0x00, 0x92, 0x65, 0, 0, 0, 0}));

        // The next connection asks again with a time stamp of its own: an answer to the first
        // query, replayed, is not taken for it.
        HidBridge::instance()->closeDevice();
        QVERIFY(connectBank());
        QByteArray second;
        QVERIFY(waitForTimeQuery(&second));
        QCOMPARE(second.left(40), query.left(40));
        QVERIFY(second.mid(40) != query.mid(40));
        const QByteArray replayed = TimeReply{}.bytes(query);
        LogMark mark;
        ntpServer->writeDatagram(replayed, QHostAddress::LocalHost, api->timeSocketPort());
        QVERIFY(QTest::qWaitFor([&] { return mark.has("onUdpDataRecv: Ignored reply that does not answer"); }, 3000));
        reply(withSeconds(0xE93C7F3C)); // a minute later
        QVERIFY(bank->waitUntil([&] { return bank->lastClockSet() == 1704067260ULL; }));
        QCOMPARE(bank->requestsFor(0xA1, 0x01).size(), 2);
    }

    // A server the datagram cannot be sent to is skipped; the first one that takes it is the only one asked.
    void timeQueryGoesToTheFirstServerThatTakesIt()
    {
        QUdpSocket third;
        QVERIFY(third.bind(QHostAddress::LocalHost, 0));
        api->setTimeServers({{QHostAddress(QStringLiteral("::1")), 123}, // not reachable from an IPv4 socket
                             {QHostAddress::LocalHost, ntpServer->localPort()},
                             {QHostAddress::LocalHost, third.localPort()}});
        LogMark mark;
        QVERIFY(connectBank());
        QVERIFY(waitForTimeQuery());
        QCOMPARE(mark.count("syncDeviceTime: Failed to send "), 1);
        QCOMPARE(mark.lines().filter("syncDeviceTime: requestTime sent 48 bytes").size(), 1);
        // Time for a query to the third server to arrive, which none may.
        QTest::qWait(100);
        QVERIFY(!third.hasPendingDatagrams());

        reply(TimeReply{});
        QVERIFY(bank->waitUntil([&] { return bank->lastClockSet() == 1704067200ULL; }));
    }

    void replyBeforeAnyQuery()
    {
        LogMark early;
        reply(TimeReply{});
        QTRY_VERIFY(early.has("onUdpDataRecv: Ignored reply, no time query waiting"));
        QVERIFY(!early.has("setDeviceTime:"));
    }

    // Which replies to one query set the power bank's clock: one from the server asked, in
    // server mode, synchronised, echoing the query, while the query is open; and only the first.
    void timeReplyChecks_data()
    {
        QTest::addColumn<QList<TimeReply>>("replies");
        QTest::addColumn<qint64>("expected"); // -1: the clock is not set
        const qint64 y2024 = 1704067200;
        const qint64 y2025 = 1735689600;
        TimeReply r;
        const TimeReply in2025 = withSeconds(0xEB1F0400);

        QTest::newRow("the answer") << QList<TimeReply>{r} << y2024;
        r = {};
        r.stratum = 1;
        QTest::newRow("stratum 1") << QList<TimeReply>{r} << y2024;
        r = {};
        r.stratum = 15;
        QTest::newRow("stratum 15") << QList<TimeReply>{r} << y2024;
        r = {};
        r.leap = 1;
        QTest::newRow("leap second announced") << QList<TimeReply>{r} << y2024;
        r = {};
        r.origin = TimeReply::Forged;
        QTest::newRow("forged origin") << QList<TimeReply>{r} << qint64(-1);
        r = {};
        r.origin = TimeReply::Zero;
        QTest::newRow("origin of zeros") << QList<TimeReply>{r} << qint64(-1);
        r = {};
        r.mode = 3;
        QTest::newRow("client mode") << QList<TimeReply>{r} << qint64(-1);
        r = {};
        r.mode = 5;
        QTest::newRow("broadcast mode") << QList<TimeReply>{r} << qint64(-1);
        r = {};
        r.stratum = 0;
        QTest::newRow("kiss-of-death, stratum 0") << QList<TimeReply>{r} << qint64(-1);
        r = {};
        r.stratum = 16;
        QTest::newRow("stratum 16") << QList<TimeReply>{r} << qint64(-1);
        r = {};
        r.leap = 3;
        QTest::newRow("unsynchronised, leap indicator 3") << QList<TimeReply>{r} << qint64(-1);
        r = {};
        r.from = TimeReply::OtherPort;
        QTest::newRow("from another port") << QList<TimeReply>{r} << qint64(-1);
        r = {};
        r.from = TimeReply::OtherAddress;
        QTest::newRow("from another address") << QList<TimeReply>{r} << qint64(-1);
        r = {};
        r.size = 47;
        QTest::newRow("47 bytes") << QList<TimeReply>{r} << qint64(-1);

        // What is refused does not use the query up.
        TimeReply forged = in2025;
        forged.origin = TimeReply::Forged;
        TimeReply elsewhere = in2025;
        elsewhere.from = TimeReply::OtherPort;
        TimeReply kissOfDeath = in2025;
        kissOfDeath.stratum = 0;
        QTest::newRow("forged, then the answer") << QList<TimeReply>{forged, TimeReply{}} << y2024;
        QTest::newRow("another port, then the answer") << QList<TimeReply>{elsewhere, TimeReply{}} << y2024;
        QTest::newRow("kiss-of-death, then the answer") << QList<TimeReply>{kissOfDeath, TimeReply{}} << y2024;

        // One accepted reply per query.
        QTest::newRow("a second answer") << QList<TimeReply>{TimeReply{}, in2025} << y2024;
        QTest::newRow("three answers") << QList<TimeReply>{in2025, TimeReply{}, TimeReply{}} << y2025;
        TimeReply late;
        late.delayMs = 5300;
        QTest::newRow("after the time-out") << QList<TimeReply>{late} << qint64(-1);
    }

    void timeReplyChecks()
    {
        QFETCH(QList<TimeReply>, replies);
        QFETCH(qint64, expected);
        for (const TimeReply& r : replies) {
            if (r.from == TimeReply::OtherAddress && !otherAddress)
                QSKIP("127.0.0.2 cannot be bound here");
        }
        QVERIFY(connectBank());
        QVERIFY(waitForTimeQuery());
        qint64 setTo = 0;
        QVERIFY2(clockAfter(replies, expected, &setTo), "the clock was set more than once");
        QCOMPARE(setTo, expected);
    }

    // The NTP seconds are taken in the era that puts them nearest the system clock (the
    // service's own, set here); a time before 1970 or no time at all does not set the clock.
    void transmitSecondsAcrossEras_data()
    {
        QTest::addColumn<quint32>("transmit");
        QTest::addColumn<quint32>("fraction");
        QTest::addColumn<qint64>("system");   // Unix seconds
        QTest::addColumn<qint64>("expected"); // -1: the clock is not set
        const qint64 y2026 = 1767225600;
        const qint64 eraOne = 2085978496; // 2036-02-07 06:28:16 UTC
        const quint32 half = 0x80000000;
        QTest::newRow("2024") << 0xE93C7F00u << half << y2026 << qint64(1704067200);
        QTest::newRow("epoch") << 2208988800u << half << y2026 << qint64(0);
        QTest::newRow("before the epoch") << 2208988799u << half << y2026 << qint64(-1);
        QTest::newRow("last second of era 0") << 0xFFFFFFFFu << half << y2026 << eraOne - 1;
        QTest::newRow("first second of era 1") << 1u << half << y2026 << eraOne + 1;
        QTest::newRow("2040") << 0x0754FD00u << half << y2026 << qint64(2208988800);
        QTest::newRow("no time") << 0u << 0u << y2026 << qint64(-1);
        // 1968, not 2104.
        QTest::newRow("0x7FFFFFFF seconds") << 0x7FFFFFFFu << half << y2026 << qint64(-1);
        QTest::newRow("0x7FFFFFFF seconds, system clock in 2100")
            << 0x7FFFFFFFu << half << qint64(4102444800) << qint64(4233462143);
        QTest::newRow("roll-over: both after") << 10u << half << eraOne + 4 << eraOne + 10;
        QTest::newRow("roll-over: server before, system after") << 0xFFFFFFF0u << half << eraOne + 4 << eraOne - 16;
        QTest::newRow("roll-over: server after, system before") << 5u << half << eraOne - 6 << eraOne + 5;
        QTest::newRow("roll-over: the very instant") << 0u << half << eraOne - 6 << eraOne;
    }

    void transmitSecondsAcrossEras()
    {
        QFETCH(quint32, transmit);
        QFETCH(quint32, fraction);
        QFETCH(qint64, system);
        QFETCH(qint64, expected);
        api->setClock([system] { return system * 1000; });
        QVERIFY(connectBank());
        QVERIFY(waitForTimeQuery());
        qint64 setTo = 0;
        QVERIFY(clockAfter({withSeconds(transmit, fraction)}, expected, &setTo));
        QCOMPARE(setTo, expected);
    }

    // No time earlier than the program's build time is taken, after the era is chosen: a
    // well-formed reply for 1980 does not set the power bank's clock 46 years back.
    void timeBeforeTheBuildIsRefused_data()
    {
        QTest::addColumn<qint64>("earliest"); // -1: the program's own build time
        QTest::addColumn<qint64>("seconds");  // Unix seconds of the reply
        QTest::addColumn<qint64>("system");   // -1: the real clock
        QTest::addColumn<bool>("taken");
        const qint64 y2024 = 1704067200;
        const qint64 y1980 = 315532800;
        const qint64 built = SntpClient::buildTime();
        QTest::newRow("a day before the limit") << y2024 + 86400 << y2024 << qint64(-1) << false;
        QTest::newRow("at the limit") << y2024 << y2024 << qint64(-1) << true;
        QTest::newRow("1980") << qint64(-1) << y1980 << qint64(-1) << false;
        QTest::newRow("1980, the system clock in 1980 too") << qint64(-1) << y1980 << y1980 << false;
        QTest::newRow("a second before the build") << qint64(-1) << built - 1 << qint64(-1) << false;
        QTest::newRow("the build time") << qint64(-1) << built << qint64(-1) << true;
        QTest::newRow("a day after the build") << qint64(-1) << built + 86400 << qint64(-1) << true;
    }

    void timeBeforeTheBuildIsRefused()
    {
        QFETCH(qint64, earliest);
        QFETCH(qint64, seconds);
        QFETCH(qint64, system);
        QFETCH(bool, taken);
        // Built this year or later; a package build's SOURCE_DATE_EPOCH is no earlier either.
        QVERIFY(SntpClient::buildTime() > 1704067200);
        sntpClient()->setEarliestTime(earliest < 0 ? SntpClient::buildTime() : earliest);
        if (system >= 0)
            api->setClock([system] { return system * 1000; });
        QVERIFY(connectBank());
        QVERIFY(waitForTimeQuery());
        LogMark mark;
        qint64 setTo = 0;
        QVERIFY(clockAfter({withSeconds(quint32(seconds + 2208988800LL))}, taken ? seconds : -1, &setTo));
        QCOMPARE(setTo, taken ? seconds : -1);
        QCOMPARE(mark.has("onUdpDataRecv: Ignored reply with a time before this program was built: "), !taken);
    }
};

QTEST_GUILESS_MAIN(TstHidServiceApiDevice)
#include "tst_hid_service_api_device.moc"
