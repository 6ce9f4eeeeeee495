// The check-value routines: the one-table CRC, the section and whole-file
// values built on Crc16Update, and the WriteBlock check.
#include "package/crc16.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <vector>

#include "package/crc16_dispatch.h"
#include "package/crc16_tables.h"
#include "platform/files.h"

namespace flashery {

uint32_t Crc16UpdateTable(const uint8_t* data, size_t length, uint32_t init) {
  uint32_t reg = init;
  const auto& table = Crc16Tables().msb[0];
  for (size_t i = 0; i < length; ++i) {
    reg = (reg << 8) ^ table[((reg >> 8) & 0xFFu) ^ data[i]];
  }
  return reg;
}

namespace {

// a·b mod P for 16-bit polynomials (MSB first, P = 0x11021).
uint32_t MulMod(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (int i = 0; i < 16; ++i)
    if (b & (1u << i)) product ^= a << i;
  for (int bit = 30; bit >= 16; --bit)
    if (product & (1u << bit)) product ^= 0x11021u << (bit - 16);
  return product;
}

// x^n mod P.
uint32_t XPowMod(uint64_t n) {
  uint32_t result = 1, base = 2;
  for (; n > 0; n >>= 1) {
    if (n & 1u) result = MulMod(result, base);
    base = MulMod(base, base);
  }
  return result;
}


}  // namespace

uint32_t Crc16Combine(uint32_t init, uint32_t fromZero, uint64_t length) {
  static constexpr uint8_t kZeros[3] = {};
  if (length <= sizeof kZeros) return fromZero ^ Crc16UpdateTable(kZeros, static_cast<size_t>(length), init);
  // After the first two bytes only init's 16-bit state is left in the
  // register; advance it to two bytes before the end, then let the table
  // take the last two zero bytes, which fill the register's upper half.
  uint32_t state = MulMod(init & 0xFFFFu, XPowMod(8 * (length - 2)));
  return fromZero ^ Crc16UpdateTable(kZeros, 2, state);
}

void SectionCheckBuilder::AddBlock(const uint8_t* data, size_t length, uint32_t fromZero) {
  if (length == 0 || length > kSectionChunkBytes - inPiece_) {
    Add(data, length);
    return;
  }
  reg_ = Crc16Combine(reg_, fromZero, length);
  inPiece_ += static_cast<uint32_t>(length);
  bytes_ += length;
  if (inPiece_ == kSectionChunkBytes) {
    sum_ += reg_;
    reg_ = 0;
    inPiece_ = 0;
  }
}

void SectionCheckBuilder::Add(const uint8_t* data, size_t length) {
  bytes_ += length;
  while (length > 0) {
    size_t room = kSectionChunkBytes - inPiece_;
    size_t n = length < room ? length : room;
    reg_ = Crc16Update(data, n, reg_);
    inPiece_ += static_cast<uint32_t>(n);
    data += n;
    length -= n;
    if (inPiece_ == kSectionChunkBytes) {
      sum_ += reg_;
      reg_ = 0;
      inPiece_ = 0;
    }
  }
}

std::optional<uint32_t> SectionCheckValue(int fd, uint64_t offset, uint32_t size, const std::stop_token& stop,
                                          PackageReadObserver* observer) {
  if (size == 0) return 0u;
  if (fd < 0) return std::nullopt;
  constexpr size_t kReadBytes = 1u << 20;
  std::vector<uint8_t> buffer(size < kReadBytes ? size : kReadBytes);
  SectionCheckBuilder check;
  while (check.bytes() < size) {
    if (stop.stop_requested()) return std::nullopt;
    uint64_t left = size - check.bytes();
    size_t n = left < buffer.size() ? static_cast<size_t>(left) : buffer.size();
    if (!ReadExactAt(fd, buffer.data(), n, offset + check.bytes())) return std::nullopt;
    if (observer) observer->OnRead(offset + check.bytes(), buffer.data(), n);
    check.Add(buffer.data(), n);
  }
  return check.Value();
}

uint32_t FileCheckValue(const std::string& path) {
  if (path.empty()) return 0;
  int fd = OpenRegularFile(path);
  if (fd < 0) return 0;
  std::array<uint8_t, kFileCheckReadBytes> buffer;
  uint32_t reg = 0;
  bool any = false;
  for (;;) {
    ssize_t got = read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {  // an unreadable file has no value
      close(fd);
      return 0;
    }
    if (got == 0) break;
    any = true;
    reg = Crc16Update(buffer.data(), static_cast<size_t>(got), reg);
  }
  close(fd);
  return any ? reg : 1u;
}

uint16_t HdlcUpdateTable(const uint8_t* data, size_t length, uint16_t state) {
  const auto& table = Crc16Tables().hdlc;
  uint32_t crc = state;
  for (size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
  return static_cast<uint16_t>(crc);
}

uint16_t HdlcCheckBits(const uint8_t* data, size_t bitCount) {
  uint32_t crc = HdlcUpdateOn(ActiveCrc16Path(), data, bitCount / 8, 0xFFFF);
  for (size_t i = 0; i < bitCount % 8; ++i) {
    crc = (crc & 1u) ? (crc >> 1) ^ 0x8408u : crc >> 1;
  }
  return static_cast<uint16_t>(~crc & 0xFFFFu);
}

}  // namespace flashery
