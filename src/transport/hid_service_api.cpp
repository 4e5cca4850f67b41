#include "transport/hid_service_api.h"

#include "common/device_text.h"
#include "common/i18n.h"
#include "common/logger_manager.h"
#include "common/singleton_slot.h"
#include "protocol/commands.h"
#include "protocol/frame_codec.h"
#include "protocol/payload.h"
#include "transport/hid_bridge.h"
#include "transport/sntp_client.h"

#include <QDateTime>
#include <QSet>

#include <array>
#include <mutex>

namespace tessaravolt::transport {

namespace {

using common::LoggerManager;
using protocol::Frame;
using protocol::kNoSubCommand;
using protocol::payloadLength;
using protocol::payloadOf;
using protocol::readLe16;
using protocol::readLe32;
using protocol::readLe64;
namespace command = protocol::command;
namespace static_info = protocol::static_info;
namespace settings = protocol::settings;
namespace cell_status = protocol::cell_status;

const QSet<uint8_t> STATIC_INFO_STR = {
    static_info::kBrand,          static_info::kFactory,     static_info::kBatteryManufacturer,
    static_info::kProductSn,      static_info::kBatteryType, static_info::kProductionDate,
    static_info::kModel,          static_info::kProductName, static_info::kHardwareVersion,
    static_info::kSoftwareVersion, static_info::kBatteryModel,
};

constexpr std::array<uint8_t, 16> kStaticInfoRequests = {
    static_info::kBrand,           static_info::kFactory,         static_info::kBatteryManufacturer,
    static_info::kProductSn,       static_info::kBatteryType,     static_info::kProductionDate,
    static_info::kModel,           static_info::kProductName,     static_info::kHardwareVersion,
    static_info::kSoftwareVersion, static_info::kSupportedProtocols, static_info::kOriginManufacturer1,
    static_info::kOriginManufacturer2, static_info::kBatteryManufacturerCn1,
    static_info::kBatteryManufacturerCn2, static_info::kBatteryModel,
};

constexpr int64_t kSocTtlMs = 5000;
constexpr int64_t kSohTtlMs = 60000;

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
    ReplayGuard(uint32_t& active, uint32_t bit) : m_active(active), m_bit(bit), m_entered(!(active & bit))
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
    connect(bridge, &HidBridge::connectedChanged, this, &HidServiceApi::onDeviceConnectionChanged,
            Qt::AutoConnection);

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
                                                     const uint8_t* payload, size_t length,
                                                     HidRequestPriority priority, const QString& noteOnceBuilt)
{
    const std::unique_ptr<Frame> frame = protocol::encodeFrame(command, subCommand, payload, length);
    if (frame->size == 0) {
        logger() << tag << ":" << frame->error << std::endl;
        return SendResult::BuildFailed;
    }
    if (!noteOnceBuilt.isEmpty())
        logger() << noteOnceBuilt << std::endl;
    logger().cacheEncode(tag, frame->data, frame->size);
    return HidBridge::instance()->sendData(frame->data, frame->size, priority) ? SendResult::Queued
                                                                              : SendResult::Refused;
}

HidServiceApi::SendResult HidServiceApi::sendRequest(const QString& tag, uint8_t command, uint8_t subCommand,
                                                     const uint8_t* payload, size_t length,
                                                     HidRequestPriority priority)
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
    logger() << "handlePacketReceived: command=" << QString::number(command, 16).toUpper()
             << ", subcmd=" << int(sub) << std::endl;
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
    case command::kStaticInfo: handleStaticInfo(frame, size); break;
    case command::kEvents: handleDeviceEvents(frame); break;
    case command::kDeviceSettings: handleDeviceSettings(frame); break;
    case command::kCellStatus: handleCellRealtimeStatus(frame, true); break;
    case command::kCellDetail: handleCellDetailInfo(frame); break;
    case command::kPortInfo: handleInputOutputInfo(frame); break;
    case command::kConfig: handleSendConfig(frame); break;
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
// Static information and the per-cell items

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

void HidServiceApi::handleStaticInfo(const uint8_t* frame, int len)
{
    const uint8_t sub = protocol::subCommandOf(frame);
    const uint8_t* payload = payloadOf(frame);
    const int16_t payloadLen = int16_t(payloadLength(frame));

    if (STATIC_INFO_STR.contains(sub)) {
        // The log keeps the text as it came; the window and the report get it cleaned.
        const QString text = protocol::extractPureStr(frame, 0);
        const QString shown = common::cleanDeviceText(text);
        switch (sub) {
        case static_info::kBrand:
            logger() << "handleStaticInfo: brand " << text << std::endl;
            emit brand(shown);
            break;
        case static_info::kFactory:
            logger() << "handleStaticInfo: factory " << text << std::endl;
            emit factory(shown);
            break;
        case static_info::kBatteryManufacturer:
            logger() << "handleStaticInfo: mannufacturer " << text << std::endl;
            emit batteryManufacturer(shown);
            break;
        case static_info::kProductSn:
            logger() << "handleStaticInfo: product sn " << text << std::endl;
            emit productSn(shown);
            break;
        case static_info::kBatteryType:
            logger() << "handleStaticInfo: battery type " << text << std::endl;
            emit batteryType(shown);
            break;
        case static_info::kProductionDate:
            logger() << "handleStaticInfo: production date " << text << std::endl;
            emit productionDate(shown);
            break;
        case static_info::kModel:
            logger() << "handleStaticInfo: model " << text << std::endl;
            emit model(shown);
            break;
        case static_info::kProductName:
            logger() << "handleStaticInfo: product name " << text << std::endl;
            emit productName(shown);
            break;
        case static_info::kHardwareVersion:
            logger() << "handleStaticInfo: hardware version " << text << std::endl;
            emit hardwareVersion(shown);
            break;
        case static_info::kSoftwareVersion:
            logger() << "handleStaticInfo: software version " << text << std::endl;
            emit softwareVersion(shown);
            break;
        case static_info::kBatteryModel:
            logger() << "handleStaticInfo: battery model " << text << std::endl;
            emit batteryModel(shown);
            break;
        }
    } else if (sub == static_info::kBatteryInfo) {
        const uint16_t cellCount = payload[0];
        const uint32_t capacity = readLe32(payload + 1);
        const uint32_t voltage = readLe32(payload + 5);
        const uint16_t power = readLe16(payload + 9);
        const uint16_t cycleRated = readLe16(payload + 11);
        const uint16_t fullVoltage = readLe16(payload + 13);
        logger() << "handleStaticInfo: battery info " << "cell_count(" << cellCount << "), " << "capacity("
                 << capacity << "), " << "voltage(" << voltage << "), " << "power(" << power << "), "
                 << "cycle_rated(" << cycleRated << "), " << "full_voltage(" << fullVoltage << ")" << std::endl;
        emit batteryInfo(cellCount, capacity, voltage, power, cycleRated, fullVoltage);
        handleCellItemStep(cellCount);
    } else if (sub == static_info::kPortCount) {
        const uint16_t count = payload[0];
        logger() << "handleStaticInfo: port count " << count << std::endl;
        emit portCount(count);
    } else if (sub == static_info::kCellSn) {
        const uint8_t index = payload[0];
        const QString text = protocol::extractPureStr(frame, 1);
        {
            std::unique_lock lock(cellItemCacheMutex);
            cellItemCache[index].sn = text;
        }
        logger() << "handleStaticInfo: battery sn " << text << std::endl;
        emitCellItemIfComplete(index);
    } else if (sub == static_info::kSupportedProtocols) {
        const uint32_t bits = readLe32(payload);
        logger() << "handleStaticInfo: supported protocol " << bits << std::endl;
        emit supportProtocol(bits);
    } else if (sub == static_info::kOriginManufacturer1) {
        logger() << "handleStaticInfo: origin mannufacturer1 LEN=" << payloadLen << std::endl;
    } else if (sub == static_info::kAppTitle1) {
        logger() << "handleStaticInfo: apptitle1 LEN=" << payloadLen << std::endl;
    } else if (sub == static_info::kBatteryManufacturerCn1) {
        logger() << "handleStaticInfo: mannufacturer cn1 LEN=" << payloadLen << std::endl;
    } else if (sub == static_info::kOriginManufacturer2 || sub == static_info::kAppTitle2
               || sub == static_info::kBatteryManufacturerCn2) {
        uint8_t firstSub = 0;
        const char* lenPrefix = nullptr;
        const char* textPrefix = nullptr;
        if (sub == static_info::kOriginManufacturer2) {
            firstSub = static_info::kOriginManufacturer1;
            lenPrefix = "handleStaticInfo: origin mannufacturer2 LEN=";
            textPrefix = "handleStaticInfo: origin mannufacturer ";
        } else if (sub == static_info::kAppTitle2) {
            firstSub = static_info::kAppTitle1;
            lenPrefix = "handleStaticInfo: apptitle2 LEN=";
            textPrefix = "handleStaticInfo: apptitle ";
        } else {
            firstSub = static_info::kBatteryManufacturerCn1;
            lenPrefix = "handleStaticInfo: mannufacturer cn2 LEN=";
            textPrefix = "handleStaticInfo: mannufacturer cn ";
        }
        logger() << lenPrefix << payloadLen << std::endl;
        QByteArray first;
        {
            std::shared_lock lock(staticInfoCacheMutex);
            first = staticInfoCache.value(firstSub);
        }
        if (!first.isEmpty()) {
            const QString text = protocol::twoPartText(reinterpret_cast<const uint8_t*>(first.constData()), frame);
            logger() << textPrefix << text << std::endl;
            const QString shown = common::cleanDeviceText(text);
            if (sub == static_info::kOriginManufacturer2)
                emit originManufacturer(shown);
            else if (sub == static_info::kAppTitle2)
                emit appTitle(shown);
            else
                emit batteryManufacturerCn(shown);
        }
    } else {
        logger() << "handleStaticInfo: Not matched resolved for subcmd " << int(sub) << std::endl;
        return;
    }

    if (len < 1)
        return;
    logger() << "handleStaticInfo: cached: len=" << len << std::endl;
    std::unique_lock lock(staticInfoCacheMutex);
    staticInfoCache.insert(sub, QByteArray(reinterpret_cast<const char*>(frame), len));
}

void HidServiceApi::handleCellItemStep(uint16_t cellCount)
{
    QMap<uint8_t, CellItemInfo> cached;
    {
        std::shared_lock lock(cellItemCacheMutex);
        if (cellItemCache.isEmpty()) {
            for (uint16_t i = 0; i < cellCount; ++i) {
                const uint8_t index = uint8_t(i);
                if (sendRequest("requestCellItemSn", command::kStaticInfo, static_info::kCellSn, &index, 1,
                                HidRequestPriority::Foreground)
                    == SendResult::BuildFailed)
                    return;
                if (sendRequest("requestCellItemAts", command::kCellStatus, cell_status::kActivation, &index, 1,
                                HidRequestPriority::Foreground)
                    == SendResult::BuildFailed)
                    return;
            }
            return;
        }
        cached = cellItemCache;
    }
    for (auto it = cached.cbegin(); it != cached.cend(); ++it) {
        if (it->sn.isEmpty() || it->activateTs.isEmpty())
            continue;
        const int16_t index = int16_t(it.key());
        logger() << "requestCellItemInfo(Cache): index=" << index << ", sn=" << it->sn << ", activateTs"
                 << it->activateTs << std::endl;
        emit cellItemInfo(index, common::cleanDeviceText(it->sn), common::cleanDeviceText(it->activateTs));
    }
}

void HidServiceApi::emitCellItemIfComplete(uint8_t index)
{
    CellItemInfo item;
    {
        std::shared_lock lock(cellItemCacheMutex);
        item = cellItemCache.value(index);
    }
    if (item.sn.isEmpty() || item.activateTs.isEmpty())
        return;
    logger() << "handleCellItemInfo: index=" << int16_t(index) << ", sn=" << item.sn << ", activateTs"
             << item.activateTs << std::endl;
    emit cellItemInfo(int16_t(index), common::cleanDeviceText(item.sn), common::cleanDeviceText(item.activateTs));
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
                HidRequestPriority::Foreground,
                QStringLiteral("setBrighteness=%1").arg(uint(brightness)));
}

void HidServiceApi::setScreenTimeout(uint16_t timeout)
{
    const uint8_t payload[2] = {uint8_t(timeout & 0xFF), uint8_t(timeout >> 8)};
    sendRequest("setScreenTimeout", command::kConfig, settings::kScreenTimeout, payload, sizeof payload,
                HidRequestPriority::Foreground,
                QStringLiteral("setScreenTimeout=%1").arg(timeout));
}

void HidServiceApi::handleCellRealtimeStatus(const uint8_t* frame, bool fromDevice)
{
    const uint8_t sub = protocol::subCommandOf(frame);
    const uint8_t* payload = payloadOf(frame);

    // A device answer is cached before its signal goes out, so a receiver that asks again from
    // its handler is answered with this value, not an older one.
    auto store = [&](int64_t ttlMs) {
        if (!fromDevice)
            return;
        CacheCellRealtimeInfo entry;
        entry.frame = QByteArray(reinterpret_cast<const char*>(frame), payloadLength(frame) + 4);
        entry.ttlMs = ttlMs;
        entry.storedAtMs = nowMs();
        std::unique_lock lock(realtimeCacheMutex);
        realtimeCache.insert(sub, entry);
    };

    switch (sub) {
    case cell_status::kSoc:
    case cell_status::kSoh: {
        uint16_t value = payload[0];
        const bool isSoc = sub == cell_status::kSoc;
        if (value <= 100) {
            logger() << (isSoc ? "handleCellRealtimeStatus: soc " : "handleCellRealtimeStatus: soh ") << value
                     << std::endl;
        } else {
            logger() << (isSoc ? "handleCellRealtimeStatus: illegal soc " : "handleCellRealtimeStatus: illegal soh ")
                     << value << std::endl;
            value = 100;
        }
        store(isSoc ? kSocTtlMs : kSohTtlMs);
        if (isSoc)
            emit soc(value);
        else
            emit soh(value);
        return;
    }
    case cell_status::kCycleCount: {
        const uint16_t value = readLe16(payload);
        logger() << "handleCellRealtimeStatus: cycle count " << value << std::endl;
        store(kSohTtlMs);
        emit cycleCount(value);
        return;
    }
    case cell_status::kCurrentEvent: {
        const uint16_t seq = readLe16(payload);
        const uint64_t ts = readLe64(payload + 2);
        const uint8_t flags = payload[10];
        const uint8_t info = payload[12];
        const uint16_t code = readLe16(payload + 14);
        const uint8_t type = (flags >> 4) & 0x03;
        const QLocale locale = common::I18n::instance()->language();
        logger() << "handleCellRealtimeStatus: current event " << "seq(" << seq << "), " << "ts(" << ts << "), "
                 << "type(" << (type != 0 ? "ABNORMAL" : "ACTIVITY") << "), " << "state("
                 << common::I18n::resolveEventStatus(flags & 0x0F, locale) << "), " << "info("
                 << common::I18n::resolveActivityEvent(info, locale) << "), " << "code(" << code << ")" << std::endl;
        emit currentEvent(type, info);
        return;
    }
    case cell_status::kActivation: {
        const uint8_t index = payload[0];
        const QString text = protocol::extractPureStr(frame, 1);
        {
            std::unique_lock lock(cellItemCacheMutex);
            cellItemCache[index].activateTs = text;
        }
        logger() << "handleCellRealtimeStatus: activate " << text << ", bytes=" << payloadLength(frame) << std::endl;
        emitCellItemIfComplete(index);
        return;
    }
    default:
        logger() << "handleCellRealtimeStatus: Not matched resolved for subcmd " << int(sub) << std::endl;
        return;
    }
}

void HidServiceApi::handleCellDetailInfo(const uint8_t* frame)
{
    const int count = payloadLength(frame) / protocol::kCellDetailRecordLength;
    if (count == 0) {
        logger() << "handleCellDetailInfo: no cell detail info" << std::endl;
        return;
    }
    logger() << "handleCellDetailInfo: count=" << count << std::endl;
    for (int i = 0; i < count; ++i) {
        const uint8_t* record = payloadOf(frame) + protocol::kCellDetailRecordLength * i;
        const uint16_t index = record[0];
        const uint16_t voltage = readLe16(record + 1);
        const uint16_t current = readLe16(record + 3);
        const int16_t temp = int16_t(readLe16(record + 5));
        logger() << "handleCellDetailInfo: " << "index(" << index << "), " << "voltage(" << voltage << "), "
                 << "currentMa(" << current << "), " << "tempC(" << temp << ")" << std::endl;
        emit cellDetailInfo(index, voltage, current, temp);
    }
}

void HidServiceApi::handleInputOutputInfo(const uint8_t* frame)
{
    if (payloadLength(frame) < protocol::kPortRecordLength) {
        logger() << "handleInputOutputInfo: no input out info" << std::endl;
        return;
    }
    const int count = payloadLength(frame) / protocol::kPortRecordLength;
    logger() << "handleInputOutputInfo: count" << count << std::endl;
    for (int i = 0; i < count; ++i) {
        const uint8_t* record = payloadOf(frame) + protocol::kPortRecordLength * i;
        const uint16_t index = record[0];
        const uint8_t status = record[1] >> 4;
        const uint8_t type = record[1] & 0x0F;
        const uint16_t voltage = readLe16(record + 2);
        const uint16_t current = readLe16(record + 4);
        const int16_t temp = int16_t(readLe16(record + 6));
        const uint8_t protocol = record[8];
        const uint16_t power = readLe16(record + 9);
        logger() << "handleInputOutputInfo: " << "index(" << index << "), " << "status(" << int(status) << "), "
                 << "type(" << int(type) << "), " << "voltage(" << voltage << "), " << "currentMa(" << current
                 << "), " << "tempC(" << temp << "), " << "protocol(" << int(protocol) << "), " << "power(" << power
                 << ")" << std::endl;
        emit portInfo(index, status, type, voltage, current, temp, protocol, power);
    }
}

void HidServiceApi::handleDeviceSettings(const uint8_t* frame)
{
    const uint8_t sub = protocol::subCommandOf(frame);
    const uint8_t* payload = payloadOf(frame);
    switch (sub) {
    case settings::kBrightness: {
        const uint16_t value = payload[0];
        logger() << "handleDeviceSettings: brightness " << "(" << value << ")" << std::endl;
        emit brightness(value);
        break;
    }
    case settings::kScreenTimeout: {
        const uint16_t value = readLe16(payload);
        logger() << "handleDeviceSettings: screen timeout " << "(" << value << ")" << std::endl;
        emit screenTimeout(value);
        break;
    }
    case settings::kClock: {
        const uint64_t value = readLe64(payload);
        logger() << "handleDeviceSettings: current time " << "(" << value << ")" << std::endl;
        emit currentTime(value);
        break;
    }
    default:
        logger() << "handleDeviceSettings: Not matched resolved for subcmd " << int(sub) << std::endl;
        break;
    }
}

void HidServiceApi::handleSendConfig(const uint8_t* frame)
{
    const uint8_t sub = protocol::subCommandOf(frame);
    const uint8_t result = payloadOf(frame)[0];
    logger() << "handleSendConfig: subcommand=" << int(sub) << std::endl;
    const bool support = result != 2;
    const bool success = result == 0;
    switch (sub) {
    case settings::kBrightness:
        logger() << "handleSendConfig: brightness " << "support(" << support << "), " << "ok(" << success << ")"
                 << std::endl;
        emit brightnessResult(support, success);
        break;
    case settings::kScreenTimeout:
        logger() << "handleSendConfig: screen timeout " << "support(" << support << "), " << "ok(" << success << ")"
                 << std::endl;
        emit screenTimeoutResult(support, success);
        break;
    case settings::kClock:
        logger() << "handleSendConfig: current time " << "support(" << support << ")" << "ok(" << success << ")"
                 << std::endl;
        emit currentTimeResult(support, success);
        break;
    default:
        break;
    }
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
