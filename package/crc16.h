// The station's check values.
//
// Crc16Update is a table-driven CRC with the CCITT polynomial 0x1021, most
// significant bit first, whose working register is 32 bits wide and is never
// cut back to 16 bits: the low 16 bits are the 16-bit CRC (initial value
// `init`, no reflection, no final XOR), bits 16-23 hold the high byte of the
// 16-bit value one byte before the end and bits 24-31 the high byte two bytes
// before the end. Package headers and sections, list files and file-set
// transfers all store and compare these full 32-bit values.
//
// Feeding data in pieces and passing each result as the next `init` gives
// exactly the value of one call over all the data.
//
// BlockCheckValue is the 16-bit check carried by every WriteBlock of an image:
// the HDLC frame check sequence (reflected polynomial 0x8408, initial 0xFFFF,
// final complement) whose length argument counts bits while every caller
// passes a byte count. It therefore covers only the first n/8 bytes of a
// block plus n%8 zero bits; the handsets check exactly this value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

namespace flashery {

// The 32-bit register CRC; length 0 returns init unchanged. Uses the fastest
// routine the CPU supports (crc16_dispatch.h); every routine gives the same
// bits.
uint32_t Crc16Update(const uint8_t* data, size_t length, uint32_t init);

// The plain one-table routine, byte by byte: the reference of every faster one.
uint32_t Crc16UpdateTable(const uint8_t* data, size_t length, uint32_t init);

// Crc16Update(data, length, init) from `fromZero` = Crc16Update(data,
// length, 0), without the data: the register is linear, so it is fromZero
// XOR the register that `init` leaves after `length` zero bytes (worked out
// with powers of x modulo the polynomial, not byte by byte).
uint32_t Crc16Combine(uint32_t init, uint32_t fromZero, uint64_t length);

// Piece size of SectionCheckValue: a section's value is the sum (mod 2^32) of
// Crc16Update(piece, n, 0) over its consecutive 96 MiB pieces. The piece size
// is part of the value, so it cannot change.
inline constexpr uint32_t kSectionChunkBytes = 0x6000000;

// The same value built from bytes given in any pieces: the register restarts
// from 0 at every 96 MiB boundary and the values of the pieces are summed.
class SectionCheckBuilder {
 public:
  void Add(const uint8_t* data, size_t length);
  // The same as Add when `fromZero` is Crc16Update(data, length, 0), which
  // the caller has already computed: the data is read again only when it
  // straddles a 96 MiB boundary.
  void AddBlock(const uint8_t* data, size_t length, uint32_t fromZero);
  uint32_t Value() const { return sum_ + reg_; }
  uint64_t bytes() const { return bytes_; }

 private:
  uint32_t sum_ = 0;       // completed pieces
  uint32_t reg_ = 0;       // register of the piece being built
  uint32_t inPiece_ = 0;   // bytes in that piece
  uint64_t bytes_ = 0;
};

// Sees each piece a check reads, with its file offset, as soon as it is read
// (the package's SHA-256 rides on the verification's read this way).
class PackageReadObserver {
 public:
  virtual ~PackageReadObserver() = default;
  virtual void OnRead(uint64_t offset, const uint8_t* data, size_t n) = 0;
};

// Check value of `size` bytes at `offset` of the open file `fd` (read with
// pread; the file position is not used). nullopt when a read fails or the
// file ends before offset + size. A size of 0 gives 0. Reads in pieces of at
// most 1 MiB; the value is still the per-96-MiB-piece sum defined above.
// A stop request ends it between two pieces with nullopt. `observer`, when
// given, sees every piece read, in order.
std::optional<uint32_t> SectionCheckValue(int fd, uint64_t offset, uint32_t size, const std::stop_token& stop = {},
                                          PackageReadObserver* observer = nullptr);

// Read size of FileCheckValue.
inline constexpr size_t kFileCheckReadBytes = 32768;

// Chained Crc16Update over the whole file from 0, read in 32 KiB pieces.
// An empty path, a missing file, one that is not a regular file or cannot be
// read gives 0; a file of size 0 gives 1.
uint32_t FileCheckValue(const std::string& path);

// The reflected CRC (polynomial 0x8408) of the HDLC frame check sequence
// over whole bytes, from `state`, without the final complement; byte by
// byte: the reference of the faster routines of crc16_dispatch.h.
uint16_t HdlcUpdateTable(const uint8_t* data, size_t length, uint16_t state);

// The HDLC frame check sequence over `bitCount` bits: the first bitCount/8
// bytes of data, then bitCount%8 zero bits; complemented, 16 bits. The
// bytes go through the routine Crc16Update uses (crc16_dispatch.h).
uint16_t HdlcCheckBits(const uint8_t* data, size_t bitCount);

// The WriteBlock check of an n-byte block: HdlcCheckBits(data, n). Reads only
// the first n/8 bytes of data.
inline uint16_t BlockCheckValue(const uint8_t* data, size_t n) { return HdlcCheckBits(data, n); }

}  // namespace flashery
