#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaravolt::common {

// CRC-16/MODBUS (reflected 0xA001, initial 0xFFFF, no final XOR); 0xFFFF for no bytes.
// Frames store it little-endian.
uint16_t crc16(const uint8_t* data, size_t length);

} // namespace tessaravolt::common
