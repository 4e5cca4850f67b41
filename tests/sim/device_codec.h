#pragma once

#include "protocol/frame_codec.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// The power bank's side of the frame exchange, for the simulator and the tests. It uses the
// opposite keys, never touches the host's sequence counter, and enciphers with a per-thread
// filler state so the host's padding sequence is unaffected.
namespace tessaravolt::sim {

using protocol::Frame;

// An answer as the power bank sends it: a 64-byte input report (size 64), enciphered so that
// decodeFrame accepts it. A payload over 48 bytes fails with "Payload exceeds HID protocol maximum".
std::unique_ptr<Frame> encodeAnswerFrame(uint8_t command, uint8_t subCommand, uint8_t sequence, const uint8_t* payload,
                                         size_t length);

// Wraps arbitrary plaintext bytes (1..54, used as they are: no header, length or CRC added) in
// the power bank's envelope, for answers that are meant to be malformed inside. size 64.
// Fails with "Encrypt HID data failure" for other lengths.
std::unique_ptr<Frame> encodeAnswerEnvelope(uint8_t sequence, const uint8_t* plaintext, size_t length);

// Decodes a request as encodeFrame made it, with or without its leading report-id byte 0x00,
// by the same checks and messages as decodeFrame. The request's sequence number is byte 2 of
// the report without report id (byte 3 with it); it is not part of the result.
std::unique_ptr<Frame> decodeRequestFrame(const uint8_t* data, size_t length);

} // namespace tessaravolt::sim
