// Lookup tables of the check-value routines, built once at compile time.
//
// msb[0] is the standard most-significant-bit-first table of the polynomial
// 0x1021 (entry 1 = 0x1021, entry 2 = 0x2042, entry 255 = 0x1EF0); msb[k]
// is msb[0] advanced by k zero bytes, for slicing over 16 bytes at a time.
// hdlc is the reflected table of 0x1021 (polynomial 0x8408: entry 1 =
// 0x1189, entry 255 = 0x0F78); hdlcSlice[k] is it advanced by k zero bytes
// (hdlcSlice[0] == hdlc).
#pragma once

#include <array>
#include <cstdint>

namespace flashery {

inline constexpr int kCrc16SliceWays = 16;

struct Crc16TableSet {
  std::array<std::array<uint16_t, 256>, kCrc16SliceWays> msb;
  std::array<uint16_t, 256> hdlc;
  std::array<std::array<uint16_t, 256>, kCrc16SliceWays> hdlcSlice;
};

const Crc16TableSet& Crc16Tables();

}  // namespace flashery
