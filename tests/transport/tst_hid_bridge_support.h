#pragma once

// Shared by the link's tests: its log lines, its signals as the GUI thread sees them, and a clock
// for its write spacing.

#include "protocol/frame_codec.h"
#include "support/log_mark.h"
#include "support/simulated_device.h"
#include "transport/hid_bridge.h"

#include <QRegularExpression>
#include <QStringList>
#include <QtTest>

#include <atomic>

namespace tessaravolt::transport::test {

using tessaravolt::test::LogMark;

// The value of one name=value field of a connection log line ("" when absent).
inline QString logField(const QString& line, const QString& name)
{
    const QRegularExpression re(QStringLiteral("(?:^| )%1=(\\S*)").arg(QRegularExpression::escape(name)));
    const auto match = re.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

// An id as the connection log lines write it: four upper-case hex digits.
inline QString hex4(uint16_t id)
{
    return QString::number(id, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

// The link's signals as this (the GUI) thread receives them. A QSignalSpy would record on the
// emitting thread and race with the test's reads whenever the worker emits.
class LinkSignals : public QObject
{
public:
    explicit LinkSignals(HidBridge* bridge)
    {
        connect(bridge, &HidBridge::connectedChanged, this, [this](bool connected) { changes << connected; });
        connect(bridge, &HidBridge::dataReceived, this, [this](const QByteArray& report) { data << report; });
        connect(bridge, &HidBridge::errorOccurred, this, [this](const QString& message) { errors << message; });
    }

    QList<bool> changes;
    QList<QByteArray> data;
    QStringList errors;
};

// A wall clock for the write spacing that only the test moves. Each instance starts a day after
// the previous one, so the link's time of its last write (kept across connections) never falls
// within 100 ms of a fresh clock. Create it before the device is opened; it closes the link when
// it goes, since the worker reads it.
class FakeWallClock
{
public:
    FakeWallClock()
        : m_ms(nextStart())
    {
        HidBridge::instance()->setWallClockForTesting([this] { return m_ms.load(); });
    }
    ~FakeWallClock()
    {
        HidBridge::instance()->closeDevice();
        HidBridge::instance()->setWallClockForTesting({});
    }
    FakeWallClock(const FakeWallClock&) = delete;
    FakeWallClock& operator=(const FakeWallClock&) = delete;

    void advance(int64_t ms) { m_ms += ms; }

private:
    static int64_t nextStart()
    {
        static int64_t start = 1'000'000'000'000;
        start += 86'400'000;
        return start;
    }

    std::atomic<int64_t> m_ms;
};

// The link's tests tell their power banks apart by product id.
inline sim::SimulatedPowerBank::Identity linkIdentity(uint16_t productId = 0x002A, size_t vendorIndex = 0)
{
    return tessaravolt::test::supportedIdentity(productId, vendorIndex);
}

inline std::unique_ptr<protocol::Frame> encodeRequest(uint8_t command, uint8_t subCommand)
{
    return protocol::encodeFrame(command, subCommand, nullptr, 0);
}

} // namespace tessaravolt::transport::test
