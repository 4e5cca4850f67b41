// The answers of the power bank: each is read, logged, cached where it may be replayed, and
// emitted as the service's signals.
#include "transport/hid_service_api.h"

#include "common/device_text.h"
#include "common/i18n.h"
#include "common/logger_manager.h"
#include "protocol/commands.h"
#include "protocol/payload.h"
#include "transport/hid_bridge.h"

#include <QSet>

#include <mutex>

namespace tessaravolt::transport {

namespace {

using common::LoggerManager;
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
    static_info::kBrand,           static_info::kFactory,      static_info::kBatteryManufacturer,
    static_info::kProductSn,       static_info::kBatteryType,  static_info::kProductionDate,
    static_info::kModel,           static_info::kProductName,  static_info::kHardwareVersion,
    static_info::kSoftwareVersion, static_info::kBatteryModel,
};

constexpr int64_t kSocTtlMs = 5000;
constexpr int64_t kSohTtlMs = 60000;

LoggerManager& logger()
{
    return LoggerManager::instance();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Static information (command::kStaticInfo) and the per-cell items

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
        logger() << "handleStaticInfo: battery info "
                 << "cell_count(" << cellCount << "), "
                 << "capacity(" << capacity << "), "
                 << "voltage(" << voltage << "), "
                 << "power(" << power << "), "
                 << "cycle_rated(" << cycleRated << "), "
                 << "full_voltage(" << fullVoltage << ")" << std::endl;
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
            CellItemInfo& item = cellItemCache[index];
            item.sn = text;
            item.haveSn = true;
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
        if (!it->complete())
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
    if (!item.complete())
        return;
    logger() << "handleCellItemInfo: index=" << int16_t(index) << ", sn=" << item.sn << ", activateTs"
             << item.activateTs << std::endl;
    emit cellItemInfo(int16_t(index), common::cleanDeviceText(item.sn), common::cleanDeviceText(item.activateTs));
}

// ---------------------------------------------------------------------------------------------
// Live data, device settings and the results of settings

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
        logger() << "handleCellRealtimeStatus: current event "
                 << "seq(" << seq << "), "
                 << "ts(" << ts << "), "
                 << "type(" << (type != 0 ? "ABNORMAL" : "ACTIVITY") << "), "
                 << "state(" << common::I18n::resolveEventStatus(flags & 0x0F, locale) << "), "
                 << "info(" << common::I18n::resolveActivityEvent(info, locale) << "), "
                 << "code(" << code << ")" << std::endl;
        emit currentEvent(type, info);
        return;
    }
    case cell_status::kActivation: {
        const uint8_t index = payload[0];
        const QString text = protocol::extractPureStr(frame, 1);
        {
            std::unique_lock lock(cellItemCacheMutex);
            CellItemInfo& item = cellItemCache[index];
            item.activateTs = text;
            item.haveActivateTs = true;
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
        logger() << "handleCellDetailInfo: "
                 << "index(" << index << "), "
                 << "voltage(" << voltage << "), "
                 << "currentMa(" << current << "), "
                 << "tempC(" << temp << ")" << std::endl;
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
        logger() << "handleInputOutputInfo: "
                 << "index(" << index << "), "
                 << "status(" << int(status) << "), "
                 << "type(" << int(type) << "), "
                 << "voltage(" << voltage << "), "
                 << "currentMa(" << current << "), "
                 << "tempC(" << temp << "), "
                 << "protocol(" << int(protocol) << "), "
                 << "power(" << power << ")" << std::endl;
        // The power page shows C, A, wireless and AC ports only; any other status still shows.
        if (type < 1 || type > 4) {
            logger() << "handleInputOutputInfo: dropped the record of port " << index << ": unknown type " << int(type)
                     << std::endl;
            continue;
        }
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
        logger() << "handleDeviceSettings: brightness "
                 << "(" << value << ")" << std::endl;
        emit brightness(value);
        break;
    }
    case settings::kScreenTimeout: {
        const uint16_t value = readLe16(payload);
        logger() << "handleDeviceSettings: screen timeout "
                 << "(" << value << ")" << std::endl;
        emit screenTimeout(value);
        break;
    }
    case settings::kClock: {
        const uint64_t value = readLe64(payload);
        logger() << "handleDeviceSettings: current time "
                 << "(" << value << ")" << std::endl;
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
        logger() << "handleSendConfig: brightness "
                 << "support(" << support << "), "
                 << "ok(" << success << ")" << std::endl;
        emit brightnessResult(support, success);
        break;
    case settings::kScreenTimeout:
        logger() << "handleSendConfig: screen timeout "
                 << "support(" << support << "), "
                 << "ok(" << success << ")" << std::endl;
        emit screenTimeoutResult(support, success);
        break;
    case settings::kClock:
        logger() << "handleSendConfig: current time "
                 << "support(" << support << ")"
                 << "ok(" << success << ")" << std::endl;
        emit currentTimeResult(support, success);
        break;
    default:
        break;
    }
}

} // namespace tessaravolt::transport
