#pragma once

#include "protocol/checksum_util.h"
#include "protocol/comp_tea.h"
#include "protocol/frame_codec.h"
#include "sim/device_codec.h"

#include <QByteArray>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace codec_test {

// The power bank's and the host's keys, kept here independently of the codec's own copies so a
// changed constant in the codec shows up as a failing test.
inline const uint8_t kEncKey[16] = {0x3b, 0x7e, 0x0c, 0x94, 0xa1, 0xd2, 0x5f, 0x68,
                                    0xe7, 0xc0, 0x49, 0x3a, 0x2d, 0x8b, 0x1f, 0x56};
inline const uint8_t kDecKey[16] = {0xc4, 0x7e, 0x19, 0xa0, 0xb2, 0x5d, 0x3f, 0x86,
                                    0xe1, 0x0b, 0x7a, 0x4c, 0x9d, 0x2f, 0x5e, 0x38};

inline std::vector<uint8_t> bytes(const char* hex)
{
    const QByteArray raw = QByteArray::fromHex(QByteArray(hex));
    return std::vector<uint8_t>(raw.begin(), raw.end());
}

inline std::vector<uint8_t> toVector(const tessaravolt::protocol::Frame& frame)
{
    return frame.data ? std::vector<uint8_t>(frame.data, frame.data + frame.size) : std::vector<uint8_t>();
}

inline void storeLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// An input report [AA 55 seq m cipher CRC 0D 0A], zero-filled to 64 bytes (or longer when the
// cipher text does not fit), around the given cipher text, with a correct outer CRC.
inline std::vector<uint8_t> envelopeAround(const std::vector<uint8_t>& cipher, uint8_t seq = 0)
{
    std::vector<uint8_t> report(std::max<size_t>(64, cipher.size() + 8), 0);
    report[0] = 0xAA;
    report[1] = 0x55;
    report[2] = seq;
    report[3] = static_cast<uint8_t>(cipher.size());
    std::copy(cipher.begin(), cipher.end(), report.begin() + 4);
    storeLe16(report.data() + 4 + cipher.size(), tessaravolt::common::crc16(report.data() + 2, 2 + cipher.size()));
    report[6 + cipher.size()] = 0x0D;
    report[7 + cipher.size()] = 0x0A;
    return report;
}

// Enciphers whole 8-byte blocks (the length prefix included by the caller) with the answer key.
inline std::vector<uint8_t> encipherBlocks(std::vector<uint8_t> block)
{
    for (size_t i = 0; i + 8 <= block.size(); i += 8)
        tessaravolt::protocol::teaEncipherBlock(kDecKey, block.data() + i);
    return block;
}

// Plaintext protocol frame with a correct inner CRC.
inline std::vector<uint8_t> plainFrame(uint8_t cmd, uint8_t sub, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> plain(payload.size() + 6);
    plain[0] = 0xAA;
    plain[1] = cmd;
    plain[2] = sub;
    plain[3] = static_cast<uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), plain.begin() + 4);
    storeLe16(plain.data() + 4 + payload.size(), tessaravolt::common::crc16(plain.data() + 1, 3 + payload.size()));
    return plain;
}

inline const QStringList& decodeMessages()
{
    static const QStringList messages{"Frame data is null",
                                      "Frame too short",
                                      "Invalid frame header",
                                      "Frame overflowed",
                                      "CRC mismatch",
                                      "Decrypt HID data failure",
                                      "Protocol frame to short",
                                      "Invalid protocol header",
                                      "Payload exceeds HID protocol maximum",
                                      "Protocol frame overflowed",
                                      "CRC protocol mismatch"};
    return messages;
}

// Empty when the frame keeps every invariant of a decoding result: a failure carries one of the
// codec's messages and no bytes; a success is a checked plaintext frame in a 64-byte buffer that
// is zero beyond its size.
inline QString checkDecodeResult(const tessaravolt::protocol::Frame& frame)
{
    if (!frame.error.isEmpty()) {
        if (frame.data || frame.size != 0)
            return QStringLiteral("failure with data");
        if (!decodeMessages().contains(frame.error))
            return QStringLiteral("unknown message ") + frame.error;
        return {};
    }
    if (!frame.data || frame.size < 6 || frame.size > 54)
        return QStringLiteral("success with size %1").arg(frame.size);
    const uint8_t* d = frame.data;
    if (d[0] != 0xAA || d[3] > 48 || frame.size < size_t(d[3]) + 6)
        return QStringLiteral("success with a malformed frame");
    if (tessaravolt::common::crc16(d + 1, 3 + d[3]) != uint16_t(d[4 + d[3]] | (d[5 + d[3]] << 8)))
        return QStringLiteral("success with a wrong CRC");
    for (size_t i = frame.size; i < 64; ++i)
        if (d[i] != 0)
            return QStringLiteral("bytes beyond size not zero");
    return {};
}

} // namespace codec_test
