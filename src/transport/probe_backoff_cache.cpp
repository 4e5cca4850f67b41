#include "transport/probe_backoff_cache.h"

#include <algorithm>
#include <functional>

namespace tessaravolt::transport {

size_t ProbeCacheKeyHash::operator()(const ProbeCacheKey& key) const noexcept
{
    const uint64_t h = (static_cast<uint64_t>(key.vendorId) << 16) ^ key.productId;
    const uint64_t s = std::hash<std::string>{}(key.path);
    return static_cast<size_t>(h ^ (s + 0x9E3779B9ULL + (h << 6) + (h >> 2)));
}

std::chrono::seconds ProbeBackoffCache::retryDelay(uint32_t failures)
{
    switch (failures) {
    case 0:
        return std::chrono::seconds(0);
    case 1:
        return std::chrono::seconds(2);
    case 2:
        return std::chrono::seconds(5);
    case 3:
        return std::chrono::seconds(10);
    default:
        return std::chrono::seconds(30);
    }
}

ProbeBackoffResult ProbeBackoffCache::recordProtocolFailure(const DeviceId& id, const std::string& path,
                                                            Clock::time_point now)
{
    if (path.empty())
        return {};
    const ProbeCacheKey key{id.vendorId, id.productId, path};
    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        if (m_entries.size() >= kMaxEntries) {
            auto oldest = m_entries.begin();
            for (auto candidate = m_entries.begin(); candidate != m_entries.end(); ++candidate) {
                if (candidate->second.lastFailureAt < oldest->second.lastFailureAt)
                    oldest = candidate;
            }
            m_entries.erase(oldest);
        }
        it = m_entries.emplace(key, Entry{}).first;
    }
    Entry& entry = it->second;
    const uint32_t old = entry.failures;
    entry.failures = std::min(old + 1, kMaxFailures);
    entry.lastFailureAt = now;
    const auto delay = retryDelay(entry.failures);
    entry.retryAt = now + delay;
    return {entry.failures, entry.failures != old, static_cast<uint64_t>(delay.count())};
}

const ProbeBackoffCache::Entry* ProbeBackoffCache::find(const ProbeCacheKey& key) const
{
    const auto it = m_entries.find(key);
    return it == m_entries.end() ? nullptr : &it->second;
}

void ProbeBackoffCache::erase(const ProbeCacheKey& key)
{
    m_entries.erase(key);
}

void ProbeBackoffCache::retainOnly(const std::vector<ProbeCacheKey>& present)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (std::find(present.begin(), present.end(), it->first) == present.end())
            it = m_entries.erase(it);
        else
            ++it;
    }
}

void ProbeBackoffCache::clear()
{
    m_entries.clear();
}

size_t ProbeBackoffCache::size() const
{
    return m_entries.size();
}

bool ProbeBackoffCache::empty() const
{
    return m_entries.empty();
}

} // namespace tessaravolt::transport
