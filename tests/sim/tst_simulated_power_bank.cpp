// The simulated power bank as the program meets it: through hidapi-hidraw and the real codec.
#include "sim/simulated_power_bank.h"

#include "protocol/frame_codec.h"

#include <QtTest>

#include <hidapi/hidapi.h>

#include <cerrno>
#include <memory>

using tessaravolt::sim::SimulatedPowerBank;
using Action = SimulatedPowerBank::Action;
namespace protocol = tessaravolt::protocol;

namespace {

constexpr uint16_t kVid = 0x1A2B;
constexpr uint16_t kPid = 0x3C4D;

QString lastError(hid_device* dev)
{
    const wchar_t* e = hid_error(dev);
    return e ? QString::fromWCharArray(e) : QString();
}

// One host handle on the simulated device, doing what the program's link and probe do.
struct Host
{
    hid_device* dev = nullptr;

    explicit Host(uint16_t vid = kVid)
    {
        hid_device_info* list = hid_enumerate(vid, 0);
        if (list && list->path)
            dev = hid_open_path(list->path);
        hid_free_enumeration(list);
        if (dev)
            hid_set_nonblocking(dev, 1);
    }
    ~Host()
    {
        if (dev)
            hid_close(dev);
    }

    int send(uint8_t command, uint8_t sub, const QByteArray& payload = {})
    {
        auto f = protocol::encodeFrame(command, sub, reinterpret_cast<const uint8_t*>(payload.constData()),
                                       size_t(payload.size()));
        return f->size ? hid_write(dev, f->data, f->size) : -1;
    }

    // How long a read waits for a report or a hang-up that must come: only a device that never
    // sends misses it, however busy the machine.
    static constexpr int kMustComeMs = 10000;
    // How long a read waits for an answer that must not come.
    static constexpr int kMustNotComeMs = 300;

    // Raw input report, empty on time-out; *status gets the hid_read_timeout result.
    QByteArray read(int timeoutMs = kMustComeMs, int* status = nullptr)
    {
        uint8_t buf[64] = {};
        const int n = hid_read_timeout(dev, buf, sizeof buf, timeoutMs);
        if (status)
            *status = n;
        return n > 0 ? QByteArray(reinterpret_cast<const char*>(buf), n) : QByteArray();
    }

    static std::unique_ptr<protocol::Frame> decode(const QByteArray& report)
    {
        return protocol::decodeFrame(reinterpret_cast<const uint8_t*>(report.constData()), size_t(report.size()));
    }

    static QByteArray payloadOf(const protocol::Frame& f)
    {
        return QByteArray(reinterpret_cast<const char*>(f.data + 4), f.data[3]);
    }

    // Sends and returns the decoded payload of the answer (error text in *error).
    QByteArray exchange(uint8_t command, uint8_t sub, const QByteArray& payload = {}, QString* error = nullptr,
                        int timeoutMs = kMustComeMs)
    {
        if (send(command, sub, payload) < 0) {
            if (error)
                *error = QStringLiteral("write failed");
            return {};
        }
        const QByteArray report = read(timeoutMs);
        if (report.isEmpty()) {
            if (error)
                *error = QStringLiteral("timeout");
            return {};
        }
        auto f = decode(report);
        if (!f->size) {
            if (error)
                *error = f->error;
            return {};
        }
        if (f->data[1] != command || f->data[2] != sub) {
            if (error)
                *error = QStringLiteral("answer to %1/%2").arg(f->data[1]).arg(f->data[2]);
            return {};
        }
        if (error)
            error->clear();
        return payloadOf(*f);
    }
};

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

SimulatedPowerBank::Identity identity()
{
    SimulatedPowerBank::Identity id;
    id.vendorId = kVid;
    id.productId = kPid;
    return id;
}

} // namespace

class TstSimulatedPowerBank : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(SimulatedPowerBank::inMockEnvironment(), "run under umockdev-wrapper");
        hid_init();
    }
    void cleanupTestCase() { hid_exit(); }

    void probeExchangeThroughHidapi()
    {
        SimulatedPowerBank bank(identity());
        bank.update([](auto& m) { m.battery = {3, 20000, 11100, 100, 800, 12600}; });

        hid_device_info* list = hid_enumerate(kVid, 0);
        QVERIFY(list);
        QCOMPARE(list->vendor_id, kVid);
        QCOMPARE(list->product_id, kPid);
        QCOMPARE(QString::fromLatin1(list->path), QStringLiteral("/dev/hidraw0"));
        QCOMPARE(QString::fromWCharArray(list->manufacturer_string), QStringLiteral("Tessaravolt"));
        QCOMPARE(list->usage_page, 0xFF00);
        QVERIFY(!list->next);
        hid_device* dev = hid_open_path(list->path);
        hid_free_enumeration(list);
        QVERIFY2(dev, qPrintable(lastError(nullptr)));
        QCOMPARE(hid_set_nonblocking(dev, 1), 0);
        QTRY_COMPARE(bank.openHandles(), 1);

        auto probe = protocol::encodeFrame(0x10, 0x06, nullptr, 0);
        QCOMPARE(probe->size, size_t(17));
        QCOMPARE(hid_write(dev, probe->data, probe->size), 17);
        uint8_t buf[64] = {};
        QCOMPARE(hid_read_timeout(dev, buf, sizeof buf, 300), 64);
        auto answer = protocol::decodeFrame(buf, 64);
        QVERIFY2(answer->size, qPrintable(answer->error));
        QCOMPARE(answer->data[1], uint8_t(0x10));
        QCOMPARE(answer->data[2], uint8_t(0x06));
        QCOMPARE(answer->data[3], uint8_t(15));
        QCOMPARE(Host::payloadOf(*answer),
                 bytes({3, 0x20, 0x4E, 0, 0, 0x5C, 0x2B, 0, 0, 100, 0, 0x20, 0x03, 0x38, 0x31}));

        const auto requests = bank.requests();
        QCOMPARE(requests.size(), 1);
        QVERIFY(requests[0].decoded);
        QCOMPARE(requests[0].writeLength, 17);
        QCOMPARE(requests[0].sequence, probe->data[3]);
        QCOMPARE(requests[0].command, uint8_t(0x10));
        QCOMPARE(requests[0].subCommand, uint8_t(0x06));
        QVERIFY(requests[0].payload.isEmpty());
        hid_close(dev);
        QTRY_COMPARE(bank.openHandles(), 0);
    }

    void answersEveryCommand_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("sub");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("brand") << 0x10 << 0x01 << QByteArray() << QByteArray("Brand");
        QTest::newRow("text not set") << 0x10 << 0x03 << QByteArray() << QByteArray();
        QTest::newRow("title 1") << 0x10 << 0x11 << QByteArray() << QByteArray("Power ");
        QTest::newRow("title 2") << 0x10 << 0x21 << QByteArray() << QByteArray("Bank 9");
        QTest::newRow("port count") << 0x10 << 0x07 << QByteArray() << bytes({4});
        QTest::newRow("protocols") << 0x10 << 0x0E << QByteArray() << bytes({0x78, 0x56, 0x34, 0x12});
        QTest::newRow("cell sn") << 0x10 << 0x0A << bytes({1}) << (bytes({1}) + "SN-B");
        QTest::newRow("cell sn unknown") << 0x10 << 0x0A << bytes({7}) << bytes({7});
        QTest::newRow("statistics") << 0x11 << 0x01 << QByteArray()
                                    << bytes({9, 4, 2, 0, 5, 0, 0xC4, 0x01, 0xCB, 0xFF, 0x6E, 0x41, 0xEA, 0x2E, 0x64,
                                              0x19, 0x48, 0x26});
        QTest::newRow("activity 0..2") << 0x11 << 0x02 << bytes({0, 0, 0, 3})
                                       << bytes({5, 0, 50, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 5, 0, 0xF6, 0xFF,
                                                 4, 0, 40, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 4, 0, 0xF8, 0xFF,
                                                 3, 0, 30, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 3, 0, 0xFA, 0xFF});
        QTest::newRow("activity past end")
            << 0x11 << 0x02 << bytes({0, 4, 0, 3}) << bytes({1, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 1, 0, 0xFE, 0xFF});
        QTest::newRow("abnormal") << 0x11 << 0x02 << bytes({1, 1, 0, 2})
                                  << bytes({0x10, 0, 0xE8, 0x03, 0, 0, 0, 0, 0, 0, 0x13, 0, 9, 0, 0x2C, 0x01});
        QTest::newRow("clock") << 0x12 << 0x01 << QByteArray() << bytes({0x80, 0x00, 0x92, 0x65, 0, 0, 0, 0});
        QTest::newRow("brightness") << 0x12 << 0x02 << QByteArray() << bytes({55});
        QTest::newRow("timeout") << 0x12 << 0x03 << QByteArray() << bytes({0x2C, 0x01});
        QTest::newRow("soc") << 0x20 << 0x01 << QByteArray() << bytes({101});
        QTest::newRow("soh") << 0x20 << 0x02 << QByteArray() << bytes({93});
        QTest::newRow("cycles") << 0x20 << 0x03 << QByteArray() << bytes({0x34, 0x12});
        QTest::newRow("current event") << 0x20 << 0x04 << QByteArray()
                                       << bytes({7, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x13, 0, 7, 0, 0x9C, 0xFF});
        QTest::newRow("activation") << 0x20 << 0x05 << bytes({0}) << (bytes({0}) + "2025-01-02");
        QTest::newRow("cell detail") << 0x30 << 0x00 << QByteArray()
                                     << bytes({0, 0x3A, 0x0F, 0xE8, 0x03, 0xF6, 0xFF, 0, 1, 0x3B, 0x0F, 0xE8, 0x03,
                                               0x0A, 0x00, 0});
        QTest::newRow("ports 1..2") << 0x31 << 0x00 << bytes({1, 2})
                                    << bytes({1, 0x11, 0x20, 0x4E, 0xB8, 0x0B, 0x3E, 0x01, 9, 0x3C, 0, 0,
                                              2, 0x21, 0x28, 0x23, 0x98, 0x08, 0x38, 0x01, 8, 0x14, 0, 0});
        QTest::newRow("set clock") << 0xA1 << 0x01 << bytes({0x80, 0x00, 0x92, 0x65, 0, 0, 0, 0}) << bytes({0});
        QTest::newRow("set brightness unsupported") << 0xA1 << 0x02 << bytes({10}) << bytes({2});
        QTest::newRow("set timeout failed") << 0xA1 << 0x03 << bytes({0x2C, 0x01}) << bytes({1});
    }

    void answersEveryCommand()
    {
        QFETCH(int, command);
        QFETCH(int, sub);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expected);

        SimulatedPowerBank bank(identity());
        bank.update([](SimulatedPowerBank::Model& m) {
            m.setText(0x01, QStringLiteral("Brand"));
            m.setTwoPartText(0x11, QStringLiteral("Power Bank 9"));
            m.portCount = 4;
            m.supportedProtocols = 0x12345678;
            m.cellSerials[1] = QStringLiteral("SN-B");
            m.cellActivations[0] = QStringLiteral("2025-01-02");
            m.activityLog.no = 4;
            m.abnormalLog.no = 9;
            for (int i = 1; i <= 5; ++i)
                m.prependEvent(0, {uint16_t(i), uint64_t(10 * i), 2, 0, uint8_t(i), int16_t(-2 * i)});
            m.prependEvent(1, {0x10, 1000, 3, 1, 9, 300});
            m.prependEvent(1, {0x11, 2000, 3, 1, 9, 300});
            m.maxTemp = 452;
            m.minTemp = -53;
            m.maxVoltage = 16750;
            m.minVoltage = 12010;
            m.maxCharge = 6500;
            m.maxDischarge = 9800;
            m.clockSeconds = 1704067200;
            m.clockSetAt = std::chrono::steady_clock::now();
            m.brightness = 55;
            m.screenTimeout = 300;
            m.soc = 101;
            m.soh = 93;
            m.cycles = 0x1234;
            m.currentEvent = {7, 1, 3, 1, 7, -100};
            m.cellDetails = {{0, 3898, 1000, -10}, {1, 3899, 1000, 10}};
            m.ports = {{0, 2, 2, 5000, 2000, 300, 3, 10},
                       {1, 1, 1, 20000, 3000, 318, 9, 60},
                       {2, 2, 1, 9000, 2200, 312, 8, 20},
                       {3, 0, 3, 0, 0, 296, 0, 0}};
            m.setBrightnessResult = 2;
            m.setScreenTimeoutResult = 1;
        });
        Host host;
        QVERIFY(host.dev);
        QString error;
        const QByteArray payload = host.exchange(uint8_t(command), uint8_t(sub), request, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(payload.toHex(' '), expected.toHex(' '));
    }

    void setCommandsChangeTheDevice()
    {
        SimulatedPowerBank bank(identity());
        bank.update([](auto& m) { m.setScreenTimeoutResult = 1; });
        Host host;
        QVERIFY(host.dev);
        QCOMPARE(host.exchange(0xA1, 0x01, bytes({0x80, 0x00, 0x92, 0x65, 0, 0, 0, 0})), bytes({0}));
        QCOMPARE(bank.lastClockSet(), std::optional<uint64_t>(1704067200));
        QByteArray now = host.exchange(0x12, 0x01);
        QCOMPARE(now.size(), 8);
        quint64 secs = 0;
        for (int i = 7; i >= 0; --i)
            secs = (secs << 8) | uint8_t(now[i]);
        QVERIFY(secs >= 1704067200 && secs <= 1704067202);
        QCOMPARE(host.exchange(0xA1, 0x02, bytes({33})), bytes({0}));
        QCOMPARE(host.exchange(0x12, 0x02), bytes({33}));
        QCOMPARE(host.exchange(0xA1, 0x03, bytes({0x2C, 0x01})), bytes({1}));
        QCOMPARE(host.exchange(0x12, 0x03), bytes({60, 0}));
    }

    void faults_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("drop") << int(Action::Drop) << QStringLiteral("timeout");
        QTest::newRow("outer crc") << int(Action::BadOuterCrc) << QStringLiteral("CRC mismatch");
        QTest::newRow("inner crc") << int(Action::BadInnerCrc) << QStringLiteral("CRC protocol mismatch");
        QTest::newRow("outer header") << int(Action::BadOuterHeader) << QStringLiteral("Invalid frame header");
        QTest::newRow("inner header") << int(Action::BadInnerHeader) << QStringLiteral("Invalid protocol header");
        QTest::newRow("garbage") << int(Action::Garbage) << QStringLiteral("Invalid frame header");
    }

    // Each fault hits the one answer it was set for; the next answer is sound again.
    void faults()
    {
        QFETCH(int, action);
        QFETCH(QString, outcome);
        SimulatedPowerBank bank(identity());
        bank.addRule(SimulatedPowerBank::Rule::on(0x20, 0x01, Action(action), 1));
        Host host;
        QVERIFY(host.dev);
        QString error;
        QCOMPARE(host.exchange(0x20, 0x02, {}, &error), bytes({97}));
        const int wait = Action(action) == Action::Drop ? Host::kMustNotComeMs : Host::kMustComeMs;
        QVERIFY(host.exchange(0x20, 0x01, {}, &error, wait).isEmpty());
        QCOMPARE(error, outcome);
        QCOMPARE(host.exchange(0x20, 0x01, {}, &error), bytes({80}));
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void wrongProbeAnswersAndShortPayloads()
    {
        SimulatedPowerBank bank(identity());
        bank.addRule(SimulatedPowerBank::Rule::on(0x10, 0x06, Action::TruncatePayload, 1).withLength(14));
        bank.addRule(SimulatedPowerBank::Rule::on(0x11, 0x01, Action::ReplacePayload).withPayload(bytes({1, 2})));
        bank.addRule(SimulatedPowerBank::Rule::on(0x12, 0x02, Action::AnswerAs).answeringAs(0x10, 0x06));
        Host host;
        QVERIFY(host.dev);
        QCOMPARE(host.exchange(0x10, 0x06).size(), 14);
        QCOMPARE(host.exchange(0x10, 0x06).size(), 15);
        QCOMPARE(host.exchange(0x11, 0x01), bytes({1, 2}));
        QString error;
        host.exchange(0x12, 0x02, {}, &error);
        QCOMPARE(error, QStringLiteral("answer to 16/6"));
    }

    void latencySilenceAndInjectedReports()
    {
        SimulatedPowerBank bank(identity());
        Host host;
        QVERIFY(host.dev);
        bank.addRule(SimulatedPowerBank::Rule::on(0x20, 0x03, Action::Latency, 1).withLatency(150));
        QElapsedTimer t;
        t.start();
        QVERIFY(host.send(0x20, 0x03) > 0);
        QCOMPARE(Host::payloadOf(*Host::decode(host.read())), bytes({42, 0}));
        QVERIFY(t.elapsed() >= 150);
        QVERIFY(bank.answers().last().msSinceStart - bank.requests().last().msSinceStart >= 150);

        bank.setSilent(true);
        QString error;
        host.exchange(0x20, 0x01, {}, &error, Host::kMustNotComeMs);
        QCOMPARE(error, QStringLiteral("timeout"));
        QCOMPARE(bank.requestsFor(0x20, 0x01).size(), 1); // recorded all the same
        bank.setSilent(false);

        // Unsolicited reports queue one behind the other, each read whole.
        bank.injectGarbage(2);
        bank.sendAnswer(0x20, 0x04, QByteArray(16, '\1'));
        for (int i = 0; i < 2; ++i) {
            const QByteArray g = host.read();
            QCOMPARE(g.size(), 64);
            QVERIFY(!Host::decode(g)->size);
        }
        auto f = Host::decode(host.read());
        QVERIFY2(f->size, qPrintable(f->error));
        QCOMPARE(f->data[3], uint8_t(16));
    }

    // Queued delivery: 300 reports wait on the line side by side (more than hidraw would keep),
    // each read() takes one whole, in order, with the answers interleaved where they fell due;
    // the line is then handed back to one report in flight.
    void queuedDeliveryKeepsEveryReportWhole()
    {
        SimulatedPowerBank bank(identity());
        Host host;
        QVERIFY(host.dev);
        bank.setQueuedDelivery(true);
        for (int i = 0; i < 300; ++i)
            bank.sendAnswer(0x20, 0x04, QByteArray(16, char(i)));
        QVERIFY(host.send(0x20, 0x03) > 0);
        QVERIFY(bank.waitUntil([&] { return bank.answers().size() == 301; }, 3000));
        QCOMPARE(bank.reportsWaiting(), 301);
        for (int i = 0; i < 300; ++i) {
            auto f = Host::decode(host.read(0));
            QVERIFY2(f->size, qPrintable(QStringLiteral("report %1: %2").arg(i).arg(f->error)));
            QCOMPARE(Host::payloadOf(*f), QByteArray(16, char(i)));
        }
        QCOMPARE(Host::payloadOf(*Host::decode(host.read(0))), bytes({42, 0}));
        QVERIFY(host.read(50).isEmpty());
        QCOMPARE(bank.reportsWaiting(), 0);
        for (const auto& answer : bank.answers())
            QVERIFY(answer.readMsSinceStart >= answer.msSinceStart);

        bank.setQueuedDelivery(false);
        QString error;
        QCOMPARE(host.exchange(0x20, 0x03, {}, &error), bytes({42, 0}));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(bank.answers().last().readMsSinceStart >= bank.answers().last().msSinceStart);
    }

    void answersForAClosedHandleAreDiscarded()
    {
        SimulatedPowerBank bank(identity());
        bank.setDefaultLatencyMs(80);
        {
            Host host;
            QVERIFY(host.dev);
            QVERIFY(host.send(0x20, 0x01) > 0);
        }
        QTRY_COMPARE(bank.openHandles(), 0);
        QTest::qWait(150); // past the 80 ms latency: the closed handle's answer is due by now
        Host again;
        QVERIFY(again.dev);
        QVERIFY(again.read(200).isEmpty());
    }

    void unplugIsSeenByHidapi()
    {
        SimulatedPowerBank bank(identity());
        Host host;
        QVERIFY(host.dev);
        QCOMPARE(host.exchange(0x20, 0x01), bytes({80}));
        bank.unplug();
        QVERIFY(!bank.isPlugged());
        int status = 0;
        QVERIFY(host.read(Host::kMustComeMs, &status).isEmpty());
        QCOMPARE(status, -1);
        QVERIFY2(lastError(host.dev).contains(QStringLiteral("disconnected")), qPrintable(lastError(host.dev)));
        errno = 0;
        QVERIFY(host.send(0x20, 0x01) < 0);
        QCOMPARE(errno, ENODEV);
        hid_device_info* list = hid_enumerate(kVid, 0);
        QVERIFY(!list);

        QVERIFY(bank.plug());
        QCOMPARE(bank.devicePath(), QStringLiteral("/dev/hidraw1"));
        Host replugged;
        QVERIFY(replugged.dev);
        QCOMPARE(replugged.exchange(0x10, 0x07), bytes({4}));
        QCOMPARE(bank.requests().last().plugNumber, 1);
    }

    void unplugDuringTheProbe_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("before the answer") << int(Action::UnplugBefore);
        QTest::newRow("after the answer") << int(Action::UnplugAfter);
    }

    void unplugDuringTheProbe()
    {
        QFETCH(int, action);
        SimulatedPowerBank bank(identity());
        bank.addRule(SimulatedPowerBank::Rule::on(0x10, 0x06, Action(action), 1));
        Host host;
        QVERIFY(host.dev);
        QCOMPARE(host.send(0x10, 0x06), 17);
        int status = 0;
        QByteArray first = host.read(Host::kMustComeMs, &status);
        if (Action(action) == Action::UnplugAfter) {
            QCOMPARE(first.size(), 64);
            QVERIFY(Host::decode(first)->size);
            first = host.read(Host::kMustComeMs, &status);
        }
        QVERIFY(first.isEmpty());
        QCOMPARE(status, -1);
        QVERIFY(lastError(host.dev).contains(QStringLiteral("disconnected")));
        QTRY_VERIFY(!bank.isPlugged());
    }

    void eventLogsChangeBetweenPolls()
    {
        SimulatedPowerBank bank(identity());
        bank.update([](auto& m) {
            m.activityLog = {};
            m.activityLog.capacity = 4;
            for (int i = 0; i < 4; ++i)
                m.prependEvent(0, {0, uint64_t(100 + i), 0, 0, 1, 0});
        });
        Host host;
        QVERIFY(host.dev);
        auto countAndNewest = [&host](int& count, int& newestSeq, int& oldestSeq, int& no) {
            const QByteArray stats = host.exchange(0x11, 0x01);
            no = uint8_t(stats[1]);
            count = uint8_t(stats[4]) | (uint8_t(stats[5]) << 8);
            newestSeq = count ? uint8_t(host.exchange(0x11, 0x02, bytes({0, 0, 0, 1}))[0]) : -1;
            oldestSeq = count ? uint8_t(host.exchange(0x11, 0x02, bytes({0, count - 1, 0, 1}))[0]) : -1;
        };
        int count, newest, oldest, no;
        countAndNewest(count, newest, oldest, no);
        QCOMPARE(QList<int>({count, newest, oldest, no}), QList<int>({4, 4, 1, 1}));
        bank.update([](auto& m) { m.prependEvent(0, {0, 200, 0, 0, 2, 0}); }); // ring drops seq 1
        countAndNewest(count, newest, oldest, no);
        QCOMPARE(QList<int>({count, newest, oldest, no}), QList<int>({4, 5, 2, 1}));
        bank.update([](auto& m) { m.clearEventLog(0); });
        countAndNewest(count, newest, oldest, no);
        QCOMPARE(QList<int>({count, newest, oldest, no}), QList<int>({0, -1, -1, 2}));
        QVERIFY(host.exchange(0x11, 0x02, bytes({0, 0, 0, 3})).isEmpty());
    }

    // The hook changes the device at an exact point of the exchange: every statistics request
    // finds one more abnormal record than the one before, the third an emptied log under a new
    // snapshot number; the answer to each request already shows its change.
    void requestHookChangesTheDeviceBetweenRequests()
    {
        int statistics = 0; // only the simulator's side touches it
        SimulatedPowerBank bank(identity());
        bank.setRequestHook([&statistics](const SimulatedPowerBank::Request& r, SimulatedPowerBank::Model& m) {
            if (r.command != 0x11 || r.subCommand != 0x01)
                return;
            if (++statistics == 3)
                m.clearEventLog(1);
            else
                m.prependEvent(1, {0, uint64_t(100 + statistics), 1, 1, 2, 17000});
        });
        Host host;
        QVERIFY(host.dev);
        QCOMPARE(host.exchange(0x11, 0x01).left(4), bytes({1, 1, 1, 0}));
        QCOMPARE(host.exchange(0x11, 0x02, bytes({1, 0, 0, 3})).size(), 16);
        QCOMPARE(host.exchange(0x11, 0x01).left(4), bytes({1, 1, 2, 0}));
        QCOMPARE(host.exchange(0x11, 0x02, bytes({1, 0, 0, 3})).left(3), bytes({2, 0, 102}));
        QCOMPARE(host.exchange(0x11, 0x01).left(4), bytes({2, 1, 0, 0}));
        bank.setRequestHook({});
        QCOMPARE(host.exchange(0x11, 0x01).left(4), bytes({2, 1, 0, 0}));
    }

    // Many exchanges back to back, payloads full of CR, LF and zero bytes, and the sequence
    // numbers of the requests recorded in order.
    void thousandRoundTripsWithoutFramingError()
    {
        SimulatedPowerBank bank(identity());
        bank.update([](auto& m) { m.texts[0x0C] = QByteArray("\r\n\r\n\0\x03\x11\x13\r", 9).repeated(6).left(48); });
        Host host;
        QVERIFY(host.dev);
        const uint8_t subs[] = {0x01, 0x02, 0x03, 0x04};
        const auto before = bank.requestCount();
        for (int i = 0; i < 1000; ++i) {
            QString error;
            const uint8_t cmd = (i % 3 == 0) ? 0x10 : 0x20;
            const uint8_t sub = (i % 3 == 0) ? 0x0C : subs[i % 4];
            const QByteArray payload = host.exchange(cmd, sub, {}, &error);
            QVERIFY2(error.isEmpty(), qPrintable(QStringLiteral("round trip %1: %2").arg(i).arg(error)));
            if (cmd == 0x10)
                QCOMPARE(payload.size(), 48);
        }
        const auto requests = bank.requests().mid(before);
        QCOMPARE(requests.size(), 1000);
        for (int i = 1; i < requests.size(); ++i) {
            QVERIFY(requests[i].decoded);
            QCOMPARE(uint8_t(requests[i].sequence), uint8_t(requests[i - 1].sequence + 1));
            QVERIFY(requests[i].at >= requests[i - 1].at);
        }
        QCOMPARE(bank.answers().size(), 1000);
    }

    void waitForSpinsTheEventLoop()
    {
        SimulatedPowerBank bank(identity());
        Host host;
        QVERIFY(host.dev);
        bool timerRan = false;
        QTimer::singleShot(20, [&] {
            timerRan = true;
            host.send(0x30, 0x00);
        });
        QVERIFY(bank.waitForRequest(0x30, 0x00, 1, 2000));
        QVERIFY(timerRan);
        QVERIFY(!bank.waitFor([](const auto& r) { return r.size() > 5; }, 50));
    }
};

QTEST_GUILESS_MAIN(TstSimulatedPowerBank)
#include "tst_simulated_power_bank.moc"
