// The check-value routines: the one-table CRC, the section and whole-file
// values built on Crc16Update, and the WriteBlock check.
#include "package/crc16.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <vector>

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

// Reads exactly n bytes at offset; false on an error or an early end.
bool ReadExactAt(int fd, uint8_t* buffer, size_t n, uint64_t offset) {
  size_t done = 0;
  while (done < n) {
    ssize_t got = pread(fd, buffer + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

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

uint16_t HdlcCheckBits(const uint8_t* data, size_t bitCount) {
  const auto& table = Crc16Tables().hdlc;
  uint32_t crc = 0xFFFF;
  size_t bytes = bitCount / 8;
  for (size_t i = 0; i < bytes; ++i) {
    crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
  }
  for (size_t i = 0; i < bitCount % 8; ++i) {
    crc = (crc & 1u) ? (crc >> 1) ^ 0x8408u : crc >> 1;
  }
  return static_cast<uint16_t>(~crc & 0xFFFFu);
}

}  // namespace flashery
