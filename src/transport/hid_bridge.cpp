#include "transport/hid_bridge.h"

#include "common/logger_manager.h"
#include "transport/hid_platform.h"
#include "transport/tessaravolt_probe.h"

#include <hidapi/hidapi.h>

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unordered_set>

namespace tessaravolt::transport {

namespace {

using common::LoggerManager;
using SteadyClock = std::chrono::steady_clock;

const QString msgDeviceNotOpen = QStringLiteral("device not open");

QString formatHexId(uint16_t id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper();
}

void logLine(const QString& line)
{
    LoggerManager::instance().addLog(line);
}

int64_t wallClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool isSupportedVendor(uint16_t vendorId)
{
    return std::find(kSupportedVendorIds.begin(), kSupportedVendorIds.end(), vendorId) != kSupportedVendorIds.end();
}

// Without the rule the window can only say that no power bank is connected; this line says why.
void tellPermissionDenied(const std::string& path)
{
    const QString line =
        QStringLiteral("Tessaravolt: the power bank at %1 may not be opened (permission denied): it needs the udev "
                       "rule 70-tessaravolt.rules, which the package installs in /usr/lib/udev/rules.d (from a "
                       "clone, scripts/install-udev-rule installs it); see the README section \"The udev rule "
                       "(USB permissions)\", then unplug and re-plug the power bank")
            .arg(QString::fromStdString(path));
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
    logLine(line);
}

} // namespace

void HidRequestQueue::clear()
{
    std::deque<QueuedHidPacket>().swap(foregroundQueue);
    std::deque<QueuedHidPacket>().swap(backgroundQueue);
}

bool isDisconnectError(uint32_t lastError, const QString& errorText)
{
    switch (lastError) {
    case kErrorDeviceNotConnected:
    case kErrorDeviceRemoved:
    case kErrorGenFailure:
    case kErrorNoSuchDevice:
        return true;
    default:
        break;
    }
    return errorText.contains(QLatin1String("disconnect")) || errorText.contains(QLatin1String("removed"));
}

HidBridge* HidBridge::instance()
{
    static HidBridge bridge;
    return &bridge;
}

HidBridge::HidBridge()
    : QObject(nullptr)
{
    hid_init();
    logLine(QStringLiteral("HidBridge: instance init"));
}

HidBridge::~HidBridge()
{
    closeDeviceImpl(true);
    hid_exit();
}

bool HidBridge::connected() const
{
    return connectedFlag.load();
}

uint64_t HidBridge::sendData(const uint8_t* data, size_t length, HidRequestPriority priority)
{
    if (!data || length == 0 || !connectedFlag.load())
        return 0;
    {
        std::unique_lock lock(deviceMutex);
        if (!device) {
            lock.unlock();
            emit errorOccurred(msgDeviceNotOpen);
            return 0;
        }
    }
    QueuedHidPacket packet{std::vector<uint8_t>(data, data + length), SteadyClock::now()};
    std::lock_guard lock(queueMutex);
    packet.ticket = ++lastTicket;
    const uint64_t ticket = packet.ticket;
    if (priority == HidRequestPriority::Foreground)
        requestQueue.foregroundQueue.push_back(std::move(packet));
    else
        requestQueue.backgroundQueue.push_back(std::move(packet));
    return ticket;
}

size_t HidBridge::backgroundQueueDepth() const
{
    std::lock_guard lock(queueMutex);
    return requestQueue.backgroundQueue.size();
}

void HidBridge::closeDevice()
{
    closeDeviceImpl(true);
}

void HidBridge::setAttemptClockForTesting(std::function<std::chrono::steady_clock::time_point()> clock)
{
    attemptClock = std::move(clock);
}

void HidBridge::setWallClockForTesting(std::function<int64_t()> clock)
{
    wallClock = std::move(clock);
}

void HidBridge::setTurnObserverForTesting(std::function<void(const HidLinkTurn&)> observer)
{
    std::lock_guard lock(turnObserverMutex);
    turnObserver = std::move(observer);
    turnObserved.store(static_cast<bool>(turnObserver));
}

void HidBridge::tellTurn(HidLinkTurn& turn)
{
    if (!turnObserved.load(std::memory_order_relaxed))
        return;
    {
        std::lock_guard lock(queueMutex);
        turn.reportsQueued = requestQueue.foregroundQueue.size() + requestQueue.backgroundQueue.size();
    }
    std::lock_guard lock(turnObserverMutex);
    if (turnObserver)
        turnObserver(turn);
}

SteadyClock::time_point HidBridge::attemptNow() const
{
    return attemptClock ? attemptClock() : SteadyClock::now();
}

int64_t HidBridge::attemptMsSince(SteadyClock::time_point start) const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(attemptNow() - start).count();
}

void HidBridge::closeDeviceImpl(bool clearBackoff)
{
    connectedFlag.store(false);
    if (worker.joinable()) {
        if (worker.get_id() == std::this_thread::get_id())
            worker.detach();
        else
            worker.join();
    }
    {
        std::lock_guard lock(deviceMutex);
        if (device) {
            hid_close(device);
            device = nullptr;
        }
        deviceInfoValid = false;
    }
    {
        std::lock_guard lock(queueMutex);
        requestQueue.clear();
    }
    if (clearBackoff)
        probeBackoffCache.clear();
}

void HidBridge::taskLoop()
{
    QString reason = QStringLiteral("closed");
    uint8_t buffer[64];
    readsSinceWrite = 0;
    auto countRead = [this] {
        readsSinceWrite = std::min(readsSinceWrite + 1, kMaxReadsBeforeWrite);
        return readsSinceWrite == kMaxReadsBeforeWrite;
    };
    while (connectedFlag.load()) {
        HidLinkTurn turn;
        bool closed = false;
        bool lost = false;
        while (turn.reportsRead < kMaxReportsPerTurn) {
            int n = 0;
            {
                std::lock_guard lock(deviceMutex);
                if (!device) {
                    closed = true;
                    break;
                }
                n = hidRead(device, buffer, sizeof buffer);
            }
            if (n == 0)
                break;
            if (n > 0) {
                logLine(QStringLiteral("taskLoop onPacket: size=%1").arg(n));
                lastWriteMs = 0;
                emit dataReceived(QByteArray(reinterpret_cast<const char*>(buffer), n));
                ++turn.reportsRead;
                continue;
            }
            const uint32_t code = lastHidError();
            QString text;
            {
                std::lock_guard lock(deviceMutex);
                text = hidReadErrorText(device);
            }
            if (isDisconnectError(code, text)) {
                lost = true;
                break;
            }
            // A failing read may fail again at once: the rest waits for the next turn.
            logLine(QStringLiteral("taskLoop: read packet err  ") + text);
            turn.readFailed = true;
            break;
        }
        if (closed)
            break;
        if (lost) {
            connectedFlag.store(false);
            reason = QStringLiteral("device_disconnected");
            break;
        }
        bool mayWrite = false;
        if (turn.reportsRead > 0 || turn.readFailed) {
            mayWrite = countRead();
        } else {
            readsSinceWrite = 0;
            mayWrite = true;
        }
        if (mayWrite && writeQueuedData(turn)) {
            connectedFlag.store(false);
            reason = QStringLiteral("device_disconnected");
            break;
        }
        tellTurn(turn);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }

    bool wasValid = false;
    DeviceId id;
    {
        std::lock_guard lock(deviceMutex);
        wasValid = deviceInfoValid;
        id = deviceId;
        deviceInfoValid = false;
    }
    if (wasValid) {
        logLine(QStringLiteral("HID_DISCONNECTED VID=0x") + formatHexId(id.vendorId) + QStringLiteral(" PID=0x")
                + formatHexId(id.productId) + QStringLiteral(" reason=") + reason);
    }
    logLine(QStringLiteral("taskLoop: exit"));
    emit connectedChanged(false);
}

bool HidBridge::writeQueuedData(HidLinkTurn& turn)
{
    const int64_t now = wallClock ? wallClock() : wallClockMs();
    // Unsigned, so a wall clock that stepped backwards lets the next write through at once.
    if (static_cast<uint64_t>(now) - static_cast<uint64_t>(lastWriteMs) <= 99)
        return false;

    QueuedHidPacket packet;
    {
        std::lock_guard lock(queueMutex);
        auto& queue =
            !requestQueue.foregroundQueue.empty() ? requestQueue.foregroundQueue : requestQueue.backgroundQueue;
        if (queue.empty())
            return false;
        packet = std::move(queue.front());
        queue.pop_front();
    }
    readsSinceWrite = 0;
    emit reportTaken(packet.ticket);

    std::unique_lock lock(deviceMutex);
    if (!device) {
        lock.unlock();
        emit errorOccurred(msgDeviceNotOpen);
        return false;
    }
    LoggerManager& logger = LoggerManager::instance();
    logger.addLog(QStringLiteral("writeToDevice, len=%1").arg(packet.bytes.size()));
    logger.cacheEncode("writeToDevice", packet.bytes.data(), packet.bytes.size());
    const int result = hidWriteReport(device, packet.bytes.data(), packet.bytes.size());
    if (result >= 0) {
        lock.unlock();
        if (result > 0) {
            lastWriteMs = now;
            turn.wrote = true;
            turn.wroteAtMs = now;
        }
        return false;
    }
    const uint32_t code = lastHidError();
    const QString text = hidErrorText(device);
    lock.unlock();
    emit errorOccurred(text);
    if (isDisconnectError(code, text)) {
        logLine(QStringLiteral("taskLoop: connect disconnect while write"));
        return true;
    }
    return false;
}

bool HidBridge::openSupportedPowerBank()
{
    const auto start = attemptNow();
    closeDeviceImpl(false);

    std::vector<HidCandidate> candidates;
    for (const uint16_t vendorId : kSupportedVendorIds) {
        hid_device_info* list = hid_enumerate(vendorId, 0);
        for (hid_device_info* info = list; info; info = info->next) {
            candidates.push_back(
                {DeviceId{info->vendor_id, info->product_id}, info->path ? std::string(info->path) : std::string()});
        }
        hid_free_enumeration(list);
    }

    if (candidates.empty()) {
        probeBackoffCache.clear();
        permissionDeniedTold.clear();
        logConnectFailureOnce(QStringLiteral("enumeration_empty"), 0, 0, 0, 0, std::nullopt, hidErrorText(nullptr),
                              attemptMsSince(start));
        return false;
    }

    const uint64_t enumerated = candidates.size();
    uint64_t matched = 0;
    std::vector<ProbeCacheKey> present;
    for (const HidCandidate& candidate : candidates) {
        if (!isSupportedVendor(candidate.id.vendorId))
            continue;
        ++matched;
        if (!candidate.path.empty())
            present.push_back({candidate.id.vendorId, candidate.id.productId, candidate.path});
    }
    probeBackoffCache.retainOnly(present);
    std::erase_if(permissionDeniedTold, [&](const ProbeCacheKey& key) {
        return std::find(present.begin(), present.end(), key) == present.end();
    });

    const auto backoffCheckAt = attemptNow();
    uint64_t deferred = 0;
    std::vector<const HidCandidate*> eligible;
    for (const HidCandidate& candidate : candidates) {
        if (isSupportedVendor(candidate.id.vendorId) && !candidate.path.empty()) {
            const auto* entry = probeBackoffCache.find({candidate.id.vendorId, candidate.id.productId, candidate.path});
            if (entry && entry->retryAt > backoffCheckAt) {
                ++deferred;
                continue;
            }
        }
        eligible.push_back(&candidate);
    }
    if (matched > 0 && deferred == matched)
        return false;

    hid_device* winner = nullptr;
    DeviceId winnerId;
    QString lastReason;
    QString lastError;
    std::optional<DeviceId> lastDevice;

    auto tryOpenCandidate = [&](const HidCandidate& candidate) -> bool {
        lastDevice = candidate.id;
        hid_device* handle = hidOpenPath(candidate.path.c_str());
        if (!handle) {
            lastReason = QStringLiteral("open_failed");
            lastError = hidErrorText(nullptr);
            const int openErrno = lastHidOpenErrno();
            const ProbeCacheKey key{candidate.id.vendorId, candidate.id.productId, candidate.path};
            if ((openErrno == EACCES || openErrno == EPERM)
                && std::find(permissionDeniedTold.begin(), permissionDeniedTold.end(), key)
                    == permissionDeniedTold.end()) {
                permissionDeniedTold.push_back(key);
                tellPermissionDenied(candidate.path);
            }
            return false;
        }
        if (hidSetNonblocking(handle, 1) < 0) {
            lastReason = QStringLiteral("nonblocking_failed");
            lastError = hidErrorText(handle);
            hid_close(handle);
            return false;
        }
        ProbeResult result = probeTessaravoltDevice(
            [handle](const uint8_t* bytes, size_t length) { return hidWriteReport(handle, bytes, length); },
            [handle](uint8_t* buffer, size_t capacity, int waitMs) {
                return hidReadTimeout(handle, buffer, capacity, waitMs);
            },
            kProbeTimeoutMs);
        const ProbeCacheKey key{candidate.id.vendorId, candidate.id.productId, candidate.path};
        if (result == ProbeResult::Success) {
            probeBackoffCache.erase(key);
            winner = handle;
            winnerId = candidate.id;
            return true;
        }
        lastError.clear();
        if (result == ProbeResult::WriteFailed || result == ProbeResult::ReadFailed) {
            const uint32_t code = lastHidError();
            lastError = result == ProbeResult::WriteFailed ? hidErrorText(handle) : hidReadErrorText(handle);
            if (isDisconnectError(code, lastError))
                result = ProbeResult::Disconnected;
        }
        lastReason = QString::fromLatin1(probeResultName(result));
        if (result == ProbeResult::WriteFailed || result == ProbeResult::ReadFailed || result == ProbeResult::Timeout
            || result == ProbeResult::InvalidResponse) {
            const ProbeBackoffResult backoff =
                probeBackoffCache.recordProtocolFailure(candidate.id, candidate.path, attemptNow());
            if (backoff.changed) {
                logLine(QStringLiteral("HID_PROBE_BACKOFF VID=0x") + formatHexId(candidate.id.vendorId)
                        + QStringLiteral(" PID=0x") + formatHexId(candidate.id.productId)
                        + QStringLiteral(" failures=%1 retry_after_s=%2")
                              .arg(backoff.failures)
                              .arg(backoff.retryAfterSeconds));
            }
        }
        hid_close(handle);
        return false;
    };

    uint64_t attempts = 0;
    std::unordered_set<std::string> tried;
    for (const HidCandidate* candidate : eligible) {
        if (!isSupportedVendor(candidate->id.vendorId) || candidate->path.empty())
            continue;
        if (!tried.insert(candidate->path).second)
            continue;
        ++attempts;
        if (tryOpenCandidate(*candidate))
            break;
    }

    if (!winner) {
        QString reason;
        QString error;
        if (matched == 0) {
            reason = QStringLiteral("no_matching_vendor");
        } else if (attempts == 0) {
            reason = QStringLiteral("no_usable_path");
        } else {
            reason = lastReason;
            error = lastError;
        }
        logConnectFailureOnce(reason, enumerated, matched, deferred, attempts, lastDevice, error,
                              attemptMsSince(start));
        return false;
    }

    {
        std::lock_guard lock(deviceMutex);
        device = winner;
        deviceId = winnerId;
        deviceInfoValid = true;
        lastFailureSignature.clear();
    }
    // Measured now, after the probes, so slow probes show in the figure.
    const int64_t elapsed = attemptMsSince(start);
    connectedFlag.store(true);
    worker = std::thread(&HidBridge::taskLoop, this);
    emit connectedChanged(true);
    logLine(QStringLiteral("HID_CONNECTED VID=0x") + formatHexId(winnerId.vendorId) + QStringLiteral(" PID=0x")
            + formatHexId(winnerId.productId)
            + QStringLiteral(" enumerated=%1 matched=%2 deferred=%3 attempts=%4 elapsed_ms=%5")
                  .arg(enumerated)
                  .arg(matched)
                  .arg(deferred)
                  .arg(attempts)
                  .arg(elapsed));
    if (elapsed > 99)
        logLine(QStringLiteral("HID_CONNECT_SLOW outcome=connected elapsed_ms=%1").arg(elapsed));
    return true;
}

void HidBridge::logConnectFailureOnce(const QString& reason, uint64_t enumerated, uint64_t matched, uint64_t deferred,
                                      uint64_t attempts, std::optional<DeviceId> lastDevice, const QString& error,
                                      int64_t elapsedMs)
{
    const QString lastVid = lastDevice ? formatHexId(lastDevice->vendorId) : QStringLiteral("----");
    const QString lastPid = lastDevice ? formatHexId(lastDevice->productId) : QStringLiteral("----");
    const bool slow = elapsedMs > 99;
    const QString signature = QStringList{reason,
                                          QString::number(enumerated),
                                          QString::number(matched),
                                          QString::number(deferred),
                                          QString::number(attempts),
                                          lastVid,
                                          lastPid,
                                          error,
                                          slow ? QStringLiteral("1") : QStringLiteral("0")}
                                  .join(QLatin1Char('|'));
    {
        std::lock_guard lock(deviceMutex);
        if (signature == lastFailureSignature)
            return;
        lastFailureSignature = signature;
    }
    QStringList vids;
    for (const uint16_t vendorId : kSupportedVendorIds)
        vids << QStringLiteral("0x") + formatHexId(vendorId);
    logLine(QStringLiteral("HID_CONNECT_FAILED reason=") + reason + QStringLiteral(" supported_vids=")
            + vids.join(QLatin1Char(',')) + QStringLiteral(" last_vid=0x") + lastVid + QStringLiteral(" last_pid=0x")
            + lastPid
            + QStringLiteral(" enumerated=%1 matched=%2 deferred=%3 attempts=%4 elapsed_ms=%5 error=")
                  .arg(enumerated)
                  .arg(matched)
                  .arg(deferred)
                  .arg(attempts)
                  .arg(elapsedMs)
            + error);
    if (slow) {
        logLine(QStringLiteral("HID_CONNECT_SLOW outcome=failed reason=") + reason
                + QStringLiteral(" elapsed_ms=%1").arg(elapsedMs));
    }
}

} // namespace tessaravolt::transport
