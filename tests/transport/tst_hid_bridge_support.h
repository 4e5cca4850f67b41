#pragma once

// Shared by the link's tests: reading the application log from a mark on, and a simulated
// power bank with the identity the link looks for.

#include "common/logger_manager.h"
#include "protocol/frame_codec.h"
#include "sim/simulated_power_bank.h"
#include "transport/hid_bridge.h"

#include <QRegularExpression>
#include <QStringList>
#include <QtTest>

#include <atomic>

namespace tessaravolt::transport::test {

// The log entries committed after construction.
class LinkLogMark
{
public:
    LinkLogMark() : m_start(common::LoggerManager::instance().entries().size()) {}

    QStringList lines() const
    {
        const auto entries = common::LoggerManager::instance().entries();
        QStringList result;
        for (qsizetype i = m_start; i < entries.size(); ++i)
            result << entries.at(i).message;
        return result;
    }

    QStringList starting(const QString& prefix) const
    {
        QStringList result;
        for (const QString& line : lines()) {
            if (line.startsWith(prefix))
                result << line;
        }
        return result;
    }

    int count(const QString& prefix) const { return int(starting(prefix).size()); }

    // Index of the first line starting with prefix, -1 when absent.
    qsizetype indexOf(const QString& prefix) const
    {
        const QStringList all = lines();
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (all.at(i).startsWith(prefix))
                return i;
        }
        return -1;
    }

private:
    qsizetype m_start;
};

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
    FakeWallClock() : m_ms(nextStart())
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

inline sim::SimulatedPowerBank::Identity linkIdentity(uint16_t productId = 0x002A, size_t vendorIndex = 0)
{
    sim::SimulatedPowerBank::Identity id;
    id.vendorId = kSupportedVendorIds[vendorIndex];
    id.productId = productId;
    return id;
}

inline std::unique_ptr<protocol::Frame> encodeRequest(uint8_t command, uint8_t subCommand)
{
    return protocol::encodeFrame(command, subCommand, nullptr, 0);
}

} // namespace tessaravolt::transport::test
