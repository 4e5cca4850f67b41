// The service against the simulated power bank: what it sends on a connection, the frames of
// its settings, the clearing of its caches on a loss, and the device clock from a local SNTP server.
#include "transport/hid_service_api_test_support.h"

#include "sim/simulated_power_bank.h"
#include "transport/hid_bridge.h"
#include "transport/hid_service_api.h"

#include <QUdpSocket>
#include <QtTest>

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::sim::SimulatedPowerBank;

namespace {

QByteArray ntpReply(quint32 transmitSeconds, int size = 48)
{
    QByteArray reply(size, '\0');
    reply[0] = char(0x1C); // version 3, server
    if (size >= 44) {
        reply[40] = char(transmitSeconds >> 24);
        reply[41] = char(transmitSeconds >> 16);
        reply[42] = char(transmitSeconds >> 8);
        reply[43] = char(transmitSeconds);
    }
    return reply;
}

SimulatedPowerBank::Identity supportedIdentity()
{
    SimulatedPowerBank::Identity id;
    id.vendorId = kSupportedVendorIds[0];
    return id;
}

} // namespace

class TstHidServiceApiDevice : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimulatedPowerBank> bank;
    std::unique_ptr<HidServiceApi> api;
    std::unique_ptr<QUdpSocket> ntpServer;
    QHostAddress timeClient;
    quint16 timeClientPort = 0;

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
        return connectBank()
            && QTest::qWaitFor([&] { return mark.has("handleStaticInfo: battery info"); }, 5000);
    }

    void reply(const QByteArray& datagram, QUdpSocket* from = nullptr)
    {
        (from ? from : ntpServer.get())->writeDatagram(datagram, QHostAddress::LocalHost, api->timeSocketPort());
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
    }

    void init()
    {
        ntpServer = std::make_unique<QUdpSocket>();
        QVERIFY(ntpServer->bind(QHostAddress::LocalHost, 0));
        api = std::make_unique<HidServiceApi>(nullptr);
        api->setTimeServers({{QHostAddress::LocalHost, ntpServer->localPort()}});
        bank = std::make_unique<SimulatedPowerBank>(threeCells(), supportedIdentity());
    }

    void cleanup()
    {
        HidBridge::instance()->closeDevice();
        bank.reset();
        api.reset();
        ntpServer.reset();
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
            QVERIFY2(sameArgs(spies[signal].first(), args), qPrintable(QVariant(spies[signal].first()).toStringList().join(", ")));
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
            plainFrame(0x10, 0x06, {}),           plainFrame(0x10, 0x06, QByteArray(14, '\x05')),
            plainFrame(0x20, 0x01, {}),           plainFrame(0x20, 0x03, bytes({1})),
            plainFrame(0x20, 0x04, QByteArray(15, '\x13')), plainFrame(0x12, 0x01, QByteArray(7, '\x01')),
            plainFrame(0xA1, 0x02, {}),           plainFrame(0x10, 0x0E, bytes({1, 2, 3})),
        };
        for (const QByteArray& f : shortAnswers)
            sendPlain(f);
        bank->injectGarbage(1);
        QVERIFY(earlierAnswersHandled());
        QCOMPARE(mark.count("handlePacketReceived: short answer dropped"), shortAnswers.size());
        QCOMPARE(mark.count("handlePacketReceived: decode frame fail, "), 1);
        const QStringList quiet = {"batteryInfo", "soc", "cycleCount", "currentEvent", "currentTime",
                                   "brightnessResult", "supportProtocol", "cellItemInfo"};
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
        QTest::qWait(150); // the last answer is cached once its handler returns

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
        QCOMPARE(query.mid(1), QByteArray(47, '\0'));

        reply(ntpReply(0xE93C7F00)); // 2024-01-01 00:00:00 UTC
        QVERIFY(bank->waitUntil([&] { return bank->lastClockSet() == 1704067200ULL; }));
        QCOMPARE(bank->requestsFor(0xA1, 0x01).first().payload, bytes({0x80, 0x00, 0x92, 0x65, 0, 0, 0, 0}));
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
        QTest::qWait(100);
        QVERIFY(!third.hasPendingDatagrams());

        reply(ntpReply(0xE93C7F00));
        QVERIFY(bank->waitUntil([&] { return bank->lastClockSet() == 1704067200ULL; }));
    }

    void timeRepliesThatChangeNothing()
    {
        LogMark early;
        reply(ntpReply(0xE93C7F00)); // before any query
        QVERIFY(QTest::qWaitFor([&] { return early.has("onUdpDataRecv: Received from:"); }, 3000));
        QTest::qWait(50);
        QVERIFY(!early.has("setDeviceTime:"));

        QVERIFY(connectBank());
        QVERIFY(waitForTimeQuery());

        QUdpSocket otherPort;
        QVERIFY(otherPort.bind(QHostAddress::LocalHost, 0));
        QUdpSocket otherAddress;
        const bool haveOtherAddress = otherAddress.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0);

        LogMark mark;
        reply(ntpReply(0xE93C7F00, 47));
        reply(ntpReply(0xE93C7F00), &otherPort);
        if (haveOtherAddress)
            reply(ntpReply(0xE93C7F00), &otherAddress);
        const int expected = haveOtherAddress ? 3 : 2;
        QVERIFY(QTest::qWaitFor([&] { return mark.count("onUdpDataRecv: Received from:") == expected; }, 3000));
        QVERIFY(mark.has("onUdpDataRecv: Invalid packet size:47"));
        QCOMPARE(mark.count("onUdpDataRecv: Ignored reply"), expected - 1);
        QVERIFY(!mark.has("setDeviceTime:"));
        QTest::qWait(200);
        QCOMPARE(bank->requestsFor(0xA1, 0x01).size(), 0);
    }

    void transmitSecondsAcrossEras_data()
    {
        QTest::addColumn<quint32>("transmit");
        QTest::addColumn<QString>("logged"); // empty: the clock is not set
        QTest::newRow("2024") << 0xE93C7F00u << "setDeviceTime:1704067200S";
        QTest::newRow("epoch") << 2208988800u << "setDeviceTime:0S";
        QTest::newRow("before the epoch") << 2208988799u << "";
        QTest::newRow("last second of era 0") << 0xFFFFFFFFu << "setDeviceTime:2085978495S";
        QTest::newRow("first second of era 1") << 1u << "setDeviceTime:2085978497S";
        QTest::newRow("2040") << 0x0754FD00u << "setDeviceTime:2208988800S";
        QTest::newRow("unknown time") << 0u << "";
    }

    void transmitSecondsAcrossEras()
    {
        QFETCH(quint32, transmit);
        QFETCH(QString, logged);
        QVERIFY(connectBank());
        QVERIFY(waitForTimeQuery());
        LogMark mark;
        reply(ntpReply(transmit));
        QVERIFY(QTest::qWaitFor([&] { return mark.has("onUdpDataRecv: Received from:"); }, 3000));
        if (logged.isEmpty()) {
            QVERIFY(!mark.has("setDeviceTime:"));
        } else {
            // The link's worker may log into the middle of this line (the logger keeps one pending
            // line for the whole process), so the seconds are checked where they arrive: the device.
            const quint64 seconds = logged.mid(int(qstrlen("setDeviceTime:"))).chopped(1).toULongLong();
            QVERIFY2(QTest::qWaitFor([&] { return bank->lastClockSet() == seconds; }, 3000),
                     qPrintable(mark.lines().join('\n')));
        }
    }
};

QTEST_GUILESS_MAIN(TstHidServiceApiDevice)
#include "tst_hid_service_api_device.moc"
