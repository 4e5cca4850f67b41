// The link's worker against the simulated power bank: paced writes, the two queues, answers,
// a device that floods the link, failed reads and writes, the loss of the device, closing, and shutting the process down with a
// device open.
#include "tst_hid_bridge_support.h"

#include "support/link_turns.h"
#include "transport/hid_bridge.h"

#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::sim::SimulatedPowerBank;
using tessaravolt::test::LinkTurns;

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

    // Waits for the device to have received `count` reports since its records were cleared.
    static bool waitForWrites(const SimulatedPowerBank& bank, int count, int timeoutMs = 3000)
    {
        return bank.waitFor([count](const auto& requests) { return requests.size() >= count; }, timeoutMs);
    }

private slots:
    void initTestCase() { QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper"); }

    void cleanup()
    {
        bridge->closeDevice();
        // The close joined the worker; deliver its last signal here, not in the next test.
        QCoreApplication::sendPostedEvents();
    }

    void writesAreSpacedOnTheRealClock()
    {
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        bank.clearRecords();
        LinkTurns turns;
        LogMark mark;

        const qint64 queuedAt = QDateTime::currentMSecsSinceEpoch();
        for (uint8_t sub = 1; sub <= 5; ++sub)
            queue(bridge, 0x20, sub, HidRequestPriority::Foreground);
        QVERIFY(waitForWrites(bank, 5, LinkTurns::kHangMs));
        QVERIFY(turns.waitForTurns());
        const qint64 writtenBy = QDateTime::currentMSecsSinceEpoch();
        QCOMPARE(subCommandsOf(bank.requests()), (QList<int>{0x2001, 0x2002, 0x2003, 0x2004, 0x2005}));
        // Nothing came back, so every write waited for 100 ms of the wall clock, as the link read
        // it for each write: the system's, not a clock of its own. Without the spacing the writes
        // would come one 30 ms turn apart.
        QList<qint64> writtenAt;
        for (const auto& turn : turns.all())
            if (turn.wrote)
                writtenAt << turn.wroteAtMs;
        QCOMPARE(writtenAt.size(), 5);
        QVERIFY2(writtenAt.first() >= queuedAt && writtenAt.last() <= writtenBy,
                 qPrintable(QStringLiteral("%1..%2 outside %3..%4")
                                .arg(writtenAt.first())
                                .arg(writtenAt.last())
                                .arg(queuedAt)
                                .arg(writtenBy)));
        for (int i = 1; i < writtenAt.size(); ++i) {
            const qint64 gap = writtenAt[i] - writtenAt[i - 1];
            QVERIFY2(gap >= 100, qPrintable(QStringLiteral("gap %1 ms before write %2").arg(gap).arg(i)));
        }
        // The real length is logged; the report goes out padded to 65 bytes.
        for (const auto& request : bank.requests())
            QCOMPARE(request.writeLength, 65);
        QCOMPARE(mark.countStarting(QStringLiteral("writeToDevice, len=17")), 5);
        QCOMPARE(mark.countStarting(QStringLiteral("writeToDevice:0x0 0xAA 0x55 ")), 5);
    }

    void foregroundFirstAndOneSequenceNumberPerReport()
    {
        FakeWallClock clock;
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        // Once this one is written, the stopped clock holds everything queued after it.
        queue(bridge, 0x20, 0x00, HidRequestPriority::Foreground);
        QVERIFY(waitForWrites(bank, 2));

        // Background first, foreground after: the foreground queue still wins.
        queue(bridge, 0x11, 0x01, HidRequestPriority::Background);
        queue(bridge, 0x11, 0x02, static_cast<HidRequestPriority>(7)); // any non-zero value
        for (uint8_t sub = 1; sub <= 5; ++sub)
            queue(bridge, 0x20, sub, HidRequestPriority::Foreground);
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(2));
        for (int written = 3; written <= 9; ++written) {
            clock.advance(100);
            QVERIFY(waitForWrites(bank, written));
        }
        const auto requests = bank.requests();
        QCOMPARE(requests.size(), 9);
        QCOMPARE(subCommandsOf(requests),
                 (QList<int>{0x1006, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x1101, 0x1102}));
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(0));

        // One sequence number per report in the order they were encoded, the probe's included.
        const uint8_t probe = requests[0].sequence;
        const int encodedAfterProbe[] = {1, 4, 5, 6, 7, 8, 2, 3};
        for (int i = 1; i < requests.size(); ++i)
            QCOMPARE(requests[i].sequence, uint8_t(probe + encodedAfterProbe[i - 1]));
    }

    void spacingFollowsTheWallClock()
    {
        FakeWallClock clock;
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        bank.clearRecords();

        LinkTurns turns;
        for (uint8_t sub = 1; sub <= 3; ++sub)
            queue(bridge, 0x20, sub, HidRequestPriority::Foreground);
        QVERIFY(waitForWrites(bank, 1));
        // A stopped clock and no answer: nothing more, however many turns pass.
        QVERIFY(turns.waitForTurns(10));
        QCOMPARE(bank.requestCount(), 1);
        clock.advance(99);
        QVERIFY(turns.waitForTurns(5)); // still nothing
        QCOMPARE(bank.requestCount(), 1);
        clock.advance(1);
        QVERIFY(waitForWrites(bank, 2));
        QVERIFY(turns.waitForTurns(5)); // and one write only
        QCOMPARE(bank.requestCount(), 2);

        // A clock set back by an hour does not stall writing.
        clock.advance(-3'600'000);
        QVERIFY(waitForWrites(bank, 3));
        QCOMPARE(subCommandsOf(bank.requests()), (QList<int>{0x2001, 0x2002, 0x2003}));
    }

    void backgroundWaitsForEmptyForeground()
    {
        FakeWallClock clock;
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        bank.clearRecords();
        QSignalSpy taken(bridge, &HidBridge::reportTaken);
        auto queueTicket = [this](uint8_t command, uint8_t subCommand, HidRequestPriority priority) {
            const auto frame = encodeRequest(command, subCommand);
            return bridge->sendData(frame->data, frame->size, priority);
        };

        const uint64_t first = queueTicket(0x11, 0x01, HidRequestPriority::Background);
        const uint64_t second = queueTicket(0x11, 0x02, HidRequestPriority::Background);
        QVERIFY(waitForWrites(bank, 1));
        // Queued while the second background packet waits: it goes out before it.
        const uint64_t page = queueTicket(0x20, 0x01, HidRequestPriority::Foreground);
        clock.advance(100);
        QVERIFY(waitForWrites(bank, 2));
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(1));
        clock.advance(100);
        QVERIFY(waitForWrites(bank, 3));
        QCOMPARE(subCommandsOf(bank.requests()), (QList<int>{0x1101, 0x2001, 0x1102}));
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(0));
        // Each report's ticket is named as it leaves its queue, in the order they were written.
        QVERIFY(first != 0 && second > first && page > second);
        QTRY_COMPARE_WITH_TIMEOUT(taken.count(), 3, 5000);
        QCOMPARE((QList<quint64>{taken[0][0].toULongLong(), taken[1][0].toULongLong(), taken[2][0].toULongLong()}),
                 (QList<quint64>{first, page, second}));
    }

    void answerLiftsTheWait()
    {
        // The clock stands still: only the answers let the next writes through.
        FakeWallClock clock;
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.clearRecords();
        LinkSignals seen(bridge);
        LogMark mark;

        queue(bridge, 0x20, 0x01, HidRequestPriority::Foreground);
        queue(bridge, 0x20, 0x02, HidRequestPriority::Foreground);
        queue(bridge, 0x20, 0x03, HidRequestPriority::Foreground);
        QVERIFY(waitForWrites(bank, 3));
        QVERIFY(QTest::qWaitFor([&] { return seen.data.size() >= 3; }, 3000));
        QCOMPARE(subCommandsOf(bank.requests()), (QList<int>{0x2001, 0x2002, 0x2003}));
        for (const QByteArray& report : seen.data)
            QCOMPARE(report.size(), 64);
        QCOMPARE(mark.countStarting(QStringLiteral("taskLoop onPacket: size=64")), 3);
    }

    // A device that never stops sending: every turn finds reports waiting, one at a time or all
    // queued at once. A turn reads all that wait, at most kMaxReportsPerTurn, and the turns that
    // read in a row are bounded, so the queues still drain, in their order. The clock stands
    // still, so each write also needs a report read since the previous one: never two writes in
    // one turn. Counted in the link's own turns, whatever the machine's load does to their times.
    void floodStillLetsWritesThrough_data()
    {
        QTest::addColumn<bool>("queued");
        QTest::newRow("one report in flight") << false;
        QTest::newRow("every report queued") << true;
    }

    void floodStillLetsWritesThrough()
    {
        QFETCH(bool, queued);
        FakeWallClock clock;
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        bank.setQueuedDelivery(queued);
        LinkSignals seen(bridge);
        LinkTurns turns([&bank] { return bank.reportsWaiting(); });
        bank.setFlood(500);
        QVERIFY(QTest::qWaitFor([&] { return seen.data.size() >= 3; }, LinkTurns::kHangMs));
        bank.clearRecords();

        for (uint8_t sub = 1; sub <= 5; ++sub)
            queue(bridge, 0x20, sub, HidRequestPriority::Foreground);
        queue(bridge, 0x11, 0x01, HidRequestPriority::Background);
        queue(bridge, 0x11, 0x02, HidRequestPriority::Background);
        QVERIFY(waitForWrites(bank, 7, LinkTurns::kHangMs));
        QVERIFY(turns.waitForTurns());
        QCOMPARE(subCommandsOf(bank.requests()), (QList<int>{0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x1101, 0x1102}));
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(0));

        const auto all = turns.all();
        QList<qsizetype> writes;
        for (qsizetype i = 0; i < all.size(); ++i) {
            QVERIFY2(all[i].reportsRead <= kMaxReportsPerTurn, qPrintable(QString::number(all[i].reportsRead)));
            if (all[i].wrote)
                writes << i;
        }
        QCOMPARE(writes.size(), 7);
        for (qsizetype w = 1; w < writes.size(); ++w) {
            int reading = 0;
            for (qsizetype i = writes[w - 1] + 1; i <= writes[w]; ++i)
                reading += all[i].reportsRead > 0 || all[i].readFailed;
            QVERIFY2(reading >= 1 && reading <= kMaxReadsBeforeWrite,
                     qPrintable(QStringLiteral("%1 turns read before write %2").arg(reading).arg(w)));
        }

        // Queued, the reports do not pile up: every turn reads all that waited when the one before
        // it ended. And once the flood stops, everything sent is read.
        const QString leftWaiting = turns.turnThatLeftReportsWaiting();
        QVERIFY2(leftWaiting.isEmpty(), qPrintable(leftWaiting));
        bank.setFlood(0);
        QVERIFY(bank.waitUntil([&] { return bank.deliveredAll(); }, LinkTurns::kHangMs));
        QVERIFY(bridge->connected());
        QCOMPARE(seen.errors, QStringList{});
    }

    // Reports waiting at once: the next turn reads all of them up to 64, the turns after it the
    // rest, each handed on whole and in order. The simulator puts them on the line in one step, so
    // the first turn that reads finds them all.
    void aTurnReadsEveryWaitingReport_data()
    {
        QTest::addColumn<int>("waiting");
        QTest::addColumn<QList<int>>("perTurn");
        QTest::newRow("one") << 1 << QList<int>{1};
        QTest::newRow("one turn's worth") << 64 << QList<int>{64};
        QTest::newRow("one more") << 65 << QList<int>{64, 1};
        QTest::newRow("a hundred") << 100 << QList<int>{64, 36};
        QTest::newRow("two hundred") << 200 << QList<int>{64, 64, 64, 8};
    }

    void aTurnReadsEveryWaitingReport()
    {
        QFETCH(int, waiting);
        QFETCH(QList<int>, perTurn);
        SimulatedPowerBank bank(linkIdentity());
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        bank.setQueuedDelivery(true);
        LinkSignals seen(bridge);
        bank.clearRecords();
        LinkTurns turns;

        bank.injectGarbage(waiting);
        QVERIFY(QTest::qWaitFor([&] { return seen.data.size() == waiting; }, LinkTurns::kHangMs));
        QVERIFY(turns.waitForTurns());
        const auto answers = bank.answers();
        QCOMPARE(answers.size(), waiting);
        for (int i = 0; i < answers.size(); ++i)
            QCOMPARE(seen.data[i], answers[i].report);
        QList<int> read;
        for (const auto& turn : turns.all())
            if (turn.reportsRead > 0 || turn.readFailed)
                read << turn.reportsRead;
        QCOMPARE(read, perTurn);
        QCOMPARE(bank.reportsWaiting(), 0);
    }

    void writeFailures_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("unplugged");
        // errno 0: write() reports 0 bytes written, which is no error.
        QTest::newRow("nothing written") << 0 << false;
        QTest::newRow("EIO") << int(EIO) << false;
        // 31 is also the last-error code of a general failure: the errno must not pass as one.
        QTest::newRow("EMLINK") << int(EMLINK) << false;
        QTest::newRow("ENODEV") << int(ENODEV) << true;
        QTest::newRow("ENXIO") << int(ENXIO) << true;
    }

    void writeFailures()
    {
        QFETCH(int, error);
        QFETCH(bool, unplugged);
        // A stopped clock: a failed or empty write does not count as one, so the next goes at once.
        FakeWallClock clock;
        SimulatedPowerBank bank(linkIdentity(0x0C0C));
        QVERIFY(bridge->openSupportedPowerBank());
        bank.setSilent(true);
        bank.clearRecords();
        LinkSignals seen(bridge);
        LogMark mark;

        bank.failWrites(1, error);
        queue(bridge, 0x20, 0x01, HidRequestPriority::Foreground);
        queue(bridge, 0x11, 0x01, HidRequestPriority::Background);
        QVERIFY(bank.waitUntil([&] { return bank.failedWrites() == 1; }, 3000));

        const QStringList expectedErrors =
            error == 0 ? QStringList{} : QStringList{QString::fromLocal8Bit(std::strerror(error))};
        if (!unplugged) {
            QVERIFY(waitForWrites(bank, 1));
            QCOMPARE(subCommandsOf(bank.requests()), QList<int>{0x1101});
            // The worker reported the failed write before it wrote the next report.
            QCoreApplication::sendPostedEvents();
            QCOMPARE(seen.errors, expectedErrors);
            QVERIFY(bridge->connected());
            QCOMPARE(seen.changes.size(), 0);
            QCOMPARE(mark.countStarting(QStringLiteral("HID_DISCONNECTED")), 0);
            return;
        }

        QVERIFY(QTest::qWaitFor([&] { return seen.changes.size() == 1; }, 3000));
        QCOMPARE(seen.changes.first(), false);
        QCOMPARE(seen.errors, expectedErrors);
        QVERIFY(!bridge->connected());
        const QStringList lines = mark.lines();
        const qsizetype noted = lines.indexOf(QStringLiteral("taskLoop: connect disconnect while write"));
        QVERIFY(noted >= 0);
        QCOMPARE(lines.value(noted + 1),
                 QStringLiteral("HID_DISCONNECTED VID=0x%1 PID=0x0C0C reason=device_disconnected")
                     .arg(hex4(kSupportedVendorIds[0])));
        QCOMPARE(lines.value(noted + 2), QStringLiteral("taskLoop: exit"));
        // The packet not yet written stays queued until the link is closed.
        QCOMPARE(bank.requestCount(), 0);
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(1));
        bridge->closeDevice();
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(0));
    }

    void readFailures_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("unplugged");
        QTest::newRow("EIO") << int(EIO) << false;
        QTest::newRow("EMLINK") << int(EMLINK) << false;
        QTest::newRow("ENODEV") << int(ENODEV) << true;
    }

    void readFailures()
    {
        QFETCH(int, error);
        QFETCH(bool, unplugged);
        SimulatedPowerBank bank(linkIdentity(0x0D0D));
        QVERIFY(bridge->openSupportedPowerBank());
        LinkSignals seen(bridge);
        LogMark mark;

        bank.failReads(1, error);
        bank.sendAnswer(0x20, 0x01, QByteArray(1, '\x50'));
        QVERIFY(bank.waitUntil([&] { return bank.failedReads() == 1; }, 3000));

        if (!unplugged) {
            // Only logged; the report is read in a later turn.
            QVERIFY(QTest::qWaitFor([&] { return seen.data.size() == 1; }, 3000));
            // hidapi 0.13 has no hid_read_error: the handle's last error stands in for it.
            QCOMPARE(mark.starting(QStringLiteral("taskLoop: read packet err")),
                     QStringList{QStringLiteral("taskLoop: read packet err  ")
                                 + QString::fromLocal8Bit(std::strerror(error))});
            QVERIFY(bridge->connected());
            QCOMPARE(seen.errors, QStringList{});
            QCOMPARE(seen.changes.size(), 0);
            return;
        }
        QVERIFY(QTest::qWaitFor([&] { return seen.changes.size() == 1; }, 3000));
        QVERIFY(!bridge->connected());
        QCOMPARE(mark.starting(QStringLiteral("HID_DISCONNECTED ")),
                 QStringList{QStringLiteral("HID_DISCONNECTED VID=0x%1 PID=0x0D0D reason=device_disconnected")
                                 .arg(hex4(kSupportedVendorIds[0]))});
        QCOMPARE(mark.countStarting(QStringLiteral("taskLoop: read packet err")), 0);
        QCOMPARE(seen.errors, QStringList{});
    }

    void unplugWhileConnected()
    {
        SimulatedPowerBank bank(linkIdentity(0x0B0B));
        QVERIFY(bridge->openSupportedPowerBank());
        LogMark mark;
        LinkSignals seen(bridge);

        bank.unplug();
        QVERIFY(QTest::qWaitFor([&] { return seen.changes.size() == 1; }, 3000));
        QCOMPARE(seen.changes.first(), false);
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
        // The worker has ended; a signal of the refusal would be emitted here or be posted by now.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(seen.errors, QStringList{});
        QCOMPARE(seen.changes.size(), 1);

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
        LinkSignals seen(bridge);
        LogMark mark;

        bridge->closeDevice();
        // The worker is joined when the close returns; its signal, emitted on the worker, waits
        // for this thread's event loop.
        const qsizetype disconnected = mark.indexOf(QStringLiteral("HID_DISCONNECTED "));
        QVERIFY(disconnected >= 0);
        QVERIFY(mark.lines().at(disconnected).endsWith(QStringLiteral(" reason=closed")));
        QVERIFY(mark.indexOf(QStringLiteral("taskLoop: exit")) > disconnected);
        QCOMPARE(seen.changes.size(), 0);
        QVERIFY(QTest::qWaitFor([&] { return seen.changes.size() == 1; }, 1000));
        QCOMPARE(seen.changes.first(), false);
        QCOMPARE(bridge->backgroundQueueDepth(), size_t(0));
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 0; }, 2000));

        bridge->closeDevice();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(seen.changes.size(), 1);
        QCOMPARE(mark.countStarting(QStringLiteral("HID_DISCONNECTED")), 1);
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
    // The program ends while the worker still has the queue: the ending is what is tested.
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
