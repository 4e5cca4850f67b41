#pragma once

#include <cstdint>

// TEA (32 cycles) in ECB mode over a length-prefixed block: [n LE16][n data bytes][0..7 filler],
// padded to the smallest multiple of 8 that holds n + 2 bytes. Every function answers 1 on
// success and 0 on failure; a failure writes nothing to out or *outLength.
extern "C" {

// key: 16 bytes. inLength: 1..54. *outLength: capacity of out on entry, the block length m on
// success. Filler bytes come from the process-wide padding generator (starts at 0x5A).
int comp_tea_encrypt(const uint8_t* key, const uint8_t* in, uint16_t inLength, uint8_t* out, uint16_t* outLength);

// inLength: 8..64, a multiple of 8. *outLength: capacity of out on entry, n on success.
int comp_tea_decrypt(const uint8_t* key, const uint8_t* in, uint16_t inLength, uint8_t* out, uint16_t* outLength);

// Block length m for n data bytes: 0 unless n is 1..54.
uint16_t comp_tea_calc_enc_len(uint16_t n);

} // extern "C"

namespace tessaravolt::protocol {

// One step of the 8-bit xorshift that makes the filler bytes; the byte made is the new state.
// From 0x5A it gives 6E FE EE 3A 3D E3 3C 7A ... and visits all 255 non-zero values.
uint8_t nextFillerByte(uint8_t state);

// comp_tea_encrypt with a caller-owned generator state instead of the process-wide one, for
// encoders (such as a simulated power bank) that must not disturb the host's filler sequence.
int teaEncryptWithFillerState(const uint8_t* key, const uint8_t* in, uint16_t inLength, uint8_t* out,
                              uint16_t* outLength, uint8_t& fillerState);

// Single 8-byte TEA blocks (words little-endian, y = bytes 0..3, z = bytes 4..7), in place.
void teaEncipherBlock(const uint8_t* key, uint8_t* block);
void teaDecipherBlock(const uint8_t* key, uint8_t* block);

} // namespace tessaravolt::protocol
