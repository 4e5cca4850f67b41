// The link's pieces that need no device: the unplug test, the errno mapping behind it, and
// requests made while nothing is connected.
#include "transport/hid_bridge.h"
#include "transport/hid_platform.h"

#include <QSignalSpy>
#include <QtTest>

#include <cerrno>

using namespace tessaravolt::transport;

class TstHidBridgeUnits : public QObject
{
    Q_OBJECT

private slots:
    void disconnectTest_data()
    {
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("unplugged");

        QTest::newRow("1167") << 1167u << QString() << true;
        QTest::newRow("1617") << 1617u << QString() << true;
        QTest::newRow("31") << 31u << QString() << true;
        QTest::newRow("433") << 433u << QString() << true;
        QTest::newRow("other code") << 5u << QStringLiteral("Input/output error") << false;
        QTest::newRow("no code, no text") << 0u << QString() << false;
        QTest::newRow("poll error text") << 0u
                                         << QStringLiteral(
                                                "hid_read_timeout: unexpected poll error (device disconnected)")
                                         << true;
        QTest::newRow("removed") << 0u << QStringLiteral("device removed") << true;
        QTest::newRow("capital D") << 0u << QStringLiteral("Disconnected") << false;
    }

    void disconnectTest()
    {
        QFETCH(uint, code);
        QFETCH(QString, text);
        QFETCH(bool, unplugged);
        QCOMPARE(isDisconnectError(code, text), unplugged);
    }

    void errnoMapping()
    {
        QCOMPARE(lastErrorFromErrno(ENODEV), 1167u);
        QCOMPARE(lastErrorFromErrno(ENXIO), 433u);
        // EMLINK is 31 on Linux, ERROR_GEN_FAILURE's number: a raw errno must never pass.
        QCOMPARE(EMLINK, 31);
        QCOMPARE(lastErrorFromErrno(EMLINK), 0u);
        QVERIFY(!isDisconnectError(lastErrorFromErrno(EMLINK), QString()));
        QCOMPARE(lastErrorFromErrno(EIO), 0u);
        QCOMPARE(lastErrorFromErrno(0), 0u);
    }

    void lastErrorIsPerThread()
    {
        setLastHidError(1167);
        uint32_t seenElsewhere = 99;
        std::thread other([&] { seenElsewhere = lastHidError(); });
        other.join();
        QCOMPARE(seenElsewhere, 0u);
        QCOMPARE(lastHidError(), 1167u);
        setLastHidError(0);
    }

    void wideTexts()
    {
        QCOMPARE(hidText(nullptr), QString());
        QCOMPARE(hidText(L"Zugriff verweigert \u00e4"), QStringLiteral("Zugriff verweigert \u00e4"));
    }

    void requestsWithoutDeviceAreRefusedSilently()
    {
        HidBridge* bridge = HidBridge::instance();
        QVERIFY(!bridge->connected());
        QSignalSpy errors(bridge, &HidBridge::errorOccurred);
        const uint8_t report[17] = {0x00, 0xAA, 0x55};
        QVERIFY(!bridge->sendData(report, sizeof report, HidRequestPriority::Foreground));
        QVERIFY(!bridge->sendData(report, sizeof report, HidRequestPriority::Background));
        QVERIFY(!bridge->sendData(nullptr, 17, HidRequestPriority::Foreground));
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(0));
        QCOMPARE(errors.size(), 0);
    }

    void closingWhileIdleTwice()
    {
        HidBridge* bridge = HidBridge::instance();
        QSignalSpy changed(bridge, &HidBridge::connectedChanged);
        bridge->closeDevice();
        bridge->closeDevice();
        QCoreApplication::processEvents();
        QCOMPARE(changed.size(), 0);
        QVERIFY(!bridge->connected());
    }
};

QTEST_GUILESS_MAIN(TstHidBridgeUnits)
#include "tst_hid_bridge_units.moc"
