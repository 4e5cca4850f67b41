// The link's worker against the simulated power bank: paced writes, the two queues, answers,
// the loss of the device, closing, and shutting the process down with a device open.
#include "tst_hid_bridge_support.h"

#include "transport/hid_bridge.h"

#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <cstdio>

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::sim::SimulatedPowerBank;

namespace {

void queue(HidBridge* bridge, uint8_t command, uint8_t subCommand, HidRequestPriority priority)
{
    const auto frame = encodeRequest(command, subCommand);
    QVERIFY(bridge->sendData(frame->data, frame->size, priority));
}

QList<int> subCommandsOf(const QList<SimulatedPowerBank::Request>& requests)
{
    QList<int> result;
    for (const auto& request : requests)
        result << (request.command << 8 | request.subCommand);
    return result;
}

} // namespace

class TstHidBridge : public QObject
{
    Q_OBJECT

    HidBridge* bridge = HidBridge::instance();

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

    void writesArePacedAndForegroundFirst()
    {
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        LinkLogMark mark;

        // Background first, foreground after: the foreground queue still wins.
        queue(bridge, 0x11, 0x01, HidRequestPriority::Background);
        queue(bridge, 0x11, 0x02, static_cast<HidRequestPriority>(7)); // any non-zero value
        for (uint8_t sub = 1; sub <= 5; ++sub)
            queue(bridge, 0x20, sub, HidRequestPriority::Foreground);
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(2));

        QVERIFY(bank.waitFor([](const auto& requests) { return requests.size() >= 8; }, 5000));
        const auto requests = bank.requests();
        QCOMPARE(requests.size(), 8);
        QCOMPARE(subCommandsOf(requests.mid(1)),
                 (QList<int>{0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x1101, 0x1102}));
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(0));

        // One sequence number per report in the order they were encoded, the probe's included:
        // the two background packets took the two numbers after the probe's.
        const uint8_t probe = requests[0].sequence;
        const int encodedAfterProbe[] = {3, 4, 5, 6, 7, 1, 2};
        for (int i = 1; i < requests.size(); ++i)
            QCOMPARE(requests[i].sequence, uint8_t(probe + encodedAfterProbe[i - 1]));
        // Nothing came back, so every write waited 100 ms after the previous one (a little
        // scheduling slack on the device's side of the line).
        for (int i = 2; i < requests.size(); ++i) {
            const qint64 gap = requests[i].msSinceStart - requests[i - 1].msSinceStart;
            QVERIFY2(gap >= 95, qPrintable(QStringLiteral("gap %1 ms before write %2").arg(gap).arg(i)));
        }
        for (const auto& request : requests)
            QCOMPARE(request.writeLength, 65);
        QCOMPARE(mark.count(QStringLiteral("writeToDevice, len=17")), 7);
        QCOMPARE(mark.count(QStringLiteral("writeToDevice:0x0 0xAA 0x55 ")), 7);
    }

    void backgroundWaitsForEmptyForeground()
    {
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        bank.clearRecords();

        queue(bridge, 0x11, 0x01, HidRequestPriority::Background);
        queue(bridge, 0x11, 0x02, HidRequestPriority::Background);
        QVERIFY(bank.waitForRequest(0x11, 0x01, 1, 2000));
        // Queued while the second background packet waits: it goes out before it.
        queue(bridge, 0x20, 0x01, HidRequestPriority::Foreground);
        QVERIFY(bank.waitFor([](const auto& requests) { return requests.size() >= 3; }, 3000));
        QCOMPARE(subCommandsOf(bank.requests()), (QList<int>{0x1101, 0x2001, 0x1102}));
    }

    void answerLiftsTheWait()
    {
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.clearRecords();
        QSignalSpy data(bridge, &HidBridge::dataReceived);
        LinkLogMark mark;

        queue(bridge, 0x20, 0x01, HidRequestPriority::Foreground);
        queue(bridge, 0x20, 0x02, HidRequestPriority::Foreground);
        queue(bridge, 0x20, 0x03, HidRequestPriority::Foreground);
        QVERIFY(bank.waitFor([](const auto& requests) { return requests.size() >= 3; }, 3000));
        QVERIFY(QTest::qWaitFor([&] { return data.size() >= 3; }, 3000));
        const auto requests = bank.requests();
        // Each answer arrived before the next write, which went out in the next idle turn.
        for (int i = 1; i < requests.size(); ++i) {
            const qint64 gap = requests[i].msSinceStart - requests[i - 1].msSinceStart;
            QVERIFY2(gap < 95, qPrintable(QStringLiteral("gap %1 ms").arg(gap)));
        }
        for (const auto& args : data)
            QCOMPARE(args.first().toByteArray().size(), 64);
        QCOMPARE(mark.count(QStringLiteral("taskLoop onPacket: size=64")), 3);
    }

    void unplugWhileConnected()
    {
        SimulatedPowerBank bank(linkIdentity(0x0B0B));
        QVERIFY(bridge->openSupportedPowerBank());
        LinkLogMark mark;
        QSignalSpy errors(bridge, &HidBridge::errorOccurred);
        QThread* receiverThread = nullptr;
        int changes = 0;
        bool lastState = true;
        QObject context;
        connect(bridge, &HidBridge::connectedChanged, &context, [&](bool connected) {
            ++changes;
            lastState = connected;
            receiverThread = QThread::currentThread();
        });

        bank.unplug();
        QVERIFY(QTest::qWaitFor([&] { return changes == 1; }, 3000));
        QCOMPARE(lastState, false);
        QCOMPARE(receiverThread, QThread::currentThread());
        QVERIFY(!bridge->connected());

        const QStringList disconnected = mark.starting(QStringLiteral("HID_DISCONNECTED "));
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(disconnected.first(),
                 QStringLiteral("HID_DISCONNECTED VID=0x%1 PID=0x0B0B reason=device_disconnected")
                     .arg(hex4(kSupportedVendorIds[0])));
        QVERIFY(mark.indexOf(QStringLiteral("taskLoop: exit")) > mark.indexOf(QStringLiteral("HID_DISCONNECTED")));

        // Refused at once, without a signal, now that the flag is down.
        const auto frame = encodeRequest(0x20, 0x01);
        QVERIFY(!bridge->sendData(frame->data, frame->size, HidRequestPriority::Foreground));
        QTest::qWait(100);
        QCOMPARE(errors.size(), 0);
        QCOMPARE(changes, 1);

        // The next attempt starts by closing the lost handle.
        QVERIFY(bank.plug());
        QVERIFY(bridge->openSupportedPowerBank());
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 1; }, 2000));
    }

    void closeWhileConnected()
    {
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        for (int i = 0; i < 4; ++i)
            queue(bridge, 0x11, 0x01, HidRequestPriority::Background);
        // Recorded on this thread, so a direct delivery from the worker would show.
        QList<bool> changed;
        QObject context;
        connect(bridge, &HidBridge::connectedChanged, &context, [&](bool connected) { changed << connected; });
        LinkLogMark mark;

        bridge->closeDevice();
        // The worker is joined when the close returns; its signal waits for the event loop.
        const qsizetype disconnected = mark.indexOf(QStringLiteral("HID_DISCONNECTED "));
        QVERIFY(disconnected >= 0);
        QVERIFY(mark.lines().at(disconnected).endsWith(QStringLiteral(" reason=closed")));
        QVERIFY(mark.indexOf(QStringLiteral("taskLoop: exit")) > disconnected);
        QCOMPARE(changed.size(), 0);
        QVERIFY(QTest::qWaitFor([&] { return changed.size() == 1; }, 1000));
        QCOMPARE(changed.first(), false);
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(0));
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 0; }, 2000));

        bridge->closeDevice();
        QTest::qWait(50);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(mark.count(QStringLiteral("HID_DISCONNECTED")), 1);
    }

    void shutdownWithDeviceOpenJoinsTheWorker()
    {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--shutdown-child")});
        child.start();
        QVERIFY(child.waitForFinished(30000));
        const QByteArray out = child.readAllStandardOutput();
        const QByteArray err = child.readAllStandardError();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 0, err.constData());
        QVERIFY2(out.contains("SHUTDOWN_OK"), (out + err).constData());
    }
};

namespace {

// Destroyed after the link (constructed before it): looks at what the link's destruction logged.
struct ShutdownObserver
{
    ~ShutdownObserver()
    {
        const auto entries = tessaravolt::common::LoggerManager::instance().entries();
        bool connected = false, disconnected = false, exited = false;
        for (const auto& entry : entries) {
            connected = connected || entry.message.startsWith(QLatin1String("HID_CONNECTED "));
            disconnected = disconnected
                           || (entry.message.startsWith(QLatin1String("HID_DISCONNECTED "))
                               && entry.message.endsWith(QLatin1String(" reason=closed")));
            exited = exited || entry.message == QLatin1String("taskLoop: exit");
        }
        std::printf("%s connected=%d disconnected=%d exited=%d\n",
                    connected && disconnected && exited ? "SHUTDOWN_OK" : "SHUTDOWN_BAD", connected, disconnected,
                    exited);
        std::fflush(stdout);
    }
};

int runShutdownChild(int argc, char** argv)
{
    tessaravolt::common::LoggerManager::instance();
    static ShutdownObserver observer;
    // Outlives the link, so the device is still there while the link closes it.
    static std::unique_ptr<SimulatedPowerBank> bank;
    QCoreApplication app(argc, argv);
    bank = std::make_unique<SimulatedPowerBank>(linkIdentity());
    HidBridge* bridge = HidBridge::instance();
    if (!bridge->openSupportedPowerBank())
        return 2;
    bank->setSilent(true);
    for (int i = 0; i < 3; ++i) {
        const auto frame = encodeRequest(0x11, 0x01);
        bridge->sendData(frame->data, frame->size, HidRequestPriority::Background);
    }
    QTest::qWait(150);
    return bridge->connected() ? 0 : 3;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--shutdown-child") == 0)
        return runShutdownChild(argc, argv);
    QCoreApplication app(argc, argv);
    TstHidBridge test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hid_bridge.moc"
