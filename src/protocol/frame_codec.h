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

// --- The power bank's side of the same exchange, for simulators and tests. ---
// They use the opposite keys, never touch the host's sequence counter, and encipher with a
// per-thread filler state so the host's padding sequence is unaffected.

// An answer as the power bank sends it: a 64-byte input report (size 64), enciphered so that
// decodeFrame accepts it. A payload over 48 bytes fails with "Payload exceeds HID protocol maximum".
std::unique_ptr<Frame> encodeAnswerFrame(uint8_t command, uint8_t subCommand, uint8_t sequence,
                                         const uint8_t* payload, size_t length);

// Wraps arbitrary plaintext bytes (1..54, used as they are: no header, length or CRC added) in
// the power bank's envelope, for answers that are meant to be malformed inside. size 64.
// Fails with "Encrypt HID data failure" for other lengths.
std::unique_ptr<Frame> encodeAnswerEnvelope(uint8_t sequence, const uint8_t* plaintext, size_t length);

// Decodes a request as encodeFrame made it, with or without its leading report-id byte 0x00,
// by the same checks and messages as decodeFrame. The request's sequence number is byte 2 of
// the report without report id (byte 3 with it); it is not part of the result.
std::unique_ptr<Frame> decodeRequestFrame(const uint8_t* data, size_t length);

} // namespace tessaravolt::protocol
