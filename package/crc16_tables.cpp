#include "package/crc16_tables.h"

namespace flashery {
namespace {

constexpr Crc16TableSet BuildTables() {
  Crc16TableSet t{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t v = static_cast<uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) {
      v = (v & 0x8000u) ? static_cast<uint16_t>((v << 1) ^ 0x1021u) : static_cast<uint16_t>(v << 1);
    }
    t.msb[0][i] = v;
    uint16_t r = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      r = (r & 1u) ? static_cast<uint16_t>((r >> 1) ^ 0x8408u) : static_cast<uint16_t>(r >> 1);
    }
    t.hdlc[i] = r;
  }
  t.hdlcSlice[0] = t.hdlc;
  for (int k = 1; k < kCrc16SliceWays; ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      uint16_t prev = t.msb[k - 1][i];
      t.msb[k][i] = static_cast<uint16_t>((prev << 8) ^ t.msb[0][prev >> 8]);
      uint16_t rprev = t.hdlcSlice[k - 1][i];
      t.hdlcSlice[k][i] = static_cast<uint16_t>((rprev >> 8) ^ t.hdlc[rprev & 0xFFu]);
    }
  }
  return t;
}

constexpr Crc16TableSet kTables = BuildTables();
static_assert(kTables.msb[0][1] == 0x1021 && kTables.msb[0][2] == 0x2042 && kTables.msb[0][255] == 0x1EF0);
static_assert(kTables.hdlc[1] == 0x1189 && kTables.hdlc[255] == 0x0F78);

}  // namespace

const Crc16TableSet& Crc16Tables() { return kTables; }

}  // namespace flashery
