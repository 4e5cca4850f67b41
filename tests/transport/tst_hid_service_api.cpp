// Answer parsing, caches and their lifetimes, fed as decoded frames straight into the dispatch.
#include "transport/hid_service_api_test_support.h"

#include "common/logger_manager.h"
#include "transport/hid_service_api.h"

#include <QtTest>

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;

class TstHidServiceApi : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<HidServiceApi> api;
    qint64 clockMs = 1'000'000;

    void feed(const QByteArray& frame) { api->dispatchDecodedFrame(frame); }

private slots:
    void init()
    {
        clockMs = 1'000'000;
        api = std::make_unique<HidServiceApi>(nullptr);
        api->setClock([this] { return clockMs; });
    }

    void cleanup() { api.reset(); }

    void singletonHandsOutOneLiveObject()
    {
        HidServiceApi* first = HidServiceApi::instance();
        QCOMPARE(HidServiceApi::create(nullptr, nullptr), first);
        delete first;
        HidServiceApi* second = HidServiceApi::create(nullptr, nullptr);
        QVERIFY(second);
        QCOMPARE(HidServiceApi::instance(), second);
        delete second;
    }

    void extractPureStrCutsAtNul_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("text");
        QTest::newRow("nul inside") << bytes({'A', 'B', 0, 'Z'}) << 0 << "AB";
        QTest::newRow("no nul") << QByteArray("ABZ") << 0 << "ABZ";
        QTest::newRow("only the index") << bytes({3}) << 1 << "";
        QTest::newRow("after the index") << QByteArray("\x02SN-7") << 1 << "SN-7";
        QTest::newRow("leading nul") << bytes({0, 'A'}) << 0 << "";
        QTest::newRow("empty") << QByteArray() << 0 << "";
        QTest::newRow("offset past the end") << QByteArray("AB") << 5 << "";
        QTest::newRow("full field") << QByteArray(48, 'x') << 0 << QString(48, 'x');
        QTest::newRow("utf-8") << QByteArray("电池") << 0 << QString::fromUtf8("电池");
    }

    void extractPureStrCutsAtNul()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, offset);
        QFETCH(QString, text);
        QByteArray frame = plainFrame(0x10, 0x01, payload);
        frame.append(64, '\0');
        QCOMPARE(extractPureStr(reinterpret_cast<const uint8_t*>(frame.constData()), offset), text);
    }

    void answerEmitsItsSignal_data()
    {
        QTest::addColumn<QList<QByteArray>>("before");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<int>("count");
        QTest::addColumn<QVariantList>("args");

        const QList<QByteArray> none;
        auto text = [&](const char* row, uint8_t sub, const QByteArray& payload, const char* sig, const QString& t) {
            QTest::newRow(row) << none << plainFrame(0x10, sub, payload) << QByteArray(sig) << 1 << QVariantList{t};
        };
        text("brand", 0x01, QByteArray("Tavrin\0junk", 11), "brand", "Tavrin");
        text("brand empty", 0x01, QByteArray(), "brand", "");
        text("factory", 0x02, "Plant 3", "factory", "Plant 3");
        text("battery manufacturer", 0x03, "CellCo", "batteryManufacturer", "CellCo");
        text("product sn", 0x04, "TV123", "productSn", "TV123");
        text("battery type", 0x05, "Li-ion", "batteryType", "Li-ion");
        text("production date", 0x08, "2024-03-01", "productionDate", "2024-03-01");
        text("model", 0x09, "TV-140", "model", "TV-140");
        text("product name", 0x0B, "Power Bank", "productName", "Power Bank");
        text("hardware version", 0x0C, "H1.2", "hardwareVersion", "H1.2");
        text("software version", 0x0D, "S3.4", "softwareVersion", "S3.4");
        text("battery model whole field", 0x10, QByteArray(48, 'M'), "batteryModel", QString(48, 'M'));

        QTest::newRow("battery info")
            << none
            << plainFrame(0x10, 0x06, bytes({3, 0x00, 0x64, 0, 0, 0xD0, 0x39, 0, 0, 0x8C, 0, 0xE8, 0x03, 0xA0, 0x41}))
            << QByteArray("batteryInfo") << 1 << QVariantList{3, 25600, 14800, 140, 1000, 16800};
        QTest::newRow("port count") << none << plainFrame(0x10, 0x07, bytes({4})) << QByteArray("portCount") << 1
                                    << QVariantList{4};
        QTest::newRow("support protocol") << none << plainFrame(0x10, 0x0E, bytes({0xFF, 0x01, 0x00, 0x80}))
                                          << QByteArray("supportProtocol") << 1 << QVariantList{0x800001FFu};
        QTest::newRow("app title joined")
            << QList<QByteArray>{plainFrame(0x10, 0x11, "Tessa")} << plainFrame(0x10, 0x21, QByteArray("volt X\0", 7))
            << QByteArray("appTitle") << 1 << QVariantList{"Tessavolt X"};
        QTest::newRow("origin manufacturer joined")
            << QList<QByteArray>{plainFrame(0x10, 0x0F, "Origin ")} << plainFrame(0x10, 0x2F, "Works")
            << QByteArray("originManufacturer") << 1 << QVariantList{"Origin Works"};
        // The split falls inside a UTF-8 sequence: the parts are joined as bytes before decoding.
        QTest::newRow("chinese manufacturer joined")
            << QList<QByteArray>{plainFrame(0x10, 0x12, bytes({0xE4, 0xB8}))}
            << plainFrame(0x10, 0x22, bytes({0xAD, 0xE6, 0x96, 0x87})) << QByteArray("batteryManufacturerCn") << 1
            << QVariantList{QString::fromUtf8("中文")};
        QTest::newRow("second part alone") << none << plainFrame(0x10, 0x21, "volt") << QByteArray("appTitle") << 0
                                           << QVariantList{};
        QTest::newRow("cell item, serial first")
            << QList<QByteArray>{plainFrame(0x10, 0x0A, QByteArray("\x02SN2"))}
            << plainFrame(0x20, 0x05, QByteArray("\x02" "2024-01-01")) << QByteArray("cellItemInfo") << 1
            << QVariantList{2, "SN2", "2024-01-01"};
        QTest::newRow("cell item, activation first")
            << QList<QByteArray>{plainFrame(0x20, 0x05, QByteArray("\x01" "2023-12-31"))}
            << plainFrame(0x10, 0x0A, QByteArray("\x01SN1")) << QByteArray("cellItemInfo") << 1
            << QVariantList{1, "SN1", "2023-12-31"};
        QTest::newRow("cell item, empty serial never completes")
            << QList<QByteArray>{plainFrame(0x10, 0x0A, bytes({0}))}
            << plainFrame(0x20, 0x05, QByteArray("\x00" "2024", 5)) << QByteArray("cellItemInfo") << 0
            << QVariantList{};

        auto one = [&](const char* row, uint8_t cmd, uint8_t sub, const QByteArray& payload, const char* sig,
                       const QVariantList& args, int count = 1) {
            QTest::newRow(row) << none << plainFrame(cmd, sub, payload) << QByteArray(sig) << count << args;
        };
        one("soc", 0x20, 0x01, bytes({57}), "soc", {57});
        one("soc 100", 0x20, 0x01, bytes({100}), "soc", {100});
        one("soc clamped", 0x20, 0x01, bytes({101}), "soc", {100});
        one("soh", 0x20, 0x02, bytes({97}), "soh", {97});
        one("soh clamped", 0x20, 0x02, bytes({255}), "soh", {100});
        one("cycle count", 0x20, 0x03, bytes({0x2A, 0x01}), "cycleCount", {298});
        QByteArray event(16, '\0');
        event[10] = char(0x13);
        event[12] = char(7);
        one("current event abnormal", 0x20, 0x04, event, "currentEvent", {1, 7});
        event[10] = char(0x20);
        event[12] = char(3);
        one("current event type 2", 0x20, 0x04, event, "currentEvent", {2, 3});
        event[10] = char(0x05);
        one("current event activity", 0x20, 0x04, event, "currentEvent", {0, 3});
        one("cell detail, two records and a rest", 0x30, 0x00,
            bytes({0, 0x10, 0x0E, 0xE8, 0x03, 0xFB, 0xFF, 0, 1, 0x20, 0x0E, 0, 0, 0xFA, 0, 0, 9, 9, 9, 9}),
            "cellDetailInfo", {0, 3600, 1000, -5}, 2);
        one("port info", 0x31, 0x00, bytes({1, 0x21, 0x88, 0x13, 0xB8, 0x0B, 0xF4, 0xFF, 7, 0x96, 0x00, 0}),
            "portInfo", {1, 2, 1, 5000, 3000, -12, 7, 150});
        QByteArray fourPorts;
        for (int i = 0; i < 4; ++i)
            fourPorts += bytes({i, 0x12, 0, 0, 0, 0, 0, 0, 0, 0x34, 0x12, 0});
        one("four ports", 0x31, 0x00, fourPorts, "portInfo", {0, 1, 2, 0, 0, 0, 0, 0x1234}, 4);
        one("device time", 0x12, 0x01, bytes({0x80, 0x00, 0x92, 0x65, 0, 0, 0, 0}), "currentTime",
            {qulonglong(1704067200)});
        one("brightness", 0x12, 0x02, bytes({50}), "brightness", {50});
        one("screen timeout", 0x12, 0x03, bytes({0x2C, 0x01}), "screenTimeout", {300});
        struct Result { const char* name; uint8_t sub; const char* sig; };
        for (const Result& r : {Result{"time", 0x01, "currentTimeResult"}, Result{"brightness", 0x02, "brightnessResult"},
                                Result{"timeout", 0x03, "screenTimeoutResult"}}) {
            one(qPrintable(QStringLiteral("%1 result 0").arg(r.name)), 0xA1, r.sub, bytes({0}), r.sig, {true, true});
            one(qPrintable(QStringLiteral("%1 result 1").arg(r.name)), 0xA1, r.sub, bytes({1}), r.sig, {true, false});
            one(qPrintable(QStringLiteral("%1 result 2").arg(r.name)), 0xA1, r.sub, bytes({2}), r.sig, {false, false});
            one(qPrintable(QStringLiteral("%1 result 9").arg(r.name)), 0xA1, r.sub, bytes({9}), r.sig, {true, false});
        }
    }

    void answerEmitsItsSignal()
    {
        QFETCH(QList<QByteArray>, before);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, signal);
        QFETCH(int, count);
        QFETCH(QVariantList, args);

        for (const QByteArray& f : before)
            feed(f);
        AllSignals spies(api.get());
        feed(frame);
        QSignalSpy& spy = spies[signal];
        QCOMPARE(spy.count(), count);
        QCOMPARE(spies.total(), count);
        if (count == 0)
            return;
        const QList<QVariant> actual = spy.first();
        QCOMPARE(actual.size(), args.size());
        for (int i = 0; i < args.size(); ++i) {
            if (args[i].typeId() == QMetaType::QString)
                QCOMPARE(actual[i].toString(), args[i].toString());
            else
                QCOMPARE(actual[i].toLongLong(), args[i].toLongLong());
        }
    }

    void answerLogLines_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("battery info")
            << plainFrame(0x10, 0x06, bytes({0, 0x00, 0x64, 0, 0, 0xD0, 0x39, 0, 0, 0x8C, 0, 0xE8, 0x03, 0xA0, 0x41}))
            << QStringList{"handleStaticInfo: battery info cell_count(0), capacity(25600), voltage(14800), power(140), "
                           "cycle_rated(1000), full_voltage(16800)",
                           "handleStaticInfo: cached: len=21"};
        QTest::newRow("illegal soc") << plainFrame(0x20, 0x01, bytes({101}))
                                     << QStringList{"handleCellRealtimeStatus: illegal soc 101"};
        QTest::newRow("first part") << plainFrame(0x10, 0x11, "ab")
                                    << QStringList{"handleStaticInfo: apptitle1 LEN=2"};
        QTest::newRow("unknown static") << plainFrame(0x10, 0x13, "x")
                                        << QStringList{"handleStaticInfo: Not matched resolved for subcmd 19"};
        QTest::newRow("unknown command")
            << plainFrame(0x40, 0x02, "x")
            << QStringList{"handlePacketReceived: command=40, subcmd=2", "handlePacketReceived: ommit cmd"};
        QTest::newRow("command in hex") << plainFrame(0xA1, 0x03, bytes({1}))
                                        << QStringList{"handlePacketReceived: command=A1, subcmd=3",
                                                       "handleSendConfig: subcommand=3",
                                                       "handleSendConfig: screen timeout support(1), ok(0)"};
        QTest::newRow("time result") << plainFrame(0xA1, 0x01, bytes({0}))
                                     << QStringList{"handleSendConfig: current time support(1)ok(1)"};
        QTest::newRow("port record")
            << plainFrame(0x31, 0x00, bytes({1, 0x21, 0x88, 0x13, 0xB8, 0x0B, 0xF4, 0xFF, 7, 0x96, 0x00, 0}))
            << QStringList{"handleInputOutputInfo: count1",
                           "handleInputOutputInfo: index(1), status(2), type(1), voltage(5000), currentMa(3000), "
                           "tempC(-12), protocol(7), power(150)"};
        QTest::newRow("port short") << plainFrame(0x31, 0x00, QByteArray(11, '\1'))
                                    << QStringList{"handleInputOutputInfo: no input out info"};
        QTest::newRow("cell detail empty") << plainFrame(0x30, 0x00, QByteArray(7, '\1'))
                                           << QStringList{"handleCellDetailInfo: no cell detail info"};
        QTest::newRow("settings") << plainFrame(0x12, 0x03, bytes({0x2C, 0x01}))
                                  << QStringList{"handleDeviceSettings: screen timeout (300)"};
        QTest::newRow("settings unknown") << plainFrame(0x12, 0x07, bytes({1}))
                                          << QStringList{"handleDeviceSettings: Not matched resolved for subcmd 7"};
    }

    void answerLogLines()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QStringList, lines);
        LogMark mark;
        feed(frame);
        const QStringList logged = mark.lines();
        for (const QString& line : lines)
            QVERIFY2(logged.contains(line), qPrintable(line + "\nlogged:\n" + logged.join('\n')));
    }

    // An answer too short for the fields its handler reads is dropped: no signal, no cache
    // entry, no per-cell requests.
    void shortAnswerIsDropped_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("sub");
        QTest::addColumn<int>("length");
        const struct { int cmd, sub, need; } minimums[] = {
            {0x10, 0x06, 15}, {0x10, 0x07, 1}, {0x10, 0x0E, 4}, {0x10, 0x0A, 1}, {0x20, 0x05, 1},
            {0x11, 0x01, 18}, {0x12, 0x01, 8}, {0x12, 0x02, 1},  {0x12, 0x03, 2}, {0x20, 0x01, 1},
            {0x20, 0x02, 1},  {0x20, 0x03, 2}, {0x20, 0x04, 16}, {0xA1, 0x01, 1}, {0xA1, 0x02, 1},
            {0xA1, 0x03, 1},
        };
        for (const auto& m : minimums) {
            QTest::addRow("%02X/%02X empty", m.cmd, m.sub) << m.cmd << m.sub << 0;
            if (m.need > 1)
                QTest::addRow("%02X/%02X one short", m.cmd, m.sub) << m.cmd << m.sub << m.need - 1;
        }
    }

    void shortAnswerIsDropped()
    {
        QFETCH(int, command);
        QFETCH(int, sub);
        QFETCH(int, length);
        AllSignals spies(api.get());
        LogMark mark;
        feed(plainFrame(uint8_t(command), uint8_t(sub), QByteArray(length, char(0xE6))));
        const QString expected = QStringLiteral("handlePacketReceived: short answer dropped, command=%1, subcmd=%2, len=%3")
                                     .arg(QString::number(command, 16).toUpper())
                                     .arg(sub)
                                     .arg(length);
        QVERIFY2(mark.has(expected),
                 qPrintable(mark.lines().join('\n')));
        QVERIFY(!mark.has("handleStaticInfo: cached"));
        QVERIFY(!mark.has("requestCellItemSn"));
        QCOMPARE(spies.total(), 0);

        // Nothing was stored: every cached request goes to the device.
        api->requestStaticInfo();
        api->requestStaticCellInfo();
        api->requestPortCount();
        api->requestCellRealtimeStatus();
        QVERIFY(!mark.has("requestStaticInfo(Cache"));
        QVERIFY(!mark.has("requestStaticCellInfo(Cache)"));
        QVERIFY(!mark.has("requestPortCount(Cache)"));
        QVERIFY(!mark.has("requestCellRealtimeStatus(Cache)"));
        QCOMPARE(spies.total(), 0);
    }

    void staticInfoReplaysFromCache()
    {
        const QList<QPair<uint8_t, QByteArray>> answers = {
            {0x01, "Tavrin"}, {0x02, "F"},  {0x03, "M"},  {0x04, "SN"}, {0x05, "T"},      {0x08, "D"},
            {0x09, "Mo"},     {0x0B, "PN"}, {0x0C, "HW"}, {0x0D, "SW"}, {0x0E, bytes({1, 0, 0, 0})},
            {0x0F, "Or"},     {0x2F, "ig"}, {0x12, "C"},  {0x22, "N"},  {0x10, "BM"},
        };
        {
            LogMark mark;
            api->requestStaticInfo();
            QCOMPARE(mark.count("requestStaticInfo:"), 16);
        }
        for (const auto& [sub, payload] : answers)
            feed(plainFrame(0x10, sub, payload));

        AllSignals spies(api.get());
        LogMark mark;
        api->requestStaticInfo();
        QCOMPARE(mark.count("requestStaticInfo:"), 0);
        QCOMPARE(mark.count("requestStaticInfo(Cache[0x"), 16);
        QVERIFY(mark.has("requestStaticInfo(Cache[0x2f]):"));
        QVERIFY(mark.has("requestStaticInfo(Cache[0xe]):"));
        QVERIFY(!mark.has("handleStaticInfo: cached"));
        QCOMPARE(spies.total(), 14);
        for (const char* name : {"brand", "factory", "batteryManufacturer", "productSn", "batteryType",
                                 "productionDate", "model", "productName", "hardwareVersion", "softwareVersion",
                                 "supportProtocol", "originManufacturer", "batteryManufacturerCn", "batteryModel"})
            QVERIFY2(spies[name].count() == 1, name);
        QCOMPARE(spies["originManufacturer"].first().first().toString(), "Orig");
        QCOMPARE(spies["batteryManufacturerCn"].first().first().toString(), "CN");
    }

    void appTitleNeedsBothParts()
    {
        feed(plainFrame(0x10, 0x11, "Tessa"));
        LogMark first;
        api->requestAppTitle();
        QVERIFY(first.has("requestAppTitle1:"));
        QVERIFY(first.has("requestAppTitle2:"));

        feed(plainFrame(0x10, 0x21, "volt"));
        AllSignals spies(api.get());
        LogMark second;
        api->requestAppTitle();
        QVERIFY(second.has("requestAppTitle1(Cache):"));
        QVERIFY(second.has("requestAppTitle2(Cache):"));
        QVERIFY(!second.has("requestAppTitle1:"));
        QCOMPARE(spies["appTitle"].count(), 1);
        QCOMPARE(spies["appTitle"].first().first().toString(), "Tessavolt");
    }

    void cellItemsReplayWithBatteryInfo()
    {
        const QByteArray battery =
            plainFrame(0x10, 0x06, bytes({2, 0x00, 0x64, 0, 0, 0xD0, 0x39, 0, 0, 0x8C, 0, 0xE8, 0x03, 0xA0, 0x41}));
        LogMark asked;
        feed(battery);
        QCOMPARE(asked.count("requestCellItemSn:"), 2);
        QCOMPARE(asked.count("requestCellItemAts:"), 2);
        feed(plainFrame(0x10, 0x0A, QByteArray("\x00SN0", 4)));
        feed(plainFrame(0x20, 0x05, QByteArray("\x00" "A0", 3)));
        feed(plainFrame(0x10, 0x0A, QByteArray("\x01SN1")));

        AllSignals spies(api.get());
        LogMark mark;
        api->requestStaticCellInfo();
        QVERIFY(mark.has("requestStaticCellInfo(Cache):"));
        QVERIFY(mark.has("requestCellItemInfo(Cache): index=0, sn=SN0, activateTsA0"));
        QVERIFY(!mark.has("requestCellItemSn"));
        QVERIFY(!mark.has("requestCellItemAts"));
        QCOMPARE(spies["batteryInfo"].count(), 1);
        QCOMPARE(spies["cellItemInfo"].count(), 1); // cell 1 has no activation text yet
        QCOMPARE(spies["cellItemInfo"].first().at(1).toString(), "SN0");
    }

    void realtimeCacheLifetimes()
    {
        feed(plainFrame(0x20, 0x01, bytes({101})));
        feed(plainFrame(0x20, 0x02, bytes({90})));
        feed(plainFrame(0x20, 0x03, bytes({7, 0})));

        struct Step { qint64 after; int replays; QStringList asked; };
        const Step steps[] = {
            {4999, 3, {}},
            {5000, 2, {"soc"}},
            {59999, 2, {"soc"}},
            {60000, 0, {"soc", "soh", "cycle"}},
        };
        const qint64 stored = clockMs;
        for (const Step& step : steps) {
            // Each probe starts from the answers of the first three frames again.
            api = std::make_unique<HidServiceApi>(nullptr);
            clockMs = stored;
            api->setClock([this] { return clockMs; });
            feed(plainFrame(0x20, 0x01, bytes({101})));
            feed(plainFrame(0x20, 0x02, bytes({90})));
            feed(plainFrame(0x20, 0x03, bytes({7, 0})));
            clockMs = stored + step.after;

            AllSignals spies(api.get());
            LogMark mark;
            api->requestCellRealtimeStatus();
            QCOMPARE(mark.count("requestCellRealtimeStatus(Cache):"), step.replays);
            QCOMPARE(mark.count("requestCellRealtimeStatus:"), step.asked.size());
            QCOMPARE(spies.total(), step.replays);
            if (!step.asked.contains("soc")) {
                QCOMPARE(spies["soc"].count(), 1);
                QCOMPARE(spies["soc"].first().first().toInt(), 100);
                QVERIFY(mark.has("handleCellRealtimeStatus: illegal soc 101"));
            }
            if (!step.asked.contains("soh"))
                QCOMPARE(spies["soh"].first().first().toInt(), 90);
            if (!step.asked.contains("cycle"))
                QCOMPARE(spies["cycleCount"].first().first().toInt(), 7);
        }
    }

    void replayStoresNothingAndExpiredEntryIsRemoved()
    {
        feed(plainFrame(0x20, 0x01, bytes({40})));
        clockMs += 1000;
        api->requestCellRealtimeStatus(); // a replay must not refresh the time of storage
        clockMs += 4000;
        LogMark mark;
        api->requestCellRealtimeStatus();
        QCOMPARE(mark.count("requestCellRealtimeStatus(Cache):"), 0);
        clockMs -= 4000; // the expired entry is gone even for an earlier clock
        LogMark again;
        api->requestCellRealtimeStatus();
        QCOMPARE(again.count("requestCellRealtimeStatus(Cache):"), 0);
    }

    void requestsWithoutDeviceAreBuiltAndLogged()
    {
        AllSignals spies(api.get());
        LogMark mark;
        api->requestCellDetailInfo();
        api->requestCellCurrentEvent();
        api->requestInputOutputInfo(0, 4);
        api->requestDeviceSettings();
        api->setBrighteness(55);
        api->setScreenTimeout(300);
        for (const char* tag : {"requestCellDetailInfo:", "requestCellCurrentEvent:", "requestInputOutputInfo:",
                                "setBrighteness:", "setScreenTimeout:"})
            QVERIFY2(mark.count(tag) == 1, tag);
        QCOMPARE(mark.count("requestDeviceSettings:"), 3);
        QVERIFY(mark.has("setBrighteness=55"));
        QVERIFY(mark.has("setScreenTimeout=300"));
        const QStringList lines = mark.lines();
        QVERIFY(lines.indexOf("setScreenTimeout=300") < lines.indexOf(QRegularExpression("^setScreenTimeout:.*")));
        QCOMPARE(spies.total(), 0);
    }
};

QTEST_GUILESS_MAIN(TstHidServiceApi)
#include "tst_hid_service_api.moc"
