// The probe exchange and the probe back-off, without a device: scripted write and read functions
// and a clock given by the test.
#include "protocol/frame_codec.h"
#include "sim/device_codec.h"
#include "transport/hid_bridge.h"
#include "transport/tessaravolt_probe.h"

#include <QtTest>

#include <deque>

using namespace tessaravolt::transport;
namespace protocol = tessaravolt::protocol;
namespace sim = tessaravolt::sim;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(ProbeResult)

namespace {

QByteArray answer(uint8_t command, uint8_t sub, int payloadLength)
{
    const QByteArray payload(payloadLength, '\x01');
    const auto frame = sim::encodeAnswerFrame(command, sub, 7, reinterpret_cast<const uint8_t*>(payload.constData()),
                                              size_t(payload.size()));
    return QByteArray(reinterpret_cast<const char*>(frame->data), int(frame->size));
}

// A scripted device: each read takes the next step; an empty script reads as "nothing in time".
struct ScriptedDevice
{
    struct Step
    {
        int result = 0; // < 0 fails, 0 nothing came, > 0 the report is delivered
        QByteArray report;
    };
    std::deque<Step> script;
    int writeResult = 17;
    QList<QByteArray> written;
    int reads = 0;
    QList<int> waits;

    ProbeWriteFunction writer()
    {
        return [this](const uint8_t* bytes, size_t length) {
            written << QByteArray(reinterpret_cast<const char*>(bytes), int(length));
            return writeResult;
        };
    }
    ProbeReadFunction reader()
    {
        return [this](uint8_t* buffer, size_t capacity, int waitMs) {
            ++reads;
            waits << waitMs;
            if (script.empty())
                return 0;
            const Step step = script.front();
            script.pop_front();
            if (step.result <= 0)
                return step.result;
            const int n = int(std::min<size_t>(capacity, size_t(step.report.size())));
            memcpy(buffer, step.report.constData(), size_t(n));
            return n;
        };
    }
};

} // namespace

class TstDiscoveryUnits : public QObject
{
    Q_OBJECT

private slots:
    void probeOutcomes_data()
    {
        QTest::addColumn<QList<QByteArray>>("reports");
        QTest::addColumn<int>("writeResult");
        QTest::addColumn<int>("finalRead");
        QTest::addColumn<ProbeResult>("expected");

        const QByteArray valid = answer(0x10, 0x06, 15);
        QTest::newRow("valid answer") << QList<QByteArray>{valid} << 17 << 0 << ProbeResult::Success;
        QTest::newRow("14 payload bytes")
            << QList<QByteArray>{answer(0x10, 0x06, 14)} << 17 << 0 << ProbeResult::InvalidResponse;
        QTest::newRow("other answer, then the valid one")
            << QList<QByteArray>{answer(0x20, 0x01, 15), valid} << 17 << 0 << ProbeResult::Success;
        QTest::newRow("garbage") << QList<QByteArray>{QByteArray(64, '\x55')} << 17 << 0
                                 << ProbeResult::InvalidResponse;
        QTest::newRow("silence") << QList<QByteArray>{} << 17 << 0 << ProbeResult::Timeout;
        QTest::newRow("write fails") << QList<QByteArray>{valid} << -1 << 0 << ProbeResult::WriteFailed;
        QTest::newRow("read fails after an invalid answer")
            << QList<QByteArray>{answer(0x10, 0x06, 3)} << 17 << -1 << ProbeResult::ReadFailed;
    }

    void probeOutcomes()
    {
        QFETCH(QList<QByteArray>, reports);
        QFETCH(int, writeResult);
        QFETCH(int, finalRead);
        QFETCH(ProbeResult, expected);

        ScriptedDevice device;
        device.writeResult = writeResult;
        for (const QByteArray& report : reports)
            device.script.push_back({int(report.size()), report});
        if (finalRead != 0)
            device.script.push_back({finalRead, {}});

        QCOMPARE(probeTessaravoltDevice(device.writer(), device.reader(), 300), expected);
        QCOMPARE(device.written.size(), 1);
        const auto request = sim::decodeRequestFrame(reinterpret_cast<const uint8_t*>(device.written[0].constData()),
                                                     size_t(device.written[0].size()));
        QVERIFY(request->size > 0);
        QCOMPARE(request->data[1], uint8_t(0x10));
        QCOMPARE(request->data[2], uint8_t(0x06));
        QCOMPARE(device.written[0].size(), 17);
        for (int wait : device.waits)
            QVERIFY(wait >= 1 && wait <= 300);
    }

    void probeWithoutTimeWritesButDoesNotRead()
    {
        ScriptedDevice device;
        device.script.push_back({64, answer(0x10, 0x06, 15)});
        QCOMPARE(probeTessaravoltDevice(device.writer(), device.reader(), 0), ProbeResult::Timeout);
        QCOMPARE(device.written.size(), 1);
        QCOMPARE(device.reads, 0);
    }

    void probeWithoutFunctions()
    {
        ScriptedDevice device;
        QCOMPARE(probeTessaravoltDevice({}, device.reader(), 300), ProbeResult::EncodeFailed);
        QCOMPARE(probeTessaravoltDevice(device.writer(), {}, 300), ProbeResult::EncodeFailed);
        QVERIFY(device.written.isEmpty());
    }

    void answerTest()
    {
        const QByteArray fifteen = answer(0x10, 0x06, 15);
        const QByteArray fourteen = answer(0x10, 0x06, 14);
        const auto bytes = [](const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); };
        QVERIFY(isTessaravoltProbeResponse(bytes(fifteen), size_t(fifteen.size())));
        QVERIFY(!isTessaravoltProbeResponse(bytes(fourteen), size_t(fourteen.size())));
        QVERIFY(!isTessaravoltProbeResponse(nullptr, 64));
        QVERIFY(!isTessaravoltProbeResponse(bytes(fifteen), 0));

        // A decoded frame whose length byte promises more than it holds.
        uint8_t frame[21] = {0xAA, 0x10, 0x06, 15};
        QVERIFY(isTessaravoltProbeDecodedFrame(frame, 21));
        QVERIFY(!isTessaravoltProbeDecodedFrame(frame, 20));
        QVERIFY(!isTessaravoltProbeDecodedFrame(frame, 3));
        QVERIFY(!isTessaravoltProbeDecodedFrame(nullptr, 21));
    }

    void resultNames()
    {
        QCOMPARE(probeResultName(ProbeResult::Success), "success");
        QCOMPARE(probeResultName(ProbeResult::EncodeFailed), "probe_encode_failed");
        QCOMPARE(probeResultName(ProbeResult::WriteFailed), "probe_write_failed");
        QCOMPARE(probeResultName(ProbeResult::ReadFailed), "probe_read_failed");
        QCOMPARE(probeResultName(ProbeResult::Timeout), "probe_timeout");
        QCOMPARE(probeResultName(ProbeResult::InvalidResponse), "probe_invalid_response");
        QCOMPARE(probeResultName(ProbeResult::Disconnected), "probe_disconnected");
        QCOMPARE(probeResultName(static_cast<ProbeResult>(42)), "probe_unknown");
    }

    void backoffDelaysGrowAndStop()
    {
        ProbeBackoffCache cache;
        const DeviceId id{0x3A5D, 0x0001};
        const auto t0 = std::chrono::steady_clock::time_point(1000s);
        const struct
        {
            uint32_t failures;
            bool changed;
            uint64_t seconds;
        } expected[] = {{1, true, 2}, {2, true, 5}, {3, true, 10}, {4, true, 30}, {4, false, 30}, {4, false, 30}};
        auto now = t0;
        for (const auto& step : expected) {
            const ProbeBackoffResult r = cache.recordProtocolFailure(id, "/dev/hidraw0", now);
            QCOMPARE(r.failures, step.failures);
            QCOMPARE(r.changed, step.changed);
            QCOMPARE(r.retryAfterSeconds, step.seconds);
            const auto* entry = cache.find({id.vendorId, id.productId, "/dev/hidraw0"});
            QVERIFY(entry);
            QVERIFY(entry->retryAt == now + std::chrono::seconds(step.seconds));
            now += 100s;
        }
        QCOMPARE(cache.size(), size_t(1));
    }

    void backoffIgnoresEmptyPath()
    {
        ProbeBackoffCache cache;
        const ProbeBackoffResult r = cache.recordProtocolFailure({0x3A5D, 1}, "", std::chrono::steady_clock::now());
        QCOMPARE(r.failures, 0u);
        QVERIFY(!r.changed);
        QVERIFY(cache.empty());
    }

    void fullCacheEvictsOldestFailure()
    {
        ProbeBackoffCache cache;
        const auto t0 = std::chrono::steady_clock::time_point(1000s);
        for (int i = 0; i < 64; ++i) {
            // Path 17 failed first of all.
            const auto at = i == 17 ? t0 : t0 + std::chrono::seconds(1 + i);
            cache.recordProtocolFailure({0x3A5D, uint16_t(i)}, "/dev/hidraw" + std::to_string(i), at);
        }
        QCOMPARE(cache.size(), size_t(64));
        cache.recordProtocolFailure({0x3A5E, 99}, "/dev/hidraw99", t0 + 500s);
        QCOMPARE(cache.size(), size_t(64));
        QVERIFY(!cache.find({0x3A5D, 17, "/dev/hidraw17"}));
        QVERIFY(cache.find({0x3A5E, 99, "/dev/hidraw99"}));
        QVERIFY(cache.find({0x3A5D, 0, "/dev/hidraw0"}));
        // A known device does not evict anything.
        cache.recordProtocolFailure({0x3A5D, 0}, "/dev/hidraw0", t0 + 600s);
        QCOMPARE(cache.size(), size_t(64));
    }

    void keysDifferByEveryField()
    {
        ProbeBackoffCache cache;
        const auto now = std::chrono::steady_clock::now();
        cache.recordProtocolFailure({0x3A5D, 1}, "/dev/hidraw0", now);
        QVERIFY(cache.find({0x3A5D, 1, "/dev/hidraw0"}));
        QVERIFY(!cache.find({0x3A5E, 1, "/dev/hidraw0"}));
        QVERIFY(!cache.find({0x3A5D, 2, "/dev/hidraw0"}));
        QVERIFY(!cache.find({0x3A5D, 1, "/dev/hidraw1"}));

        cache.recordProtocolFailure({0x3A5D, 1}, "/dev/hidraw1", now);
        cache.retainOnly({{0x3A5D, 1, "/dev/hidraw1"}});
        QCOMPARE(cache.size(), size_t(1));
        QVERIFY(cache.find({0x3A5D, 1, "/dev/hidraw1"}));
    }
};

QTEST_GUILESS_MAIN(TstDiscoveryUnits)
#include "tst_discovery_units.moc"
