// Answer parsing, caches and their lifetimes, fed as decoded frames straight into the dispatch.
#include "transport/hid_service_api_test_support.h"

#include "common/logger_manager.h"
#include "protocol/payload.h"
#include "sim/device_codec.h"
#include "transport/hid_service_api.h"

#include <QtTest>

using namespace tessaravolt::transport;
using tessaravolt::protocol::extractPureStr;
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

    // QML connects by name and argument order; pages rely on the exact surface.
    void qmlSurfaceInMetaObjectOrder()
    {
        const QStringList expected = {
            "signal brand(QString)",
            "signal factory(QString)",
            "signal batteryManufacturer(QString)",
            "signal batteryManufacturerCn(QString)",
            "signal productSn(QString)",
            "signal batteryType(QString)",
            "signal productionDate(QString)",
            "signal model(QString)",
            "signal cellItemInfo(int16_t,QString,QString)",
            "signal productName(QString)",
            "signal hardwareVersion(QString)",
            "signal softwareVersion(QString)",
            "signal originManufacturer(QString)",
            "signal batteryModel(QString)",
            "signal appTitle(QString)",
            "signal batteryInfo(uint16_t,uint32_t,uint32_t,uint16_t,uint16_t,uint16_t)",
            "signal portCount(uint16_t)",
            "signal supportProtocol(uint32_t)",
            "signal soc(uint16_t)",
            "signal soh(uint16_t)",
            "signal cycleCount(uint16_t)",
            "signal currentEvent(uint8_t,uint8_t)",
            "signal cellDetailInfo(uint16_t,uint16_t,uint16_t,int16_t)",
            "signal staticsEvent(uint8_t,uint8_t,uint16_t,uint16_t,int16_t,int16_t,uint16_t,uint16_t,uint16_t,"
            "uint16_t)",
            "signal activityEvent(uint16_t,uint64_t,uint8_t,uint8_t,int16_t)",
            "signal abnormalEvent(uint16_t,uint64_t,uint8_t,uint8_t,int16_t)",
            "signal eventCacheReset(uint8_t)",
            "signal portInfo(uint16_t,uint8_t,uint8_t,uint16_t,uint16_t,int16_t,uint8_t,uint16_t)",
            "signal currentTime(uint64_t)",
            "signal brightness(uint16_t)",
            "signal screenTimeout(uint16_t)",
            "signal currentTimeResult(bool,bool)",
            "signal brightnessResult(bool,bool)",
            "signal screenTimeoutResult(bool,bool)",
            "void requestStaticInfo()",
            "void requestAppTitle()",
            "void requestStaticCellInfo()",
            "void requestPortCount()",
            "void requestCellRealtimeStatus()",
            "void requestCellDetailInfo()",
            "void requestCellCurrentEvent()",
            "void requestInputOutputInfo(uint8_t,uint8_t)",
            "void requestDeviceSettings()",
            "void requestStatisticEvents()",
            "void requestActivityEvents(uint8_t,int)",
            "void probeActivityEvents(uint8_t,int)",
            "void requestAbnormalEvents(uint8_t,int)",
            "void probeAbnormalEvents(uint8_t,int)",
            "void setBrighteness(uint8_t)",
            "void setScreenTimeout(uint16_t)",
            "QVariantList getCachedActivityLogs()",
            "QVariantList getCachedAbnormalLogs()",
            "QVariantMap abnormalLogCacheMeta()",
            "QVariantMap beginAbnormalLogSnapshot()",
            "QVariantList readAbnormalLogSnapshot(int,int)",
        };
        const QMetaObject* meta = &HidServiceApi::staticMetaObject;
        QStringList actual;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod m = meta->method(i);
            const QString kind =
                m.methodType() == QMetaMethod::Signal ? QStringLiteral("signal") : QString::fromLatin1(m.typeName());
            actual << kind + ' ' + QString::fromLatin1(m.methodSignature());
        }
        QCOMPARE(actual, expected);
        QCOMPARE(QString::fromLatin1(meta->className()), "tessaravolt::transport::HidServiceApi");
        QCOMPARE(QString::fromLatin1(meta->classInfo(meta->indexOfClassInfo("QML.Singleton")).value()), "true");
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

    void answerEmitsItsSignal_data() { addAnswerSignalRows(); }

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
        QVERIFY2(sameArgs(spy.first(), args), qPrintable(QVariant(spy.first()).toStringList().join(", ")));
    }

    void answerLogLines_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("battery info")
            << plainFrame(0x10, 0x06, bytes({0, 0x00, 0x64, 0, 0, 0xD0, 0x39, 0, 0, 0x8C, 0, 0xE8, 0x03, 0xA0, 0x41}))
            << QStringList{"handleStaticInfo: battery info cell_count(0), capacity(25600), voltage(14800), power(140), "
                           "cycle_rated(1000), full_voltage(16800)",
                           "handleStaticInfo: cached: len=21"}
            << QStringList{};
        // The log keeps a device text as it came, its control characters written escaped.
        QTest::newRow("device text") << plainFrame(0x10, 0x01, "Ta\x1B[2J\xE2\x80\xAEv")
                                     << QStringList{QStringLiteral("handleStaticInfo: brand Ta\\x1B[2J\\u202Ev")}
                                     << QStringList{};
        QTest::newRow("illegal soc") << plainFrame(0x20, 0x01, bytes({101}))
                                     << QStringList{"handleCellRealtimeStatus: illegal soc 101"} << QStringList{};
        QTest::newRow("soc 100") << plainFrame(0x20, 0x01, bytes({100}))
                                 << QStringList{"handleCellRealtimeStatus: soc 100"}
                                 << QStringList{"handleCellRealtimeStatus: illegal soc"};
        QTest::newRow("illegal soh") << plainFrame(0x20, 0x02, bytes({101}))
                                     << QStringList{"handleCellRealtimeStatus: illegal soh 101"} << QStringList{};
        QTest::newRow("soh 100") << plainFrame(0x20, 0x02, bytes({100}))
                                 << QStringList{"handleCellRealtimeStatus: soh 100"}
                                 << QStringList{"handleCellRealtimeStatus: illegal soh"};
        QTest::newRow("first part") << plainFrame(0x10, 0x11, "ab") << QStringList{"handleStaticInfo: apptitle1 LEN=2"}
                                    << QStringList{};
        QTest::newRow("unknown static") << plainFrame(0x10, 0x13, "x")
                                        << QStringList{"handleStaticInfo: Not matched resolved for subcmd 19"}
                                        << QStringList{};
        QTest::newRow("unknown command") << plainFrame(0x40, 0x02, "x")
                                         << QStringList{"handlePacketReceived: command=40, subcmd=2",
                                                        "handlePacketReceived: ommit cmd"}
                                         << QStringList{};
        QTest::newRow("command in hex") << plainFrame(0xA1, 0x03, bytes({1}))
                                        << QStringList{"handlePacketReceived: command=A1, subcmd=3",
                                                       "handleSendConfig: subcommand=3",
                                                       "handleSendConfig: screen timeout support(1), ok(0)"}
                                        << QStringList{};
        QTest::newRow("time result") << plainFrame(0xA1, 0x01, bytes({0}))
                                     << QStringList{"handleSendConfig: current time support(1)ok(1)"} << QStringList{};
        QTest::newRow("port record")
            << plainFrame(0x31, 0x00, bytes({1, 0x21, 0x88, 0x13, 0xB8, 0x0B, 0xF4, 0xFF, 7, 0x96, 0x00, 0}))
            << QStringList{"handleInputOutputInfo: count1",
                           "handleInputOutputInfo: index(1), status(2), type(1), voltage(5000), currentMa(3000), "
                           "tempC(-12), protocol(7), power(150)"}
            << QStringList{};
        QTest::newRow("port of type 15")
            << plainFrame(0x31, 0x00,
                          bytes({1, 0x21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}))
            << QStringList{"handleInputOutputInfo: index(4), status(15), type(15), voltage(0), currentMa(0), tempC(0), "
                           "protocol(0), power(0)",
                           "handleInputOutputInfo: dropped the record of port 4: unknown type 15"}
            << QStringList{"dropped the record of port 1"};
        QTest::newRow("port short") << plainFrame(0x31, 0x00, QByteArray(11, '\1'))
                                    << QStringList{"handleInputOutputInfo: no input out info"} << QStringList{};
        QTest::newRow("cell detail empty") << plainFrame(0x30, 0x00, QByteArray(7, '\1'))
                                           << QStringList{"handleCellDetailInfo: no cell detail info"} << QStringList{};
        QTest::newRow("settings") << plainFrame(0x12, 0x03, bytes({0x2C, 0x01}))
                                  << QStringList{"handleDeviceSettings: screen timeout (300)"} << QStringList{};
        QTest::newRow("settings unknown")
            << plainFrame(0x12, 0x07, bytes({1}))
            << QStringList{"handleDeviceSettings: Not matched resolved for subcmd 7"} << QStringList{};
    }

    void answerLogLines()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, absent);
        LogMark mark;
        feed(frame);
        const QStringList logged = mark.lines();
        for (const QString& line : lines)
            QVERIFY2(logged.contains(line), qPrintable(line + "\nlogged:\n" + logged.join('\n')));
        for (const QString& text : absent)
            QVERIFY2(!mark.has(text), qPrintable(text + " logged:\n" + logged.join('\n')));
    }

    // An answer too short for the fields its handler reads is dropped: no signal, no cache
    // entry, no per-cell requests.
    void shortAnswerIsDropped_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("sub");
        QTest::addColumn<int>("length");
        const struct
        {
            int cmd, sub, need;
        } minimums[] = {
            {0x10, 0x06, 15}, {0x10, 0x07, 1}, {0x10, 0x0E, 4}, {0x10, 0x0A, 1}, {0x20, 0x05, 1}, {0x11, 0x01, 18},
            {0x12, 0x01, 8},  {0x12, 0x02, 1}, {0x12, 0x03, 2}, {0x20, 0x01, 1}, {0x20, 0x02, 1}, {0x20, 0x03, 2},
            {0x20, 0x04, 16}, {0xA1, 0x01, 1}, {0xA1, 0x02, 1}, {0xA1, 0x03, 1},
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
        const QString expected =
            QStringLiteral("handlePacketReceived: short answer dropped, command=%1, subcmd=%2, len=%3")
                .arg(QString::number(command, 16).toUpper())
                .arg(sub)
                .arg(length);
        QVERIFY2(mark.has(expected), qPrintable(mark.lines().join('\n')));
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
            {0x01, "Tavrin"},
            {0x02, "F"},
            {0x03, "M"},
            {0x04, "SN"},
            {0x05, "T"},
            {0x08, "D"},
            {0x09, "Mo"},
            {0x0B, "PN"},
            {0x0C, "HW"},
            {0x0D, "SW"},
            {0x0E, bytes({1, 0, 0, 0})},
            {0x0F, "Or"},
            {0x2F, "ig"},
            {0x12, "C"},
            {0x22, "N"},
            {0x10, "BM"},
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
        feed(plainFrame(0x20, 0x05,
                        QByteArray("\x00"
                                   "A0",
                                   3)));
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

        struct Step
        {
            qint64 after;
            int replays;
            QStringList asked;
        };
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

    // The settings requests as the power bank reads them off the wire: the command, the
    // sub-command, the length and the value, low byte first.
    void settingsRequestBytes_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("time-out 10 s") << "setScreenTimeout" << 10 << bytes({0xAA, 0xA1, 0x03, 2, 0x0A, 0x00});
        QTest::newRow("time-out 300 s") << "setScreenTimeout" << 300 << bytes({0xAA, 0xA1, 0x03, 2, 0x2C, 0x01});
        QTest::newRow("time-out 600 s") << "setScreenTimeout" << 600 << bytes({0xAA, 0xA1, 0x03, 2, 0x58, 0x02});
        QTest::newRow("time-out 0xFF00") << "setScreenTimeout" << 0xFF00 << bytes({0xAA, 0xA1, 0x03, 2, 0x00, 0xFF});
        QTest::newRow("brightness 50 %") << "setBrighteness" << 50 << bytes({0xAA, 0xA1, 0x02, 1, 50});
    }

    void settingsRequestBytes()
    {
        QFETCH(QString, tag);
        QFETCH(int, value);
        QFETCH(QByteArray, frame);
        LogMark mark;
        if (tag == QLatin1String("setScreenTimeout"))
            api->setScreenTimeout(uint16_t(value));
        else
            api->setBrighteness(uint8_t(value));
        const QStringList logged = mark.starting(tag + QLatin1Char(':'));
        QCOMPARE(logged.size(), 1);
        QByteArray wire;
        for (const QString& hex : logged.first().mid(tag.size() + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            wire.append(char(hex.mid(2).toUInt(nullptr, 16)));
        const auto request = tessaravolt::sim::decodeRequestFrame(reinterpret_cast<const uint8_t*>(wire.constData()),
                                                                  size_t(wire.size()));
        QVERIFY2(request->size > 0, qPrintable(request->error));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(request->data), frame.size()), frame);
    }
};

QTEST_GUILESS_MAIN(TstHidServiceApi)
#include "tst_hid_service_api.moc"
