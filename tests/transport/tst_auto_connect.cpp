// Automatic connection against the simulated power bank: the first attempt after 2000 ms, the
// shrinking retry interval, reconnection after a loss, switching off, and destruction.
#include "tst_hid_bridge_support.h"

#include "transport/hid_auto_connect.h"
#include "transport/hid_bridge.h"

#include <QElapsedTimer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::sim::SimulatedPowerBank;

class TstAutoConnect : public QObject
{
    Q_OBJECT

    HidBridge* bridge = HidBridge::instance();

    // Waits until the auto-connect object reports the link connected; ms from `since`.
    static qint64 waitConnected(HidAutoConnect& autoConnect, const QElapsedTimer& since, int timeoutMs)
    {
        if (!QTest::qWaitFor([&] { return autoConnect.connected(); }, timeoutMs))
            return -1;
        return since.elapsed();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
    }

    void cleanup()
    {
        bridge->closeDevice();
        QTest::qWait(50);
    }

    void retriesShortenThenResetOnSuccess()
    {
        SimulatedPowerBank bank(linkIdentity(), false);
        LogMark mark;
        QElapsedTimer clock;
        clock.start();
        HidAutoConnect autoConnect;
        QList<QPair<qint64, int>> changes;
        connect(&autoConnect, &HidAutoConnect::retryIntervalChanged, this,
                [&] { changes << qMakePair(clock.elapsed(), autoConnect.retryInterval()); });
        QSignalSpy connectedChanged(&autoConnect, &HidAutoConnect::connectedChanged);
        QVERIFY(autoConnect.active());
        QCOMPARE(autoConnect.retryInterval(), 2000);

        // Failed attempts 2000, 1600 and 1200 ms apart (each interval counts from the end of the
        // previous attempt, which takes a few ms without a device), each shortening the interval.
        QVERIFY(QTest::qWaitFor([&] { return changes.size() == 3; }, 8000));
        const qint64 expectedGap[] = {2000, 1600, 1200};
        const int expectedValue[] = {1600, 1200, 1000};
        for (int i = 0; i < 3; ++i) {
            const qint64 gap = changes[i].first - (i == 0 ? 0 : changes[i - 1].first);
            QVERIFY2(gap >= expectedGap[i] - 5 && gap < expectedGap[i] + 350,
                     qPrintable(QStringLiteral("change %1 after %2 ms").arg(i).arg(gap)));
            QCOMPARE(changes[i].second, expectedValue[i]);
        }
        // The fourth attempt (1000 ms later) changes nothing and says nothing.
        QTest::qWait(1300);
        QCOMPARE(changes.size(), 3);
        QCOMPARE(mark.countStarting(QStringLiteral("decreaseRetryInterval:1600MS")), 1);
        QCOMPARE(mark.countStarting(QStringLiteral("decreaseRetryInterval:1200MS")), 1);
        QCOMPARE(mark.countStarting(QStringLiteral("decreaseRetryInterval:1000MS")), 1);
        QCOMPARE(mark.countStarting(QStringLiteral("decreaseRetryInterval:")), 3);
        QCOMPARE(mark.countStarting(QStringLiteral("HID_CONNECT_FAILED ")), 1);

        QVERIFY(bank.plug());
        QElapsedTimer plugged;
        plugged.start();
        const qint64 after = waitConnected(autoConnect, plugged, 3000);
        QVERIFY2(after >= 0 && after < 1900, qPrintable(QString::number(after)));
        QCOMPARE(autoConnect.retryInterval(), 2000);
        QCOMPARE(changes.size(), 4);
        QCOMPARE(connectedChanged.size(), 1);
        const qsizetype connectedLine = mark.indexOf(QStringLiteral("HID_CONNECTED "));
        QVERIFY(connectedLine >= 0);
        QVERIFY(mark.indexOf(QStringLiteral("reconnectNow: connected to device")) > connectedLine);
    }

    void reconnectsOneIntervalAfterLoss()
    {
        SimulatedPowerBank bank(linkIdentity());
        HidAutoConnect autoConnect;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(waitConnected(autoConnect, clock, 4000) >= 0);

        LogMark mark;
        QList<bool> seen;
        QElapsedTimer lostAt;
        connect(&autoConnect, &HidAutoConnect::connectedChanged, this, [&] {
            seen << autoConnect.connected();
            if (!autoConnect.connected())
                lostAt.start();
        });
        bank.unplug();
        QVERIFY(QTest::qWaitFor([&] { return seen.size() == 1; }, 3000));
        QCOMPARE(seen, QList<bool>{false});
        QCOMPARE(mark.countStarting(QStringLiteral("handleBridgeConnectedChanged: schedule reconnect")), 1);
        QVERIFY(mark.indexOf(QStringLiteral("HID_DISCONNECTED ")) >= 0);
        QVERIFY(mark.starting(QStringLiteral("HID_DISCONNECTED ")).first().endsWith(" reason=device_disconnected"));

        QVERIFY(bank.plug());
        const qint64 after = waitConnected(autoConnect, lostAt, 4000);
        QVERIFY2(after >= 1980 && after < 3500, qPrintable(QString::number(after)));
        QCOMPARE(seen, (QList<bool>{false, true}));
        QCOMPARE(autoConnect.retryInterval(), 2000);
    }

    void switchingOffClosesAndStopsAttempts()
    {
        SimulatedPowerBank bank(linkIdentity());
        HidAutoConnect autoConnect;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(waitConnected(autoConnect, clock, 4000) >= 0);

        LogMark mark;
        QSignalSpy active(&autoConnect, &HidAutoConnect::activeChanged);
        QSignalSpy connectedChanged(&autoConnect, &HidAutoConnect::connectedChanged);
        autoConnect.setActive(true);
        QCOMPARE(active.size(), 0);
        QVERIFY(mark.lines().isEmpty());

        autoConnect.setActive(false);
        QCOMPARE(active.size(), 1);
        QVERIFY(!autoConnect.active());
        QVERIFY(!autoConnect.connected());
        QVERIFY(mark.starting(QStringLiteral("HID_DISCONNECTED ")).value(0).endsWith(" reason=closed"));
        QVERIFY(QTest::qWaitFor([&] { return connectedChanged.size() == 1; }, 1000));
        QCOMPARE(mark.countStarting(QStringLiteral("handleBridgeConnectedChanged: schedule reconnect")), 1);

        const int probes = bank.requestsFor(0x10, 0x06).size();
        QTest::qWait(2600);
        QCOMPARE(bank.requestsFor(0x10, 0x06).size(), probes);
        QVERIFY(!autoConnect.connected());

        QElapsedTimer on;
        on.start();
        autoConnect.setActive(true);
        QCOMPARE(active.size(), 2);
        QCOMPARE(mark.countStarting(QStringLiteral("setActive: schedule reconnect")), 1);
        const qint64 after = waitConnected(autoConnect, on, 4000);
        QVERIFY2(after >= 1980 && after < 3500, qPrintable(QString::number(after)));
    }

    void linkErrorsAreForwarded()
    {
        HidAutoConnect autoConnect;
        QSignalSpy errors(&autoConnect, &HidAutoConnect::errorOccurred);
        LogMark mark;
        emit bridge->errorOccurred(QStringLiteral("Broken pipe"));
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().first().toString(), QStringLiteral("Broken pipe"));
        QCOMPARE(mark.lines(), QStringList{QStringLiteral("onErrorMsgRecv:Broken pipe")});
    }

    void destroyingWhileConnectedClosesSilently()
    {
        SimulatedPowerBank bank(linkIdentity());
        auto* autoConnect = new HidAutoConnect;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(waitConnected(*autoConnect, clock, 4000) >= 0);

        int emitted = 0;
        QObject context;
        for (auto signal : {&HidAutoConnect::activeChanged, &HidAutoConnect::connectedChanged,
                            &HidAutoConnect::retryIntervalChanged})
            connect(autoConnect, signal, &context, [&] { ++emitted; });
        LogMark mark;
        delete autoConnect;
        QVERIFY(!bridge->connected());
        QVERIFY(mark.indexOf(QStringLiteral("taskLoop: exit")) >= 0);
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 0; }, 2000));
        QTest::qWait(2300);
        QCOMPARE(emitted, 0);
        QCOMPARE(mark.countStarting(QStringLiteral("handleBridgeConnectedChanged")), 0);
        QCOMPARE(bank.requestsFor(0x10, 0x06).size(), 1);
    }

    void qmlSeesTheSingleton()
    {
        SimulatedPowerBank bank(linkIdentity());
        auto engine = std::make_unique<QQmlEngine>();
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        QQmlComponent component(engine.get());
        component.setData(R"(
import QtQuick
import Tessaravolt
QtObject {
    property bool connected: HidAutoConnect.connected
    property int interval: HidAutoConnect.retryInterval
    property bool active: HidAutoConnect.active
}
)",
                          QUrl(QStringLiteral("qrc:/auto_connect_probe.qml")));
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("connected").toBool(), false);
        QCOMPARE(object->property("interval").toInt(), 2000);
        QCOMPARE(object->property("active").toBool(), true);
        QVERIFY(QTest::qWaitFor([&] { return object->property("connected").toBool(); }, 4000));

        // The engine owns it: destroying the engine closes the link.
        object.reset();
        engine.reset();
        QVERIFY(!bridge->connected());
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 0; }, 2000));
    }
};

QTEST_MAIN(TstAutoConnect)
#include "tst_auto_connect.moc"
