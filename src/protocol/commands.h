#pragma once

#include <cstdint>

// The commands of the power bank's frames and their sub-commands. A query and its answer carry
// the same pair.
namespace tessaravolt::protocol {

namespace command {
inline constexpr uint8_t kStaticInfo = 0x10;
inline constexpr uint8_t kEvents = 0x11;
inline constexpr uint8_t kDeviceSettings = 0x12;
inline constexpr uint8_t kCellStatus = 0x20;
inline constexpr uint8_t kCellDetail = 0x30;
inline constexpr uint8_t kPortInfo = 0x31;
inline constexpr uint8_t kConfig = 0xA1;
} // namespace command

// Sub-commands of command::kStaticInfo. The long texts come in two halves (first, second).
namespace static_info {
inline constexpr uint8_t kBrand = 0x01;
inline constexpr uint8_t kFactory = 0x02;
inline constexpr uint8_t kBatteryManufacturer = 0x03;
inline constexpr uint8_t kProductSn = 0x04;
inline constexpr uint8_t kBatteryType = 0x05;
inline constexpr uint8_t kBatteryInfo = 0x06;
inline constexpr uint8_t kPortCount = 0x07;
inline constexpr uint8_t kProductionDate = 0x08;
inline constexpr uint8_t kModel = 0x09;
inline constexpr uint8_t kCellSn = 0x0A;
inline constexpr uint8_t kProductName = 0x0B;
inline constexpr uint8_t kHardwareVersion = 0x0C;
inline constexpr uint8_t kSoftwareVersion = 0x0D;
inline constexpr uint8_t kSupportedProtocols = 0x0E;
inline constexpr uint8_t kOriginManufacturer1 = 0x0F;
inline constexpr uint8_t kBatteryModel = 0x10;
inline constexpr uint8_t kAppTitle1 = 0x11;
inline constexpr uint8_t kBatteryManufacturerCn1 = 0x12;
inline constexpr uint8_t kAppTitle2 = 0x21;
inline constexpr uint8_t kBatteryManufacturerCn2 = 0x22;
inline constexpr uint8_t kOriginManufacturer2 = 0x2F;
} // namespace static_info

// Sub-commands of command::kEvents, and the two logs' type numbers in their requests.
namespace events {
inline constexpr uint8_t kStatistics = 0x01;
inline constexpr uint8_t kRecords = 0x02;
inline constexpr uint8_t kActivityLog = 0;
inline constexpr uint8_t kAbnormalLog = 1;
} // namespace events

// Sub-commands of command::kDeviceSettings (reading) and command::kConfig (setting).
namespace settings {
inline constexpr uint8_t kClock = 0x01;
inline constexpr uint8_t kBrightness = 0x02;
inline constexpr uint8_t kScreenTimeout = 0x03;
} // namespace settings

// Sub-commands of command::kCellStatus.
namespace cell_status {
inline constexpr uint8_t kSoc = 0x01;
inline constexpr uint8_t kSoh = 0x02;
inline constexpr uint8_t kCycleCount = 0x03;
inline constexpr uint8_t kCurrentEvent = 0x04;
inline constexpr uint8_t kActivation = 0x05;
} // namespace cell_status

// The one sub-command of command::kCellDetail and command::kPortInfo.
inline constexpr uint8_t kNoSubCommand = 0x00;

} // namespace tessaravolt::protocol
