#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tessaravolt::transport {

enum class ProbeResult : int {
    Success = 0,
    EncodeFailed = 1,
    WriteFailed = 2,
    ReadFailed = 3,
    Timeout = 4,
    InvalidResponse = 5,
    Disconnected = 6, // set by the caller when a write or read failure was an unplug
};

// Writes one report; negative on failure.
using ProbeWriteFunction = std::function<int(const uint8_t* bytes, size_t length)>;
// Reads one report waiting at most waitMs; bytes read, 0 when nothing came in time, negative on failure.
using ProbeReadFunction = std::function<int(uint8_t* buffer, size_t capacity, int waitMs)>;

inline constexpr int kProbeTimeoutMs = 300;

// Sends the battery-information request and waits up to timeoutMs for a valid answer.
ProbeResult probeTessaravoltDevice(const ProbeWriteFunction& write, const ProbeReadFunction& read, int timeoutMs);

// A battery-information answer (0x10/0x06) with at least 15 payload bytes, as a plaintext frame.
bool isTessaravoltProbeDecodedFrame(const uint8_t* frame, size_t size);
// The same test on a raw input report, after decoding it.
bool isTessaravoltProbeResponse(const uint8_t* report, size_t size);

const char* probeResultName(ProbeResult result);

} // namespace tessaravolt::transport
