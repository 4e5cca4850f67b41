#include "transport/tessaravolt_probe.h"

#include "protocol/frame_codec.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace tessaravolt::transport {

namespace {

constexpr uint8_t kProbeCommand = 0x10;
constexpr uint8_t kProbeSubCommand = 0x06;
constexpr uint8_t kProbeMinPayload = 15;

} // namespace

bool isTessaravoltProbeDecodedFrame(const uint8_t* frame, size_t size)
{
    return frame && size > 3 && size >= static_cast<size_t>(frame[3]) + 6 && frame[1] == kProbeCommand
        && frame[2] == kProbeSubCommand && frame[3] >= kProbeMinPayload;
}

bool isTessaravoltProbeResponse(const uint8_t* report, size_t size)
{
    if (!report || size == 0)
        return false;
    const auto frame = protocol::decodeFrame(report, size);
    return frame && frame->size > 0 && isTessaravoltProbeDecodedFrame(frame->data, frame->size);
}

ProbeResult probeTessaravoltDevice(const ProbeWriteFunction& write, const ProbeReadFunction& read, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;

    if (!write || !read)
        return ProbeResult::EncodeFailed;
    const auto request = protocol::encodeFrame(kProbeCommand, kProbeSubCommand, nullptr, 0);
    if (!request || request->size == 0 || !request->data)
        return ProbeResult::EncodeFailed;
    if (write(request->data, request->size) < 0)
        return ProbeResult::WriteFailed;
    if (timeoutMs < 1)
        return ProbeResult::Timeout;

    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t buffer[protocol::kInputReportLength] = {};
    bool sawInvalid = false;
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline)
            break;
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        const int wait = static_cast<int>(std::clamp<long long>(remaining, 1, std::numeric_limits<int32_t>::max()));
        const int n = read(buffer, sizeof buffer, wait);
        if (n < 0)
            return ProbeResult::ReadFailed;
        if (n == 0)
            break;
        const size_t length = std::min<size_t>(static_cast<size_t>(n), sizeof buffer);
        const auto answer = protocol::decodeFrame(buffer, length);
        if (answer && answer->size > 0 && isTessaravoltProbeDecodedFrame(answer->data, answer->size))
            return ProbeResult::Success;
        sawInvalid = true;
    }
    return sawInvalid ? ProbeResult::InvalidResponse : ProbeResult::Timeout;
}

const char* probeResultName(ProbeResult result)
{
    switch (result) {
    case ProbeResult::Success:
        return "success";
    case ProbeResult::EncodeFailed:
        return "probe_encode_failed";
    case ProbeResult::WriteFailed:
        return "probe_write_failed";
    case ProbeResult::ReadFailed:
        return "probe_read_failed";
    case ProbeResult::Timeout:
        return "probe_timeout";
    case ProbeResult::InvalidResponse:
        return "probe_invalid_response";
    case ProbeResult::Disconnected:
        return "probe_disconnected";
    }
    return "probe_unknown";
}

} // namespace tessaravolt::transport
