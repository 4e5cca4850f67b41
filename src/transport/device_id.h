#pragma once

#include <cstdint>

namespace tessaravolt::transport {

struct DeviceId
{
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    friend bool operator==(const DeviceId&, const DeviceId&) = default;
};

} // namespace tessaravolt::transport
