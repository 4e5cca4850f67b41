#include "frame_codec.h"

#include "common/logger_manager.h"
#include "comp_tea.h"
#include "protocol/checksum_util.h"

#include <atomic>
#include <cstring>

namespace tessaravolt::protocol {

namespace {

constexpr uint8_t encKey[16] = {0x3b, 0x7e, 0x0c, 0x94, 0xa1, 0xd2, 0x5f, 0x68,
                                0xe7, 0xc0, 0x49, 0x3a, 0x2d, 0x8b, 0x1f, 0x56};
constexpr uint8_t decKey[16] = {0xc4, 0x7e, 0x19, 0xa0, 0xb2, 0x5d, 0x3f, 0x86,
                                0xe1, 0x0b, 0x7a, 0x4c, 0x9d, 0x2f, 0x5e, 0x38};

std::atomic<uint8_t> sSeqId{0};

constexpr uint8_t kFrameHeader = 0xAA;
constexpr uint8_t kEnvelopeHeader1 = 0xAA;
constexpr uint8_t kEnvelopeHeader2 = 0x55;
constexpr size_t kPlainOverhead = 6;   // header, command, sub-command, length, CRC
constexpr size_t kEnvelopeTrailer = 4; // CRC, CR, LF
constexpr size_t kDecodeBufferLength = 64;

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

// length <= kMaxPayloadLength; plain holds length + 6 bytes.
void buildPlainFrame(uint8_t* plain, uint8_t command, uint8_t subCommand, const uint8_t* payload, size_t length)
{
    plain[0] = kFrameHeader;
    plain[1] = command;
    plain[2] = subCommand;
    plain[3] = static_cast<uint8_t>(length);
    if (length > 0)
        std::memcpy(plain + 4, payload, length);
    storeLe16(plain + 4 + length, common::crc16(plain + 1, 3 + length));
}

// envelope points at the first header byte (0xAA); the buffer holds at least m + 8 bytes.
void finishEnvelope(uint8_t* envelope, uint8_t cipherLength)
{
    envelope[3] = cipherLength;
    const size_t m = cipherLength;
    storeLe16(envelope + 4 + m, common::crc16(envelope + 2, 2 + m));
    envelope[6 + m] = 0x0D;
    envelope[7 + m] = 0x0A;
}

std::unique_ptr<Frame> decodeWithKey(const uint8_t* key, const uint8_t* data, size_t length)
{
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
    if (!comp_tea_decrypt(key, data + 4, static_cast<uint16_t>(m), plain.get(), &p))
        return failure("Decrypt HID data failure");
    if (p <= 5)
        return failure("Protocol frame to short");
    if (plain[0] != kFrameHeader)
        return failure("Invalid protocol header");
    const size_t payloadLength = plain[3];
    if (payloadLength > kMaxPayloadLength)
        return failure("Payload exceeds HID protocol maximum");
    if (p < payloadLength + kPlainOverhead)
        return failure("Protocol frame overflowed");
    if (common::crc16(plain.get() + 1, 3 + payloadLength) != loadLe16(plain.get() + 4 + payloadLength))
        return failure("CRC protocol mismatch");
    return success(plain.release(), p);
}

} // namespace

Frame::~Frame()
{
    delete[] data;
}

std::unique_ptr<Frame> encodeFrame(uint8_t command, uint8_t subCommand, const uint8_t* payload, size_t length)
{
    if (length > kMaxPayloadLength)
        return failure("Payload exceeds HID protocol maximum");
    if (length > 0 && !payload)
        return failure("Encrypt HID data failure");

    uint8_t plain[kMaxPayloadLength + kPlainOverhead];
    buildPlainFrame(plain, command, subCommand, payload, length);
    const size_t plainLength = length + kPlainOverhead;

    auto report = std::make_unique<uint8_t[]>(kOutputReportCapacity);
    std::memset(report.get(), 0, kOutputReportCapacity);
    report[1] = kEnvelopeHeader1;
    report[2] = kEnvelopeHeader2;
    report[3] = sSeqId.fetch_add(1, std::memory_order_relaxed);

    common::LoggerManager::instance().cacheEncode("encodeFrame", plain, plainLength);

    // The ciphertext may only use what is left after the 5 leading bytes and before the trailer.
    uint16_t m = static_cast<uint16_t>(kOutputReportCapacity - 5 - kEnvelopeTrailer);
    if (!comp_tea_encrypt(encKey, plain, static_cast<uint16_t>(plainLength), report.get() + 5, &m))
        return failure("Encrypt HID data failure");
    finishEnvelope(report.get() + 1, static_cast<uint8_t>(m));
    return success(report.release(), m + 9u);
}

std::unique_ptr<Frame> decodeFrame(const uint8_t* data, size_t length)
{
    return decodeWithKey(decKey, data, length);
}

} // namespace tessaravolt::protocol
