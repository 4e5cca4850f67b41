#include "transport/hid_service_api.h"

#include "common/logger_manager.h"
#include "common/singleton_slot.h"
#include "protocol/commands.h"
#include "protocol/frame_codec.h"
#include "protocol/payload.h"
#include "transport/hid_bridge.h"
#include "transport/sntp_client.h"

#include <QDateTime>

#include <array>
#include <mutex>

namespace tessaravolt::transport {

namespace {

using common::LoggerManager;
using protocol::Frame;
using protocol::kNoSubCommand;
using protocol::payloadLength;
namespace command = protocol::command;
namespace static_info = protocol::static_info;
namespace settings = protocol::settings;
namespace cell_status = protocol::cell_status;

constexpr std::array<uint8_t, 16> kStaticInfoRequests = {
    static_info::kBrand,
    static_info::kFactory,
    static_info::kBatteryManufacturer,
    static_info::kProductSn,
    static_info::kBatteryType,
    static_info::kProductionDate,
    static_info::kModel,
    static_info::kProductName,
    static_info::kHardwareVersion,
    static_info::kSoftwareVersion,
    static_info::kSupportedProtocols,
    static_info::kOriginManufacturer1,
    static_info::kOriginManufacturer2,
    static_info::kBatteryManufacturerCn1,
    static_info::kBatteryManufacturerCn2,
    static_info::kBatteryModel,
};

common::SingletonSlot<HidServiceApi>& singletonSlot()
{
    static common::SingletonSlot<HidServiceApi> slot;
    return slot;
}

LoggerManager& logger()
{
    return LoggerManager::instance();
}

// Replays are emitted inside the request call; a receiver that asks again from its handler
// would replay again without end. Such a nested call of the same request is ignored.
class ReplayGuard
{
public:
    ReplayGuard(uint32_t& active, uint32_t bit)
        : m_active(active)
        , m_bit(bit)
        , m_entered(!(active & bit))
    {
        m_active |= m_bit;
    }
    ~ReplayGuard()
    {
        if (m_entered)
            m_active &= ~m_bit;
    }
    bool nested() const { return !m_entered; }

private:
    uint32_t& m_active;
    uint32_t m_bit;
    bool m_entered;
};

enum ReplayBit : uint32_t {
    ReplayStaticInfo = 1u << 0,
    ReplayAppTitle = 1u << 1,
    ReplayStaticCellInfo = 1u << 2,
    ReplayPortCount = 1u << 3,
    ReplayRealtime = 1u << 4,
};

bool ignoreNested(const ReplayGuard& guard, const char* tag)
{
    if (!guard.nested())
        return false;
    logger() << tag << ": nested call during cache replay ignored" << std::endl;
    return true;
}

} // namespace

HidServiceApi::HidServiceApi(QObject* parent)
    : QObject(parent)
{
    HidBridge* bridge = HidBridge::instance();
    connect(bridge, &HidBridge::dataReceived, this, &HidServiceApi::handlePacketReceived, Qt::QueuedConnection);
    connect(bridge, &HidBridge::connectedChanged, this, &HidServiceApi::onDeviceConnectionChanged, Qt::AutoConnection);

    pollTimer.setInterval(5000);
    pollTimer.setTimerType(Qt::CoarseTimer);
    connect(&pollTimer, &QTimer::timeout, this, &HidServiceApi::pollStatisticEvents);
    initEventLogs();

    m_timeClient = new SntpClient([this] { return nowMs(); }, this);
    connect(m_timeClient, &SntpClient::timeReceived, this, &HidServiceApi::setDeviceTime);
}

HidServiceApi::~HidServiceApi()
{
    singletonSlot().release(this);
    disconnect(HidBridge::instance(), nullptr, this, nullptr);
    disconnect(m_timeClient, nullptr, this, nullptr);
    pollTimer.stop();
    destroyEventLogs();
}

HidServiceApi* HidServiceApi::instance()
{
    return singletonSlot().get([] { return new HidServiceApi(nullptr); });
}

HidServiceApi* HidServiceApi::create(QQmlEngine*, QJSEngine*)
{
    return instance();
}

qint64 HidServiceApi::nowMs() const
{
    return m_clock ? m_clock() : QDateTime::currentMSecsSinceEpoch();
}

void HidServiceApi::setClock(std::function<qint64()> clock)
{
    m_clock = std::move(clock);
}

void HidServiceApi::setTimeServers(const QList<TimeServer>& servers)
{
    m_timeClient->setServers(servers);
}

QList<HidServiceApi::TimeServer> HidServiceApi::timeServers() const
{
    return m_timeClient->servers();
}

quint16 HidServiceApi::timeSocketPort() const
{
    return m_timeClient->localPort();
}

// ---------------------------------------------------------------------------------------------
// Request path

HidServiceApi::SendResult HidServiceApi::sendRequest(const char* tag, uint8_t command, uint8_t subCommand,
                                                     const uint8_t* payload, size_t length, HidRequestPriority priority,
                                                     const QString& noteOnceBuilt, uint64_t* ticket)
{
    const std::unique_ptr<Frame> frame = protocol::encodeFrame(command, subCommand, payload, length);
    if (frame->size == 0) {
        logger() << tag << ":" << frame->error << std::endl;
        return SendResult::BuildFailed;
    }
    if (!noteOnceBuilt.isEmpty())
        logger() << noteOnceBuilt << std::endl;
    logger().cacheEncode(tag, frame->data, frame->size);
    const uint64_t queued = HidBridge::instance()->sendData(frame->data, frame->size, priority);
    if (ticket)
        *ticket = queued;
    return queued ? SendResult::Queued : SendResult::Refused;
}

HidServiceApi::SendResult HidServiceApi::sendRequest(const QString& tag, uint8_t command, uint8_t subCommand,
                                                     const uint8_t* payload, size_t length, HidRequestPriority priority)
{
    return sendRequest(tag.toUtf8().constData(), command, subCommand, payload, length, priority);
}

// ---------------------------------------------------------------------------------------------
// Receiving

void HidServiceApi::handlePacketReceived(const QByteArray& data)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    logger().cacheEncode("handlePacketReceived", bytes, data.size());
    const std::unique_ptr<Frame> frame = protocol::decodeFrame(bytes, data.size());
    if (frame->size == 0) {
        logger() << "handlePacketReceived: decode frame fail, " << frame->error << std::endl;
        return;
    }
    dispatchFrame(frame->data, int(frame->size));
}

void HidServiceApi::dispatchDecodedFrame(const QByteArray& plaintextFrame)
{
    if (plaintextFrame.size() < 4 || plaintextFrame.size() < 4 + uint8_t(plaintextFrame[3])
        || uint8_t(plaintextFrame[3]) > protocol::kMaxPayloadLength) {
        logger() << "dispatchDecodedFrame: malformed frame, size=" << plaintextFrame.size() << std::endl;
        return;
    }
    // Handlers may read a decoded frame's whole 64-byte buffer, as they do for a device answer.
    QByteArray buffer = plaintextFrame;
    if (buffer.size() < qsizetype(protocol::kInputReportLength))
        buffer.append(QByteArray(protocol::kInputReportLength - buffer.size(), '\0'));
    dispatchFrame(reinterpret_cast<const uint8_t*>(buffer.constData()), int(plaintextFrame.size()));
}

void HidServiceApi::dispatchFrame(const uint8_t* frame, int size)
{
    const uint8_t command = protocol::commandOf(frame);
    const uint8_t sub = protocol::subCommandOf(frame);
    logger() << "handlePacketReceived: command=" << QString::number(command, 16).toUpper() << ", subcmd=" << int(sub)
             << std::endl;
    logger().cacheEncode("handleFrameDecode", frame, size);

    switch (command) {
    case command::kStaticInfo:
    case command::kEvents:
    case command::kDeviceSettings:
    case command::kCellStatus:
    case command::kCellDetail:
    case command::kPortInfo:
    case command::kConfig:
        break;
    default:
        logger() << "handlePacketReceived: ommit cmd" << std::endl;
        return;
    }

    const int need = protocol::minimumPayload(command, sub);
    if (payloadLength(frame) < need) {
        logger() << "handlePacketReceived: short answer dropped, command=" << QString::number(command, 16).toUpper()
                 << ", subcmd=" << int(sub) << ", len=" << payloadLength(frame) << ", need=" << need << std::endl;
        return;
    }

    switch (command) {
    case command::kStaticInfo:
        handleStaticInfo(frame, size);
        break;
    case command::kEvents:
        handleDeviceEvents(frame);
        break;
    case command::kDeviceSettings:
        handleDeviceSettings(frame);
        break;
    case command::kCellStatus:
        handleCellRealtimeStatus(frame, true);
        break;
    case command::kCellDetail:
        handleCellDetailInfo(frame);
        break;
    case command::kPortInfo:
        handleInputOutputInfo(frame);
        break;
    case command::kConfig:
        handleSendConfig(frame);
        break;
    }
}

void HidServiceApi::onDeviceConnectionChanged(bool connected)
{
    if (connected) {
        syncDeviceTime();
        requestStaticCellInfo();
        startStatisticsPoll();
        return;
    }
    stopStatisticsPoll();
    {
        std::unique_lock lock(staticInfoCacheMutex);
        staticInfoCache.clear();
    }
    {
        std::unique_lock lock(realtimeCacheMutex);
        realtimeCache.clear();
    }
    resetEventLogs();
    {
        std::unique_lock lock(cellItemCacheMutex);
        cellItemCache.clear();
    }
    logger() << "handleConnectedChanged:" << connected << ", Clear Cache" << std::endl;
}

// ---------------------------------------------------------------------------------------------
// Static information

bool HidServiceApi::sendStaticInfoStep(uint8_t subCommand, const char* requestTag, const QString& replayTag)
{
    QByteArray cached;
    {
        std::shared_lock lock(staticInfoCacheMutex);
        cached = staticInfoCache.value(subCommand);
    }
    if (!cached.isEmpty()) {
        const auto* frame = reinterpret_cast<const uint8_t*>(cached.constData());
        logger().cacheEncode(replayTag.toUtf8().constData(), frame, cached.size());
        handleStaticInfo(frame, -1);
        return true;
    }
    return sendRequest(requestTag, command::kStaticInfo, subCommand, nullptr, 0, HidRequestPriority::Foreground)
        != SendResult::BuildFailed;
}

void HidServiceApi::requestStaticInfo()
{
    ReplayGuard guard(m_activeReplays, ReplayStaticInfo);
    if (ignoreNested(guard, "requestStaticInfo"))
        return;
    for (const uint8_t sub : kStaticInfoRequests) {
        const QString replayTag = QStringLiteral("requestStaticInfo(Cache[0x%1])").arg(sub, 0, 16);
        if (!sendStaticInfoStep(sub, "requestStaticInfo", replayTag))
            return;
    }
}

void HidServiceApi::requestAppTitle()
{
    ReplayGuard guard(m_activeReplays, ReplayAppTitle);
    if (ignoreNested(guard, "requestAppTitle"))
        return;
    QByteArray first;
    QByteArray second;
    {
        std::shared_lock lock(staticInfoCacheMutex);
        first = staticInfoCache.value(static_info::kAppTitle1);
        second = staticInfoCache.value(static_info::kAppTitle2);
    }
    if (!first.isEmpty() && !second.isEmpty()) {
        logger().cacheEncode("requestAppTitle1(Cache)", reinterpret_cast<const uint8_t*>(first.constData()),
                             first.size());
        handleStaticInfo(reinterpret_cast<const uint8_t*>(first.constData()), -1);
        logger().cacheEncode("requestAppTitle2(Cache)", reinterpret_cast<const uint8_t*>(second.constData()),
                             second.size());
        handleStaticInfo(reinterpret_cast<const uint8_t*>(second.constData()), -1);
        return;
    }
    sendRequest("requestAppTitle1", command::kStaticInfo, static_info::kAppTitle1, nullptr, 0,
                HidRequestPriority::Foreground);
    sendRequest("requestAppTitle2", command::kStaticInfo, static_info::kAppTitle2, nullptr, 0,
                HidRequestPriority::Foreground);
}

void HidServiceApi::requestStaticCellInfo()
{
    ReplayGuard guard(m_activeReplays, ReplayStaticCellInfo);
    if (ignoreNested(guard, "requestStaticCellInfo"))
        return;
    sendStaticInfoStep(static_info::kBatteryInfo, "requestStaticCellInfo",
                       QStringLiteral("requestStaticCellInfo(Cache)"));
}

void HidServiceApi::requestPortCount()
{
    ReplayGuard guard(m_activeReplays, ReplayPortCount);
    if (ignoreNested(guard, "requestPortCount"))
        return;
    sendStaticInfoStep(static_info::kPortCount, "requestPortCount", QStringLiteral("requestPortCount(Cache)"));
}

// ---------------------------------------------------------------------------------------------
// Live data and display settings

void HidServiceApi::requestCellRealtimeStatus()
{
    ReplayGuard guard(m_activeReplays, ReplayRealtime);
    if (ignoreNested(guard, "requestCellRealtimeStatus"))
        return;
    for (const uint8_t sub : {cell_status::kSoc, cell_status::kSoh, cell_status::kCycleCount}) {
        const int64_t now = nowMs();
        QByteArray replay;
        {
            std::unique_lock lock(realtimeCacheMutex);
            auto it = realtimeCache.find(sub);
            if (it != realtimeCache.end()) {
                if (now - it->storedAtMs < it->ttlMs && !it->frame.isEmpty())
                    replay = it->frame;
                else
                    realtimeCache.erase(it);
            }
        }
        if (!replay.isEmpty()) {
            const auto* frame = reinterpret_cast<const uint8_t*>(replay.constData());
            logger().cacheEncode("requestCellRealtimeStatus(Cache)", frame, replay.size());
            handleCellRealtimeStatus(frame, false);
            continue;
        }
        if (sendRequest("requestCellRealtimeStatus", command::kCellStatus, sub, nullptr, 0,
                        HidRequestPriority::Foreground)
            == SendResult::BuildFailed)
            return;
    }
}

void HidServiceApi::requestCellCurrentEvent()
{
    sendRequest("requestCellCurrentEvent", command::kCellStatus, cell_status::kCurrentEvent, nullptr, 0,
                HidRequestPriority::Foreground);
}

void HidServiceApi::requestCellDetailInfo()
{
    sendRequest("requestCellDetailInfo", command::kCellDetail, kNoSubCommand, nullptr, 0,
                HidRequestPriority::Foreground);
}

void HidServiceApi::requestInputOutputInfo(uint8_t position, uint8_t amount)
{
    const uint8_t payload[2] = {position, amount};
    sendRequest("requestInputOutputInfo", command::kPortInfo, kNoSubCommand, payload, sizeof payload,
                HidRequestPriority::Foreground);
}

void HidServiceApi::requestDeviceSettings()
{
    for (const uint8_t sub : {settings::kClock, settings::kBrightness, settings::kScreenTimeout}) {
        if (sendRequest("requestDeviceSettings", command::kDeviceSettings, sub, nullptr, 0,
                        HidRequestPriority::Foreground)
            == SendResult::BuildFailed)
            return;
    }
}

void HidServiceApi::setBrighteness(uint8_t brightness)
{
    sendRequest("setBrighteness", command::kConfig, settings::kBrightness, &brightness, 1,
                HidRequestPriority::Foreground, QStringLiteral("setBrighteness=%1").arg(uint(brightness)));
}

void HidServiceApi::setScreenTimeout(uint16_t timeout)
{
    const uint8_t payload[2] = {uint8_t(timeout & 0xFF), uint8_t(timeout >> 8)};
    sendRequest("setScreenTimeout", command::kConfig, settings::kScreenTimeout, payload, sizeof payload,
                HidRequestPriority::Foreground, QStringLiteral("setScreenTimeout=%1").arg(timeout));
}

// ---------------------------------------------------------------------------------------------
// Device clock

void HidServiceApi::syncDeviceTime()
{
    m_timeClient->query();
}

void HidServiceApi::setDeviceTime(uint64_t secs)
{
    logger() << "setDeviceTime:" << secs << "S" << std::endl;
    uint8_t payload[8];
    for (int i = 0; i < 8; ++i)
        payload[i] = uint8_t(secs >> (8 * i));
    sendRequest("setDeviceTime", command::kConfig, settings::kClock, payload, sizeof payload,
                HidRequestPriority::Foreground);
}

} // namespace tessaravolt::transport
