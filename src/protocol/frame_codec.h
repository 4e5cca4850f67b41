#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tessaravolt::protocol {

// Result of encoding or decoding: success (empty error, data set, size > 0) or failure
// (error set, data null, size 0). Owns data (new[]).
struct Frame
{
    QString error;
    uint8_t* data = nullptr;
    size_t size = 0;

    Frame() = default;
    ~Frame();
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
};

constexpr size_t kMaxPayloadLength = 48;
constexpr size_t kOutputReportCapacity = 65; // report id 0 + 64 bytes
constexpr size_t kInputReportLength = 64;

// Host -> power bank. data is the 65-byte output report (report id 0x00 first, zero-filled),
// size = m + 9. Takes the next sequence number (atomic, wraps at 256) once the payload length
// is accepted, and logs the plaintext frame under "encodeFrame". payload may be null for length 0.
std::unique_ptr<Frame> encodeFrame(uint8_t command, uint8_t subCommand, const uint8_t* payload, size_t length);

// Power bank -> host. data is one input report as read (no report id). On success data is a
// 64-byte buffer holding the plaintext frame [AA][cmd][sub][L][payload][CRC LE], zero beyond size.
std::unique_ptr<Frame> decodeFrame(const uint8_t* data, size_t length);

} // namespace tessaravolt::protocol
