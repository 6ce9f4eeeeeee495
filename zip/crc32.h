// CRC-32 of zip archives and of the traditional PKWARE cipher: the
// reflected polynomial 0xEDB88320, register preset 0xFFFFFFFF, inverted at
// the end. Crc32Update works on the raw register (no preset, no
// inversion), so a caller can feed data in pieces; Crc32 is the whole
// value of one buffer. The tables are built at compile time and only read,
// so any thread may use them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flashery {

inline constexpr uint32_t kCrc32Preset = 0xFFFFFFFFu;

// One register step with one byte (the cipher's key update uses this).
uint32_t Crc32Step(uint32_t reg, uint8_t byte);

// Register after feeding `n` bytes.
uint32_t Crc32Update(uint32_t reg, const uint8_t* data, size_t n);

// The finished CRC-32 of a buffer (preset, feed, invert).
inline uint32_t Crc32(const uint8_t* data, size_t n) { return ~Crc32Update(kCrc32Preset, data, n); }

}  // namespace flashery
