#include "protocol/payload.h"

#include "protocol/commands.h"

#include <QByteArray>

namespace tessaravolt::protocol {

int minimumPayload(uint8_t command, uint8_t subCommand)
{
    switch (command) {
    case command::kStaticInfo:
        switch (subCommand) {
        case static_info::kBatteryInfo:
            return 15;
        case static_info::kPortCount:
            return 1;
        case static_info::kCellSn:
            return 1;
        case static_info::kSupportedProtocols:
            return 4;
        default:
            return 0;
        }
    case command::kEvents:
        return subCommand == events::kStatistics ? kEventStatisticsLength : 0;
    case command::kDeviceSettings:
        switch (subCommand) {
        case settings::kClock:
            return 8;
        case settings::kBrightness:
            return 1;
        case settings::kScreenTimeout:
            return 2;
        default:
            return 0;
        }
    case command::kCellStatus:
        switch (subCommand) {
        case cell_status::kSoc:
            return 1;
        case cell_status::kSoh:
            return 1;
        case cell_status::kCycleCount:
            return 2;
        case cell_status::kCurrentEvent:
            return kEventRecordLength;
        case cell_status::kActivation:
            return 1;
        default:
            return 0;
        }
    case command::kConfig:
        return 1;
    default:
        return 0;
    }
}

QString decodeUpToNul(const char* bytes, qsizetype size)
{
    qsizetype end = 0;
    while (end < size && bytes[end] != '\0')
        ++end;
    return QString::fromUtf8(bytes, end);
}

QString extractPureStr(const uint8_t* frame, int offset)
{
    const int length = payloadLength(frame) - offset;
    if (offset < 0 || length <= 0)
        return QString();
    return decodeUpToNul(reinterpret_cast<const char*>(payloadOf(frame) + offset), length);
}

QString twoPartText(const uint8_t* firstFrame, const uint8_t* secondFrame)
{
    QByteArray joined(reinterpret_cast<const char*>(payloadOf(firstFrame)), payloadLength(firstFrame));
    joined.append(reinterpret_cast<const char*>(payloadOf(secondFrame)), payloadLength(secondFrame));
    return decodeUpToNul(joined.constData(), joined.size());
}

} // namespace tessaravolt::protocol
