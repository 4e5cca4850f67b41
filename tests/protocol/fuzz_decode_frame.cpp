// libFuzzer target: cmake -DTESSARAVOLT_FUZZ=ON with CXX=clang++, then run fuzz_decode_frame.
#include "common/checksum_util.h"
#include "protocol/frame_codec.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void checkResult(const tessaravolt::protocol::Frame& frame)
{
    if (!frame.error.isEmpty()) {
        if (frame.data || frame.size != 0)
            std::abort();
        return;
    }
    const uint8_t* d = frame.data;
    if (!d || frame.size < 6 || frame.size > 54 || d[0] != 0xAA || d[3] > 48 || frame.size < size_t(d[3]) + 6)
        std::abort();
    if (tessaravolt::common::crc16(d + 1, 3 + d[3]) != uint16_t(d[4 + d[3]] | (d[5 + d[3]] << 8)))
        std::abort();
    for (size_t i = frame.size; i < 64; ++i)
        if (d[i] != 0)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A heap copy of exactly size bytes, so any over-read is reported.
    auto exact = std::make_unique<uint8_t[]>(size ? size : 1);
    if (size)
        std::memcpy(exact.get(), data, size);
    checkResult(*tessaravolt::protocol::decodeFrame(exact.get(), size));
    checkResult(*tessaravolt::protocol::decodeRequestFrame(exact.get(), size));
    return 0;
}
