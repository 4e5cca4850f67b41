// Connection attempts against the simulated power bank through the real hidapi: enumeration,
// the probe exchange, the back-off and the connect log lines.
#include "tst_hid_bridge_support.h"

#include "transport/hid_bridge.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace tessaravolt::transport;
using namespace tessaravolt::transport::test;
using tessaravolt::sim::SimulatedPowerBank;
using Action = SimulatedPowerBank::Action;
using namespace std::chrono_literals;

namespace {

// A clock for the back-off that only the test moves.
// Stands still unless a test moves it: a connection attempt then takes no time, so that whether it
// counts as slow does not depend on how busy the machine is.
struct FakeClock
{
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point(3600s);
};

// A row of failedProbes_data: how the device spoils its answer to the probe.
void refuseProbes(SimulatedPowerBank& bank, int fault)
{
    if (fault == 0)
        bank.addRule(SimulatedPowerBank::Rule::on(0x10, 0x06, Action::TruncatePayload).withLength(14));
    else if (fault == 1)
        bank.addRule(SimulatedPowerBank::Rule::on(0x10, 0x06, Action::BadInnerCrc));
    else
        bank.setSilent(true);
}

// What this process writes to stderr while the object lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    QStringList lines()
    {
        restore();
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

// This thread opens files as a user without the right to ignore file modes would: root keeps
// its uid but loses the capabilities that bypass them, until the object goes.
class WithoutFileModeOverride
{
public:
    WithoutFileModeOverride()
    {
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_lowered = syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutFileModeOverride()
    {
        if (m_lowered)
            syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutFileModeOverride(const WithoutFileModeOverride&) = delete;
    WithoutFileModeOverride& operator=(const WithoutFileModeOverride&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_lowered = false;
};

} // namespace

class TstDiscovery : public QObject
{
    Q_OBJECT

    HidBridge* bridge = HidBridge::instance();
    FakeClock clock;

private slots:
    void initTestCase() { QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper"); }

    void init()
    {
        clock = FakeClock{};
        bridge->setAttemptClockForTesting([this] { return clock.now; });
    }

    void cleanup()
    {
        bridge->closeDevice();
        bridge->setAttemptClockForTesting({});
        // The close joined the worker; deliver its last signal here, not in the next test.
        QCoreApplication::sendPostedEvents();
    }

    void connectsToAnsweringDevice_data()
    {
        QTest::addColumn<int>("vendorIndex");
        QTest::newRow("first vendor id") << 0;
        QTest::newRow("second vendor id") << 1;
    }

    void connectsToAnsweringDevice()
    {
        QFETCH(int, vendorIndex);
        SimulatedPowerBank bank(linkIdentity(0x002A, size_t(vendorIndex)));
        LogMark mark;
        QSignalSpy changed(bridge, &HidBridge::connectedChanged);
        qsizetype connectedLinesSeenByReceiver = -1;
        QObject context;
        connect(bridge, &HidBridge::connectedChanged, &context,
                [&](bool) { connectedLinesSeenByReceiver = mark.countStarting(QStringLiteral("HID_CONNECTED")); });

        QVERIFY(bridge->openSupportedPowerBank());
        QVERIFY(bridge->connected());
        // Delivered on this thread before the attempt returned, and before the line was logged.
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toBool(), true);
        QCOMPARE(connectedLinesSeenByReceiver, 0);

        const QStringList connectedLines = mark.starting(QStringLiteral("HID_CONNECTED "));
        QCOMPARE(connectedLines.size(), 1);
        const QString line = connectedLines.first();
        const QString vid = hex4(kSupportedVendorIds[size_t(vendorIndex)]);
        QVERIFY2(line.startsWith(QStringLiteral("HID_CONNECTED VID=0x%1 PID=0x002A ").arg(vid)), qPrintable(line));
        QCOMPARE(logField(line, "enumerated"), "1");
        QCOMPARE(logField(line, "matched"), "1");
        QCOMPARE(logField(line, "deferred"), "0");
        QCOMPARE(logField(line, "attempts"), "1");
        QVERIFY(!logField(line, "elapsed_ms").isEmpty());
        QCOMPARE(mark.countStarting(QStringLiteral("HID_CONNECT_FAILED")), 0);

        // The probe was one battery-information request, written as a whole 65-byte report.
        const auto probes = bank.requestsFor(0x10, 0x06);
        QCOMPARE(probes.size(), 1);
        QCOMPARE(probes.first().writeLength, 65);

        // The worker runs: a queued request reaches the device and its answer comes back.
        LinkSignals seen(bridge);
        const auto request = encodeRequest(0x20, 0x01);
        QVERIFY(bridge->sendData(request->data, request->size, HidRequestPriority::Foreground));
        QVERIFY(bank.waitForRequest(0x20, 0x01));
        QVERIFY(QTest::qWaitFor([&] { return !seen.data.isEmpty(); }, 2000));
        const QByteArray report = seen.data.first();
        const auto frame = tessaravolt::protocol::decodeFrame(reinterpret_cast<const uint8_t*>(report.constData()),
                                                              size_t(report.size()));
        QVERIFY(frame->size > 0);
        QCOMPARE(frame->data[1], uint8_t(0x20));
        QVERIFY(mark.countStarting(QStringLiteral("writeToDevice, len=17")) >= 1);
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 1; }, 2000));
    }

    void noDeviceIsLoggedOnce()
    {
        SimulatedPowerBank bank(linkIdentity(), false);
        LogMark mark;
        QVERIFY(!bridge->openSupportedPowerBank());
        QVERIFY(!bridge->openSupportedPowerBank());
        const QStringList failed = mark.starting(QStringLiteral("HID_CONNECT_FAILED "));
        QCOMPARE(failed.size(), 1);
        const QString line = failed.first();
        QCOMPARE(logField(line, "reason"), "enumeration_empty");
        const QString vids =
            QStringLiteral("0x%1,0x%2").arg(hex4(kSupportedVendorIds[0]), hex4(kSupportedVendorIds[1]));
        QCOMPARE(logField(line, "supported_vids"), vids);
        QCOMPARE(logField(line, "last_vid"), "0x----");
        QCOMPARE(logField(line, "last_pid"), "0x----");
        QCOMPARE(logField(line, "enumerated"), "0");
        QCOMPARE(logField(line, "attempts"), "0");
        QVERIFY(line.contains(QStringLiteral(" error=")));
        QVERIFY(bridge->backoffCacheForTesting().empty());
        QVERIFY(!bridge->connected());
    }

    // A HID device of any other vendor is never opened nor probed, even when it would answer.
    void otherVendorsAreLeftAlone_data()
    {
        QTest::addColumn<int>("vendorId");
        QTest::newRow("below the first") << int(kSupportedVendorIds[0] - 1);
        QTest::newRow("above the second") << int(kSupportedVendorIds[1] + 1);
        QTest::newRow("byte-swapped") << int(uint16_t((kSupportedVendorIds[0] << 8) | (kSupportedVendorIds[0] >> 8)));
    }

    void otherVendorsAreLeftAlone()
    {
        QFETCH(int, vendorId);
        QVERIFY(std::find(kSupportedVendorIds.begin(), kSupportedVendorIds.end(), vendorId)
                == kSupportedVendorIds.end());
        SimulatedPowerBank::Identity identity = linkIdentity();
        identity.vendorId = uint16_t(vendorId);
        SimulatedPowerBank bank(identity);
        LogMark mark;
        QVERIFY(!bridge->openSupportedPowerBank());
        QVERIFY(!bridge->connected());
        QCOMPARE(bank.requestCount(), 0);
        QCOMPARE(bank.openHandles(), 0);
        QCOMPARE(mark.countStarting(QStringLiteral("HID_CONNECTED ")), 0);
        QVERIFY(bridge->backoffCacheForTesting().empty());
    }

    void failedProbes_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("14-byte answer") << 0 << "probe_invalid_response";
        QTest::newRow("answer with bad inner CRC") << 1 << "probe_invalid_response";
        QTest::newRow("silence") << 2 << "probe_timeout";
    }

    void failedProbes()
    {
        QFETCH(int, fault);
        QFETCH(QString, reason);
        // A product id per row: identical failures in a row are logged once.
        const uint16_t productId = uint16_t(0x0101 + fault * 0x10);
        SimulatedPowerBank bank(linkIdentity(productId));
        refuseProbes(bank, fault);

        LogMark mark;
        QSignalSpy changed(bridge, &HidBridge::connectedChanged);
        QVERIFY(!bridge->openSupportedPowerBank());
        QVERIFY(!bridge->connected());
        QCOMPARE(changed.size(), 0);
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 0; }, 2000));
        QCOMPARE(bank.requestsFor(0x10, 0x06).size(), 1);

        QCOMPARE(mark.starting(QStringLiteral("HID_PROBE_BACKOFF ")),
                 QStringList{QStringLiteral("HID_PROBE_BACKOFF VID=0x%1 PID=0x%2 failures=1 retry_after_s=2")
                                 .arg(hex4(kSupportedVendorIds[0]), hex4(productId))});
        const QStringList failed = mark.starting(QStringLiteral("HID_CONNECT_FAILED "));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(logField(failed.first(), "reason"), reason);
        QCOMPARE(logField(failed.first(), "last_pid"), QStringLiteral("0x") + hex4(productId));
        QCOMPARE(logField(failed.first(), "attempts"), "1");
        QVERIFY(failed.first().endsWith(QStringLiteral(" error=")));
        QCOMPARE(bridge->backoffCacheForTesting().size(), size_t(1));

        // Within the 2 s the device is deferred: no probe, no log line, no result.
        LogMark deferredMark;
        clock.now += 1999ms;
        QVERIFY(!bridge->openSupportedPowerBank());
        QCOMPARE(bank.requestsFor(0x10, 0x06).size(), 1);
        QVERIFY(deferredMark.lines().isEmpty());
    }

    // On the real clock: the probe waited its 300 ms, and the figure is read after it, not before.
    void failedProbeIsTimedAfterTheProbe_data() { failedProbes_data(); }

    void failedProbeIsTimedAfterTheProbe()
    {
        QFETCH(int, fault);
        QFETCH(QString, reason);
        bridge->setAttemptClockForTesting({});
        const uint16_t productId = uint16_t(0x0401 + fault * 0x10);
        SimulatedPowerBank bank(linkIdentity(productId));
        refuseProbes(bank, fault);

        LogMark mark;
        QVERIFY(!bridge->openSupportedPowerBank());
        const QStringList failed = mark.starting(QStringLiteral("HID_CONNECT_FAILED "));
        QCOMPARE(failed.size(), 1);
        QVERIFY2(logField(failed.first(), "elapsed_ms").toLongLong() >= 300, qPrintable(failed.first()));
        const QStringList slow = mark.starting(QStringLiteral("HID_CONNECT_SLOW "));
        QCOMPARE(slow.size(), 1);
        QVERIFY(slow.first().startsWith(
            QStringLiteral("HID_CONNECT_SLOW outcome=failed reason=%1 elapsed_ms=").arg(reason)));
    }

    void backoffGrowsToThirtySeconds()
    {
        SimulatedPowerBank bank(linkIdentity(0x0102));
        bank.addRule(SimulatedPowerBank::Rule::on(0x10, 0x06, Action::TruncatePayload).withLength(14));
        LogMark mark;

        const int delays[] = {2, 5, 10, 30, 30};
        for (int i = 0; i < 5; ++i) {
            QVERIFY(!bridge->openSupportedPowerBank());
            QCOMPARE(bank.requestsFor(0x10, 0x06).size(), i + 1);
            clock.now += std::chrono::seconds(delays[i]) - 1ms;
            QVERIFY(!bridge->openSupportedPowerBank()); // still deferred
            QCOMPARE(bank.requestsFor(0x10, 0x06).size(), i + 1);
            clock.now += 1ms;
        }
        QStringList expected;
        for (int i = 0; i < 4; ++i)
            expected << QStringLiteral("failures=%1 retry_after_s=%2").arg(i + 1).arg(delays[i]);
        QStringList seen;
        for (const QString& line : mark.starting(QStringLiteral("HID_PROBE_BACKOFF ")))
            seen << line.section(QLatin1Char(' '), 3);
        QCOMPARE(seen, expected);
        // Five identical failures: one line.
        QCOMPARE(mark.countStarting(QStringLiteral("HID_CONNECT_FAILED ")), 1);
    }

    void successClearsBackoffAndSignature()
    {
        SimulatedPowerBank bank(linkIdentity(0x0103));
        bank.addRule(SimulatedPowerBank::Rule::on(0x10, 0x06, Action::TruncatePayload, 1).withLength(14));
        LogMark mark;
        QVERIFY(!bridge->openSupportedPowerBank());
        clock.now += 2s;
        QVERIFY(bridge->openSupportedPowerBank());
        QVERIFY(bridge->backoffCacheForTesting().empty());
        bridge->closeDevice();

        // The same failure after a connection is logged again.
        bank.addRule(SimulatedPowerBank::Rule::on(0x10, 0x06, Action::TruncatePayload, 1).withLength(14));
        QVERIFY(!bridge->openSupportedPowerBank());
        QCOMPARE(mark.countStarting(QStringLiteral("HID_CONNECT_FAILED reason=probe_invalid_response")), 2);
    }

    void unplugDuringProbe()
    {
        SimulatedPowerBank bank(linkIdentity(0x0104));
        bank.addRule(SimulatedPowerBank::Rule::on(0x10, 0x06, Action::UnplugBefore, 1));
        LogMark mark;
        QVERIFY(!bridge->openSupportedPowerBank());
        const QStringList failed = mark.starting(QStringLiteral("HID_CONNECT_FAILED "));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(logField(failed.first(), "reason"), "probe_disconnected");
        QVERIFY2(failed.first().contains(QStringLiteral("disconnect")), qPrintable(failed.first()));
        QCOMPARE(mark.countStarting(QStringLiteral("HID_PROBE_BACKOFF")), 0);
        QVERIFY(bridge->backoffCacheForTesting().empty());

        // Back again (as a new node): probed at once, nothing holds it back.
        QVERIFY(bank.plug());
        QVERIFY(bridge->openSupportedPowerBank());
    }

    void probeWriteFailures_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("backoff");
        QTest::newRow("EIO") << int(EIO) << "probe_write_failed" << true;
        QTest::newRow("ENODEV") << int(ENODEV) << "probe_disconnected" << false;
    }

    void probeWriteFailures()
    {
        QFETCH(int, error);
        QFETCH(QString, reason);
        QFETCH(bool, backoff);
        SimulatedPowerBank bank(linkIdentity(uint16_t(0x0200 + error)));
        bank.failWrites(1, error);
        LogMark mark;
        QVERIFY(!bridge->openSupportedPowerBank());
        QCOMPARE(bank.failedWrites(), 1);
        const QStringList failed = mark.starting(QStringLiteral("HID_CONNECT_FAILED "));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(logField(failed.first(), "reason"), reason);
        QVERIFY2(failed.first().endsWith(QStringLiteral(" error=") + QString::fromLocal8Bit(std::strerror(error))),
                 qPrintable(failed.first()));
        QCOMPARE(mark.countStarting(QStringLiteral("HID_PROBE_BACKOFF ")), backoff ? 1 : 0);
        QCOMPARE(bridge->backoffCacheForTesting().size(), size_t(backoff ? 1 : 0));
        QVERIFY(bank.waitUntil([&] { return bank.openHandles() == 0; }, 2000));
    }

    // A supported power bank that cannot be opened: only lacking permission earns the line on
    // stderr and in the log, naming the node and the rule; once per device however often the
    // attempt is repeated, and again for the device plugged in anew.
    void openFailures_data()
    {
        QTest::addColumn<bool>("permissionDenied");
        QTest::newRow("node not permitted") << true;
        QTest::newRow("node gone") << false;
    }

    void openFailures()
    {
        QFETCH(bool, permissionDenied);
        SimulatedPowerBank bank(linkIdentity(0x0107));
        const auto refuse = [&] {
            const QByteArray node = (bank.umockdevDir() + bank.devicePath()).toLocal8Bit();
            QVERIFY2(permissionDenied ? ::chmod(node.constData(), 0) == 0 : ::unlink(node.constData()) == 0,
                     std::strerror(errno));
        };
        refuse();
        LogMark mark;
        QStringList told;
        {
            WithoutFileModeOverride asUser;
            StderrCapture err;
            for (int i = 0; i < 3; ++i) {
                QVERIFY(!bridge->openSupportedPowerBank());
                clock.now += 60s;
            }
            told = err.lines();
        }
        const QStringList failed = mark.starting(QStringLiteral("HID_CONNECT_FAILED "));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(logField(failed.first(), "reason"), "open_failed");
        QVERIFY(!bridge->connected());
        if (!permissionDenied) {
            QVERIFY2(told.isEmpty(), qPrintable(told.join(QLatin1Char('\n'))));
            QCOMPARE(mark.count(QStringLiteral("permission denied")), 0);
            return;
        }
        QCOMPARE(told.size(), 1);
        const QString line = told.first();
        QVERIFY2(line.contains(bank.devicePath() + QStringLiteral(" may not be opened (permission denied)")),
                 qPrintable(line));
        // The rule where the package puts it, and how a clone installs it.
        QVERIFY2(
            line.contains(QStringLiteral("70-tessaravolt.rules, which the package installs in /usr/lib/udev/rules.d")),
            qPrintable(line));
        QVERIFY2(line.contains(QStringLiteral("scripts/install-udev-rule")), qPrintable(line));
        QVERIFY(line.contains(QStringLiteral("\"The udev rule (USB permissions)\"")));
        QCOMPARE(mark.count(line), 1);

        bank.unplug();
        QVERIFY(bank.plug());
        refuse();
        {
            WithoutFileModeOverride asUser;
            StderrCapture err;
            QVERIFY(!bridge->openSupportedPowerBank());
            QVERIFY(!bridge->openSupportedPowerBank());
            told = err.lines();
        }
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().contains(bank.devicePath() + QLatin1Char(' ')), qPrintable(told.first()));
    }

    void unpluggedDeviceLosesItsBackoff()
    {
        SimulatedPowerBank bank(linkIdentity(0x0105));
        bank.setSilent(true);
        QVERIFY(!bridge->openSupportedPowerBank());
        QCOMPARE(bridge->backoffCacheForTesting().size(), size_t(1));
        bank.unplug();
        QVERIFY(!bridge->openSupportedPowerBank());
        QVERIFY(bridge->backoffCacheForTesting().empty());
    }

    void closeDeviceEmptiesBackoff()
    {
        SimulatedPowerBank bank(linkIdentity(0x0106));
        bank.setSilent(true);
        QVERIFY(!bridge->openSupportedPowerBank());
        QCOMPARE(bridge->backoffCacheForTesting().size(), size_t(1));
        bridge->closeDevice();
        QVERIFY(bridge->backoffCacheForTesting().empty());
    }
};

QTEST_GUILESS_MAIN(TstDiscovery)
#include "tst_discovery.moc"
