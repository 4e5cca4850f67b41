#pragma once

#include <QString>

#include <cstdint>

// Reading the fields of a decoded plaintext frame [AA][command][sub][length][payload...]. The
// readers take the frame's 64-byte buffer; every payload field is little-endian.
namespace tessaravolt::protocol {

inline uint16_t readLe16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t readLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline uint64_t readLe64(const uint8_t* p)
{
    return uint64_t(readLe32(p)) | (uint64_t(readLe32(p + 4)) << 32);
}

inline constexpr int kFrameHeaderLength = 4; // header, command, sub-command, length

inline uint8_t commandOf(const uint8_t* frame)
{
    return frame[1];
}

inline uint8_t subCommandOf(const uint8_t* frame)
{
    return frame[2];
}

inline const uint8_t* payloadOf(const uint8_t* frame)
{
    return frame + kFrameHeaderLength;
}

inline int payloadLength(const uint8_t* frame)
{
    return frame[3];
}

// Record layouts of the answers that carry lists.
inline constexpr int kEventStatisticsLength = 18; // events::kStatistics
inline constexpr int kEventRecordLength = 16;     // events::kRecords, cell_status::kCurrentEvent
inline constexpr int kMaxEventRecordsPerAnswer = 3;
inline constexpr int kCellDetailRecordLength = 8; // command::kCellDetail
inline constexpr int kPortRecordLength = 12;      // command::kPortInfo

// Fewest payload bytes an answer must carry for the fields its handler reads.
int minimumPayload(uint8_t command, uint8_t subCommand);

// UTF-8 text up to the first NUL (or the end).
QString decodeUpToNul(const char* bytes, qsizetype size);

// The text of a plaintext frame's payload from `offset` to its end, cut at the first NUL.
QString extractPureStr(const uint8_t* frame, int offset);

// A text sent in two halves: the first frame's payload joined with the second's, cut at the first NUL.
QString twoPartText(const uint8_t* firstFrame, const uint8_t* secondFrame);

} // namespace tessaravolt::protocol
