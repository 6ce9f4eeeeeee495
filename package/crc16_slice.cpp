// Slicing by sixteen: the 16-bit CRC state enters the first two bytes of a
// 16-byte block, and table k gives a byte's effect followed by k zero bytes,
// so one block costs sixteen lookups and no dependency between them. The
// same for the reflected CRC of the WriteBlock check, whose state enters
// the first two bytes low byte first.
#include "package/crc16.h"
#include "package/crc16_routines.h"
#include "package/crc16_tables.h"

namespace flashery {

uint32_t Crc16UpdateSlice16(const uint8_t* data, size_t length, uint32_t init) {
  if (length < 2 * kCrc16SliceWays) return Crc16UpdateTable(data, length, init);
  // Keep at least two bytes for the table, which sets the register's upper
  // half from the last states.
  size_t tail = 2 + (length - 2) % kCrc16SliceWays;
  size_t blocks = (length - tail) / kCrc16SliceWays;
  const auto& t = Crc16Tables().msb;
  uint32_t c = init & 0xFFFFu;
  const uint8_t* p = data;
  for (size_t b = 0; b < blocks; ++b, p += kCrc16SliceWays) {
    c = t[15][p[0] ^ (c >> 8)] ^ t[14][p[1] ^ (c & 0xFFu)] ^ t[13][p[2]] ^ t[12][p[3]] ^
        t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^ t[7][p[8]] ^ t[6][p[9]] ^
        t[5][p[10]] ^ t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]];
  }
  return Crc16UpdateTable(p, tail, c);
}

uint16_t HdlcUpdateSlice16(const uint8_t* data, size_t length, uint16_t state) {
  const auto& t = Crc16Tables().hdlcSlice;
  uint32_t c = state;
  const uint8_t* p = data;
  for (size_t blocks = length / kCrc16SliceWays; blocks > 0; --blocks, p += kCrc16SliceWays) {
    c = t[15][p[0] ^ (c & 0xFFu)] ^ t[14][p[1] ^ (c >> 8)] ^ t[13][p[2]] ^ t[12][p[3]] ^
        t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^ t[7][p[8]] ^ t[6][p[9]] ^
        t[5][p[10]] ^ t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]];
  }
  return HdlcUpdateTable(p, length % kCrc16SliceWays, static_cast<uint16_t>(c));
}

}  // namespace flashery
