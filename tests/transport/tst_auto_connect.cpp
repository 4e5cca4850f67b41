// Automatic connection against the simulated power bank: the first attempt one interval after start,
// the shrinking retry interval, reconnection after a loss, switching off, and destruction. The retry
// timer is the test's own: it sees each interval the object asks for and decides when it ends.
#include "tst_hid_bridge_support.h"

#include "transport/hid_auto_connect.h"
#include "transport/hid_bridge.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QtQml/qqml.h>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::sim::SimulatedPowerBank;

namespace {

class FakeRetryTimer : public HidAutoConnect::RetryTimer
{
public:
    void start(int ms) override
    {
        starts << ms;
        armedMs = ms;
    }
    void stop() override { armedMs = -1; }
    bool isActive() const override { return armedMs >= 0; }

    // Ends the running interval as the real timer would: stopped first, then the attempt.
    bool fire()
    {
        if (!isActive() || !timeout)
            return false;
        armedMs = -1;
        timeout();
        return true;
    }

    QList<int> starts; // every interval the object asked for, in order
    int armedMs = -1;  // the running interval, -1 when stopped
};

} // namespace

class TstAutoConnect : public QObject
{
    Q_OBJECT

    HidBridge* bridge = HidBridge::instance();

    // The first attempt: one full interval after the object's first turn of the event loop.
    static bool connectFirstTime(HidAutoConnect& autoConnect, FakeRetryTimer& timer)
    {
        if (!QTest::qWaitFor([&] { return timer.armedMs == 2000; }, 2000))
            return false;
        return timer.fire() && autoConnect.connected();
    }

private slots:
    void initTestCase() { QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper"); }

    void cleanup()
    {
        bridge->closeDevice();
        // The close joined the worker; deliver its last signal here, not in the next test.
        QCoreApplication::sendPostedEvents();
    }

    void retriesShortenThenResetOnSuccess()
    {
        SimulatedPowerBank bank(linkIdentity(), false);
        LogMark mark;
        FakeRetryTimer timer;
        HidAutoConnect autoConnect;
        autoConnect.setRetryTimer(&timer);
        QList<int> changes;
        connect(&autoConnect, &HidAutoConnect::retryIntervalChanged, this,
                [&] { changes << autoConnect.retryInterval(); });
        QSignalSpy connectedChanged(&autoConnect, &HidAutoConnect::connectedChanged);
        QVERIFY(autoConnect.active());
        QCOMPARE(autoConnect.retryInterval(), 2000);
        // Nothing is scheduled before the event loop turns.
        QVERIFY(timer.starts.isEmpty());
        QTRY_COMPARE(timer.starts, QList<int>{2000});

        // Each failed attempt shortens the interval by 400 ms down to 1000 ms and schedules the next
        // attempt with it; the fourth changes nothing and says nothing.
        for (int attempt = 0; attempt < 4; ++attempt)
            QVERIFY(timer.fire());
        QCOMPARE(timer.starts, (QList<int>{2000, 1600, 1200, 1000, 1000}));
        QCOMPARE(changes, (QList<int>{1600, 1200, 1000}));
        QVERIFY(!autoConnect.connected());
        QCOMPARE(mark.countStarting(QStringLiteral("decreaseRetryInterval:1600MS")), 1);
        QCOMPARE(mark.countStarting(QStringLiteral("decreaseRetryInterval:1200MS")), 1);
        QCOMPARE(mark.countStarting(QStringLiteral("decreaseRetryInterval:1000MS")), 1);
        QCOMPARE(mark.countStarting(QStringLiteral("decreaseRetryInterval:")), 3);
        QCOMPARE(mark.countStarting(QStringLiteral("HID_CONNECT_FAILED ")), 1);

        // Success puts the interval back to 2000 ms and schedules nothing more.
        QVERIFY(bank.plug());
        QVERIFY(timer.fire());
        QVERIFY(autoConnect.connected());
        QCOMPARE(autoConnect.retryInterval(), 2000);
        QCOMPARE(changes, (QList<int>{1600, 1200, 1000, 2000}));
        QVERIFY(!timer.isActive());
        QCOMPARE(timer.starts.size(), 5);
        QTRY_COMPARE(connectedChanged.size(), 1);
        const qsizetype connectedLine = mark.indexOf(QStringLiteral("HID_CONNECTED "));
        QVERIFY(connectedLine >= 0);
        QVERIFY(mark.indexOf(QStringLiteral("reconnectNow: connected to device")) > connectedLine);
    }

    void reconnectsOneIntervalAfterLoss()
    {
        SimulatedPowerBank bank(linkIdentity());
        FakeRetryTimer timer;
        HidAutoConnect autoConnect;
        autoConnect.setRetryTimer(&timer);
        QVERIFY(connectFirstTime(autoConnect, timer));

        LogMark mark;
        QList<bool> seen;
        connect(&autoConnect, &HidAutoConnect::connectedChanged, this, [&] { seen << autoConnect.connected(); });
        bank.unplug();
        QTRY_COMPARE(seen.size(), 1);
        QCOMPARE(seen, QList<bool>{false});
        QCOMPARE(mark.countStarting(QStringLiteral("handleBridgeConnectedChanged: schedule reconnect")), 1);
        QVERIFY(mark.indexOf(QStringLiteral("HID_DISCONNECTED ")) >= 0);
        QVERIFY(mark.starting(QStringLiteral("HID_DISCONNECTED ")).first().endsWith(" reason=device_disconnected"));
        // The loss schedules one full interval.
        QCOMPARE(timer.armedMs, 2000);
        QCOMPARE(timer.starts, (QList<int>{2000, 2000}));

        QVERIFY(bank.plug());
        QVERIFY(timer.fire());
        QTRY_COMPARE(seen, (QList<bool>{false, true}));
        QCOMPARE(autoConnect.retryInterval(), 2000);
        QVERIFY(!timer.isActive());
    }

    void switchingOffClosesAndStopsAttempts()
    {
        SimulatedPowerBank bank(linkIdentity());
        FakeRetryTimer timer;
        HidAutoConnect autoConnect;
        autoConnect.setRetryTimer(&timer);
        QVERIFY(connectFirstTime(autoConnect, timer));

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
        QTRY_COMPARE(connectedChanged.size(), 1);
        QCOMPARE(mark.countStarting(QStringLiteral("handleBridgeConnectedChanged: schedule reconnect")), 1);
        // Switched off, the loss schedules no attempt: there is nothing that could probe the device.
        QVERIFY(!timer.isActive());
        QCOMPARE(timer.starts.size(), 1);
        QCOMPARE(bank.requestsFor(0x10, 0x06).size(), 1);

        autoConnect.setActive(true);
        QCOMPARE(active.size(), 2);
        QCOMPARE(mark.countStarting(QStringLiteral("setActive: schedule reconnect")), 1);
        QCOMPARE(timer.armedMs, 2000);
        QVERIFY(timer.fire());
        QVERIFY(autoConnect.connected());
        QCOMPARE(bank.requestsFor(0x10, 0x06).size(), 2);
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
        FakeRetryTimer timer;
        auto* autoConnect = new HidAutoConnect;
        autoConnect->setRetryTimer(&timer);
        QVERIFY(connectFirstTime(*autoConnect, timer));

        int emitted = 0;
        QObject context;
        for (auto signal :
             {&HidAutoConnect::activeChanged, &HidAutoConnect::connectedChanged, &HidAutoConnect::retryIntervalChanged})
            connect(autoConnect, signal, &context, [&] { ++emitted; });
        LogMark mark;
        delete autoConnect;
        QVERIFY(!bridge->connected());
        QVERIFY(mark.indexOf(QStringLiteral("taskLoop: exit")) >= 0);
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 0; }, 2000));
        // Nothing is left scheduled, and the worker's last signal, already posted, finds no receiver.
        QVERIFY(!timer.isActive());
        QVERIFY(!timer.timeout);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(emitted, 0);
        QCOMPARE(mark.countStarting(QStringLiteral("handleBridgeConnectedChanged")), 0);
        QCOMPARE(bank.requestsFor(0x10, 0x06).size(), 1);
    }

    void qmlSeesTheSingleton()
    {
        SimulatedPowerBank bank(linkIdentity());
        FakeRetryTimer timer; // outlives the engine, and with it the singleton
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
        auto* autoConnect =
            engine->singletonInstance<HidAutoConnect*>(qmlTypeId("Tessaravolt", 1, 0, "HidAutoConnect"));
        QVERIFY(autoConnect);
        autoConnect->setRetryTimer(&timer);
        QCOMPARE(object->property("connected").toBool(), false);
        QCOMPARE(object->property("interval").toInt(), 2000);
        QCOMPARE(object->property("active").toBool(), true);
        QVERIFY(connectFirstTime(*autoConnect, timer));
        QTRY_VERIFY(object->property("connected").toBool());

        // The engine owns it: destroying the engine closes the link.
        object.reset();
        engine.reset();
        QVERIFY(!bridge->connected());
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 0; }, 2000));
    }
};

QTEST_MAIN(TstAutoConnect)
#include "tst_auto_connect.moc"
