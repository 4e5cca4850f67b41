#pragma once

#include "transport/device_id.h"
#include "transport/probe_backoff_cache.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct hid_device_;

namespace tessaravolt::transport {

// The maker's USB vendor ids, enumerated in this order. udev/70-tessaravolt.rules lists the same.
inline constexpr std::array<uint16_t, 2> kSupportedVendorIds{0x3A5D, 0x3A5E};

// Every value other than Foreground selects the background queue.
enum class HidRequestPriority : uint8_t {
    Foreground = 0,
    Background = 1,
};

struct QueuedHidPacket
{
    std::vector<uint8_t> bytes;
    std::chrono::steady_clock::time_point enqueuedAt;
    uint64_t ticket = 0;
};

struct HidRequestQueue
{
    std::deque<QueuedHidPacket> foregroundQueue;
    std::deque<QueuedHidPacket> backgroundQueue;

    void clear();
};

struct HidCandidate
{
    DeviceId id;
    std::string path;
};

// Unplug test after a failed read, write or probe: the last-error code read right after the
// failure, and the library's error text.
bool isDisconnectError(uint32_t lastError, const QString& errorText);

// Turns in a row that may read input before the worker writes the next queued report anyway, so a
// device that never stops sending cannot hold every request back.
inline constexpr int kMaxReadsBeforeWrite = 4;

// Input reports one turn reads at most: all that wait, so a device sending faster than one report
// a turn cannot fill its buffer and bury the answers, but bounded, so one that never stops cannot
// keep a turn from ending. A hidraw node keeps 64 reports per open handle.
inline constexpr int kMaxReportsPerTurn = 64;

// One turn of the link's worker, as a test that counts in turns sees it.
struct HidLinkTurn
{
    int reportsRead = 0;
    bool readFailed = false;
    bool wrote = false;       // a queued report went out
    int64_t wroteAtMs = 0;    // the write spacing's clock when it did
    size_t reportsQueued = 0; // left in both queues when the turn ended
};

// The process-wide link to the one open power bank: discovery and probe, the worker thread that
// reads input reports and writes the two paced write queues, and the unplug detection.
class HidBridge : public QObject
{
    Q_OBJECT

public:
    static HidBridge* instance();
    ~HidBridge() override;

    bool connected() const;
    // Queues one output report. Returns its ticket, which reportTaken names when the report
    // leaves its queue (counting from 1), or 0 when nothing was queued.
    uint64_t sendData(const uint8_t* data, size_t length, HidRequestPriority priority);
    size_t backgroundQueueDepth() const;
    void closeDevice();
    bool openSupportedPowerBank();

    // Test support: the clock that connection attempts are timed by and the probe back-off decides
    // by (steady clock by default), the wall clock of the write spacing in ms since the epoch
    // (system clock by default; the worker reads it, so set it only while no device is open), and
    // a look at the back-off memory.
    void setAttemptClockForTesting(std::function<std::chrono::steady_clock::time_point()> clock);
    void setWallClockForTesting(std::function<int64_t()> clock);
    const ProbeBackoffCache& backoffCacheForTesting() const { return probeBackoffCache; }
    // Test support: called on the worker at the end of every turn, after its write and before its
    // sleep, while the next turn waits. May be set or cleared at any time; once cleared, it is no
    // longer running and is not called again.
    void setTurnObserverForTesting(std::function<void(const HidLinkTurn&)> observer);

signals:
    void connectedChanged(bool connected);
    void dataReceived(const QByteArray& data);
    void errorOccurred(const QString& message);
    // A queued report was taken from its queue to be written, whatever the write's outcome; it
    // comes before any report read after that write.
    void reportTaken(quint64 ticket);

private:
    HidBridge();

    void closeDeviceImpl(bool clearBackoff);
    void taskLoop();
    bool writeQueuedData(HidLinkTurn& turn);
    void tellTurn(HidLinkTurn& turn);
    void logConnectFailureOnce(const QString& reason, uint64_t enumerated, uint64_t matched, uint64_t deferred,
                               uint64_t attempts, std::optional<DeviceId> lastDevice, const QString& error,
                               int64_t elapsedMs);
    std::chrono::steady_clock::time_point attemptNow() const;
    int64_t attemptMsSince(std::chrono::steady_clock::time_point start) const;

    hid_device_* device = nullptr;
    DeviceId deviceId;
    bool deviceInfoValid = false;
    QString lastFailureSignature;
    std::atomic<bool> connectedFlag{false};
    mutable std::mutex deviceMutex;
    mutable std::mutex queueMutex;
    int64_t lastWriteMs = 0;
    // Turns in a row that read a report or an error since a packet was last taken from the
    // queues (worker thread only).
    int readsSinceWrite = 0;
    HidRequestQueue requestQueue;
    uint64_t lastTicket = 0; // under queueMutex
    std::thread worker;
    ProbeBackoffCache probeBackoffCache;
    // Devices present whose node could not be opened for lack of permission, told once each.
    std::vector<ProbeCacheKey> permissionDeniedTold;
    std::function<std::chrono::steady_clock::time_point()> attemptClock;
    std::function<int64_t()> wallClock;
    std::atomic<bool> turnObserved{false};
    std::mutex turnObserverMutex;
    std::function<void(const HidLinkTurn&)> turnObserver;
};

} // namespace tessaravolt::transport
