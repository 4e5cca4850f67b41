#include "protocol/checksum_util.h"

namespace tessaravolt::common {

uint16_t crc16(const uint8_t* data, size_t length)
{
    uint16_t crc = 0xFFFF;
    if (!data)
        return crc;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001u) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

} // namespace tessaravolt::common
