#include "comp_tea.h"

#include <cstring>

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr uint32_t kDecipherSum = 0xC6EF3720u;
constexpr uint16_t kMaxDataLength = 54;
constexpr uint16_t kMaxCipherLength = 64;

// Shared by every caller of comp_tea_encrypt and deliberately unguarded: all host frames are
// encoded on one thread.
uint8_t s_rand_seed = 0x5A;

uint32_t loadLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}

void storeLe32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint16_t blockLength(uint16_t n)
{
    if (n < 1 || n > kMaxDataLength)
        return 0;
    return static_cast<uint16_t>((n + 2 + 7) / 8 * 8);
}

} // namespace

namespace tessaravolt::protocol {

uint8_t nextFillerByte(uint8_t state)
{
    unsigned x = state;
    x ^= (x << 3) & 0xFFu;
    x ^= x >> 5;
    x ^= (x << 4) & 0xFFu;
    return static_cast<uint8_t>(x);
}

void teaEncipherBlock(const uint8_t* key, uint8_t* block)
{
    const uint32_t k0 = loadLe32(key), k1 = loadLe32(key + 4), k2 = loadLe32(key + 8), k3 = loadLe32(key + 12);
    uint32_t y = loadLe32(block), z = loadLe32(block + 4), sum = 0;
    for (int i = 0; i < 32; ++i) {
        sum += kDelta;
        y += ((z << 4) + k0) ^ (z + sum) ^ ((z >> 5) + k1);
        z += ((y << 4) + k2) ^ (y + sum) ^ ((y >> 5) + k3);
    }
    storeLe32(block, y);
    storeLe32(block + 4, z);
}

void teaDecipherBlock(const uint8_t* key, uint8_t* block)
{
    const uint32_t k0 = loadLe32(key), k1 = loadLe32(key + 4), k2 = loadLe32(key + 8), k3 = loadLe32(key + 12);
    uint32_t y = loadLe32(block), z = loadLe32(block + 4), sum = kDecipherSum;
    for (int i = 0; i < 32; ++i) {
        z -= ((y << 4) + k2) ^ (y + sum) ^ ((y >> 5) + k3);
        y -= ((z << 4) + k0) ^ (z + sum) ^ ((z >> 5) + k1);
        sum -= kDelta;
    }
    storeLe32(block, y);
    storeLe32(block + 4, z);
}

int teaEncryptWithFillerState(const uint8_t* key, const uint8_t* in, uint16_t inLength, uint8_t* out,
                              uint16_t* outLength, uint8_t& fillerState)
{
    if (!key || !in || !out || !outLength)
        return 0;
    const uint16_t m = blockLength(inLength);
    if (m == 0 || *outLength < m)
        return 0;

    uint8_t work[kMaxCipherLength] = {};
    work[0] = static_cast<uint8_t>(inLength);
    work[1] = static_cast<uint8_t>(inLength >> 8);
    std::memcpy(work + 2, in, inLength);
    if (inLength + 2 < m) {
        uint8_t x = fillerState;
        for (uint16_t i = static_cast<uint16_t>(inLength + 2); i < m; ++i) {
            x = nextFillerByte(x);
            work[i] = x;
        }
        fillerState = x;
    }

    for (uint16_t offset = 0; offset < m; offset += 8)
        teaEncipherBlock(key, work + offset);
    std::memcpy(out, work, m);
    *outLength = m;
    return 1;
}

} // namespace tessaravolt::protocol

extern "C" {

int comp_tea_encrypt(const uint8_t* key, const uint8_t* in, uint16_t inLength, uint8_t* out, uint16_t* outLength)
{
    return tessaravolt::protocol::teaEncryptWithFillerState(key, in, inLength, out, outLength, s_rand_seed);
}

int comp_tea_decrypt(const uint8_t* key, const uint8_t* in, uint16_t inLength, uint8_t* out, uint16_t* outLength)
{
    if (!key || !in || !out || !outLength)
        return 0;
    if (inLength < 8 || inLength > kMaxCipherLength || inLength % 8 != 0)
        return 0;

    uint8_t work[kMaxCipherLength];
    std::memcpy(work, in, inLength);
    for (uint16_t offset = 0; offset < inLength; offset += 8)
        tessaravolt::protocol::teaDecipherBlock(key, work + offset);

    const uint16_t n = static_cast<uint16_t>(work[0] | (work[1] << 8));
    if (blockLength(n) != inLength || *outLength < n)
        return 0;
    std::memcpy(out, work + 2, n);
    *outLength = n;
    return 1;
}

uint16_t comp_tea_calc_enc_len(uint16_t n)
{
    return blockLength(n);
}

} // extern "C"
