#pragma once

#include "transport/device_id.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessaravolt::transport {

struct ProbeCacheKey
{
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string path;
    friend bool operator==(const ProbeCacheKey&, const ProbeCacheKey&) = default;
};

struct ProbeCacheKeyHash
{
    size_t operator()(const ProbeCacheKey& key) const noexcept;
};

struct ProbeBackoffResult
{
    uint32_t failures = 0;
    bool changed = false;
    uint64_t retryAfterSeconds = 0;
};

// Per-device memory of failed probes, so a present but silent device is not probed on every
// attempt: 2, 5, 10, then 30 s between probes.
class ProbeBackoffCache
{
public:
    using Clock = std::chrono::steady_clock;

    struct Entry
    {
        uint32_t failures = 0;
        Clock::time_point retryAt{};
        Clock::time_point lastFailureAt{};
    };

    static constexpr size_t kMaxEntries = 64;
    static constexpr uint32_t kMaxFailures = 4;
    static std::chrono::seconds retryDelay(uint32_t failures);

    ProbeBackoffResult recordProtocolFailure(const DeviceId& id, const std::string& path, Clock::time_point now);
    const Entry* find(const ProbeCacheKey& key) const;
    void erase(const ProbeCacheKey& key);
    // Forgets every device that is not present any more.
    void retainOnly(const std::vector<ProbeCacheKey>& present);
    void clear();
    size_t size() const;
    bool empty() const;

private:
    std::unordered_map<ProbeCacheKey, Entry, ProbeCacheKeyHash> m_entries;
};

} // namespace tessaravolt::transport
