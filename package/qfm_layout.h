// Byte layout of the 828-byte QFM package header and the fixed keys of its
// sections.
//
// Every number is a 32-bit little-endian unsigned; text fields are 8-bit
// text (the original platform's code page, GBK on a Chinese system; valid
// UTF-8 is also accepted) ending at a zero byte inside the field. Section
// offsets are absolute file offsets. Reserved ranges (0x060, 0x08D, 0x124,
// 0x15C, 0x1D0, 0x2A0) are never read and written as zeros. headerCheck is
// Crc16Update from 0 over bytes 0x000-0x337.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace flashery {

inline constexpr size_t kQfmHeaderBytes = 0x33C;         // 828
inline constexpr size_t kQfmHeaderCheckedBytes = 0x338;  // 824
inline constexpr std::array<uint8_t, 4> kQfmMagic = {0x51, 0x46, 0x01, 0x02};  // "QF" 1 2

namespace qfm {
inline constexpr size_t kMagic = 0x000;
inline constexpr size_t kProductName = 0x004, kProductNameBytes = 34;
inline constexpr size_t kVersionName = 0x026, kVersionNameBytes = 54;
inline constexpr size_t kPackageSize = 0x05C;
inline constexpr size_t kExtendPresent = 0x088;  // five bytes
inline constexpr size_t kExtendOffsets = 0x194, kExtendSizes = 0x1A8, kExtendChecks = 0x1BC;
inline constexpr size_t kExtendNames = 0x20A, kExtendNameBytes = 30;
inline constexpr size_t kHeaderCheck = 0x338;
inline constexpr size_t kNameBytes = 32;  // BL, NK and system names
}  // namespace qfm

inline constexpr int kQfmExtendSlots = 5;

// The sections in the order they are checked. Extend1..Extend5 are the
// extension slots 1..5.
enum class QfmSectionKey : int {
  BL, NK, MLO, Userdata, System, Evn, Extend1, Extend2, Extend3, Extend4, Extend5, Cache, Recovery
};
inline constexpr int kQfmSectionCount = 13;

inline constexpr std::array<QfmSectionKey, kQfmSectionCount> kQfmCheckOrder = {
    QfmSectionKey::BL,      QfmSectionKey::NK,      QfmSectionKey::MLO,     QfmSectionKey::Userdata,
    QfmSectionKey::System,  QfmSectionKey::Evn,     QfmSectionKey::Extend1, QfmSectionKey::Extend2,
    QfmSectionKey::Extend3, QfmSectionKey::Extend4, QfmSectionKey::Extend5, QfmSectionKey::Cache,
    QfmSectionKey::Recovery};

// Extend slot 1..5 as a key, and back (0 for a key that is no Extend slot).
constexpr QfmSectionKey ExtendKey(int slot) {
  return static_cast<QfmSectionKey>(static_cast<int>(QfmSectionKey::Extend1) + slot - 1);
}
constexpr int ExtendSlotOf(QfmSectionKey key) {
  int k = static_cast<int>(key) - static_cast<int>(QfmSectionKey::Extend1) + 1;
  return k >= 1 && k <= kQfmExtendSlots ? k : 0;
}

// Where one section's fields lie in the header. nameAt is 0 for sections
// without a name field (MLO, userdata, Evn, cache, Recovery).
struct QfmSectionLayout {
  QfmSectionKey key;
  const char* keyName;  // "BL", "NK", "MLO", "userdata", "system", "Evn", "Extend", "cache", "Recovery"
  size_t presentAt, offsetAt, sizeAt, checkAt, nameAt, nameBytes;
};

constexpr QfmSectionLayout QfmLayoutOf(QfmSectionKey key) {
  using K = QfmSectionKey;
  switch (key) {
    case K::BL: return {key, "BL", 0x080, 0x0B4, 0x0B8, 0x0BC, 0x094, qfm::kNameBytes};
    case K::NK: return {key, "NK", 0x081, 0x0E0, 0x0E4, 0x0E8, 0x0C0, qfm::kNameBytes};
    case K::MLO: return {key, "MLO", 0x082, 0x0EC, 0x0F0, 0x0F4, 0, 0};
    case K::Userdata: return {key, "userdata", 0x083, 0x144, 0x148, 0x14C, 0, 0};
    case K::System: return {key, "system", 0x084, 0x118, 0x11C, 0x120, 0x0F8, qfm::kNameBytes};
    case K::Evn: return {key, "Evn", 0x085, 0x188, 0x18C, 0x190, 0, 0};
    case K::Cache: return {key, "cache", 0x086, 0x150, 0x154, 0x158, 0, 0};
    case K::Recovery: return {key, "Recovery", 0x087, 0x17C, 0x180, 0x184, 0, 0};
    default: {
      size_t i = static_cast<size_t>(ExtendSlotOf(key) - 1);
      return {key,
              "Extend",
              qfm::kExtendPresent + i,
              qfm::kExtendOffsets + 4 * i,
              qfm::kExtendSizes + 4 * i,
              qfm::kExtendChecks + 4 * i,
              qfm::kExtendNames + qfm::kExtendNameBytes * i,
              qfm::kExtendNameBytes};
    }
  }
}

}  // namespace flashery
