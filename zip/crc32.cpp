#include "zip/crc32.h"

#include <array>
#include <cstring>

namespace flashery {
namespace {

// Eight tables for slicing by eight bytes; table 0 is the classic byte
// table, table k advances a byte that lies k positions further back.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i)
    for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

uint32_t Crc32Step(uint32_t reg, uint8_t byte) { return kTables[0][(reg ^ byte) & 0xFF] ^ (reg >> 8); }

uint32_t Crc32Update(uint32_t reg, const uint8_t* data, size_t n) {
  while (n >= 8) {
    uint32_t lo = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                  static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    lo ^= reg;
    reg = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
          kTables[4][lo >> 24] ^ kTables[3][data[4]] ^ kTables[2][data[5]] ^ kTables[1][data[6]] ^
          kTables[0][data[7]];
    data += 8;
    n -= 8;
  }
  while (n--) reg = Crc32Step(reg, *data++);
  return reg;
}

}  // namespace flashery
