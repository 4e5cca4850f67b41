#include "sim/device_codec.h"

#include "protocol/checksum_util.h"
#include "protocol/comp_tea.h"

#include <cstring>

namespace tessaravolt::sim {

namespace {

// The power bank's keys: it deciphers requests with the host's enciphering key and enciphers
// answers with the key the host deciphers with.
constexpr uint8_t kRequestKey[16] = {0x3b, 0x7e, 0x0c, 0x94, 0xa1, 0xd2, 0x5f, 0x68,
                                     0xe7, 0xc0, 0x49, 0x3a, 0x2d, 0x8b, 0x1f, 0x56};
constexpr uint8_t kAnswerKey[16] = {0xc4, 0x7e, 0x19, 0xa0, 0xb2, 0x5d, 0x3f, 0x86,
                                    0xe1, 0x0b, 0x7a, 0x4c, 0x9d, 0x2f, 0x5e, 0x38};

constexpr uint8_t kFrameHeader = 0xAA;
constexpr uint8_t kEnvelopeHeader1 = 0xAA;
constexpr uint8_t kEnvelopeHeader2 = 0x55;
constexpr size_t kPlainOverhead = 6;   // header, command, sub-command, length, CRC
constexpr size_t kEnvelopeTrailer = 4; // CRC, CR, LF
constexpr size_t kDecodeBufferLength = 64;

thread_local uint8_t tFillerState = 0xA5;

std::unique_ptr<Frame> failure(const char* message)
{
    auto frame = std::make_unique<Frame>();
    frame->error = QString::fromLatin1(message);
    return frame;
}

std::unique_ptr<Frame> success(uint8_t* buffer, size_t size)
{
    auto frame = std::make_unique<Frame>();
    frame->data = buffer;
    frame->size = size;
    return frame;
}

void storeLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t loadLe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

std::unique_ptr<Frame> envelope(uint8_t sequence, const uint8_t* plaintext, size_t length)
{
    if (!plaintext || length == 0 || length > protocol::kMaxPayloadLength + kPlainOverhead)
        return failure("Encrypt HID data failure");
    auto report = std::make_unique<uint8_t[]>(protocol::kInputReportLength);
    std::memset(report.get(), 0, protocol::kInputReportLength);
    report[0] = kEnvelopeHeader1;
    report[1] = kEnvelopeHeader2;
    report[2] = sequence;
    uint16_t m = static_cast<uint16_t>(protocol::kInputReportLength - 4 - kEnvelopeTrailer);
    if (!protocol::teaEncryptWithFillerState(kAnswerKey, plaintext, static_cast<uint16_t>(length), report.get() + 4, &m,
                                             tFillerState))
        return failure("Encrypt HID data failure");
    report[3] = static_cast<uint8_t>(m);
    storeLe16(report.get() + 4 + m, common::crc16(report.get() + 2, 2 + m));
    report[6 + m] = 0x0D;
    report[7 + m] = 0x0A;
    return success(report.release(), protocol::kInputReportLength);
}

} // namespace

std::unique_ptr<Frame> encodeAnswerFrame(uint8_t command, uint8_t subCommand, uint8_t sequence, const uint8_t* payload,
                                         size_t length)
{
    if (length > protocol::kMaxPayloadLength)
        return failure("Payload exceeds HID protocol maximum");
    if (length > 0 && !payload)
        return failure("Encrypt HID data failure");
    uint8_t plain[protocol::kMaxPayloadLength + kPlainOverhead];
    plain[0] = kFrameHeader;
    plain[1] = command;
    plain[2] = subCommand;
    plain[3] = static_cast<uint8_t>(length);
    if (length > 0)
        std::memcpy(plain + 4, payload, length);
    storeLe16(plain + 4 + length, common::crc16(plain + 1, 3 + length));
    return envelope(sequence, plain, length + kPlainOverhead);
}

std::unique_ptr<Frame> encodeAnswerEnvelope(uint8_t sequence, const uint8_t* plaintext, size_t length)
{
    return envelope(sequence, plaintext, length);
}

std::unique_ptr<Frame> decodeRequestFrame(const uint8_t* data, size_t length)
{
    if (data && length > 0 && data[0] == 0x00) {
        ++data;
        --length;
    }
    if (!data)
        return failure("Frame data is null");
    if (length <= 7)
        return failure("Frame too short");
    if (data[0] != kEnvelopeHeader1 || data[1] != kEnvelopeHeader2)
        return failure("Invalid frame header");
    const size_t m = data[3];
    if (length < m + 6)
        return failure("Frame overflowed");
    if (common::crc16(data + 2, 2 + m) != loadLe16(data + 4 + m))
        return failure("CRC mismatch");

    auto plain = std::make_unique<uint8_t[]>(kDecodeBufferLength); // value-initialised: zero
    uint16_t p = kDecodeBufferLength;
    if (!comp_tea_decrypt(kRequestKey, data + 4, static_cast<uint16_t>(m), plain.get(), &p))
        return failure("Decrypt HID data failure");
    if (p <= 5)
        return failure("Protocol frame to short");
    if (plain[0] != kFrameHeader)
        return failure("Invalid protocol header");
    const size_t payloadLength = plain[3];
    if (payloadLength > protocol::kMaxPayloadLength)
        return failure("Payload exceeds HID protocol maximum");
    if (p < payloadLength + kPlainOverhead)
        return failure("Protocol frame overflowed");
    if (common::crc16(plain.get() + 1, 3 + payloadLength) != loadLe16(plain.get() + 4 + payloadLength))
        return failure("CRC protocol mismatch");
    return success(plain.release(), p);
}

} // namespace tessaravolt::sim
