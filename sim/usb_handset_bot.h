// The USB mass-storage bulk-only transport as the USB handset speaks it:
// the 31-byte command block wrapper (CBW) that the host sends on the bulk
// OUT endpoint before every command, and the 13-byte command status wrapper
// (CSW) that ends every command on the bulk IN endpoint. All numbers are
// little-endian.
//
//   CBW  0 signature 0x43425355 ("USBC")   CSW  0 signature 0x53425355 ("USBS")
//        4 tag                                  4 tag (the CBW's)
//        8 data transfer length                 8 data residue
//       12 flags (bit 7: data to the host)     12 status: 0 passed, 1 failed,
//       13 LUN (bits 0-3)                         2 phase error
//       14 command block length (1-16)
//       15 command block (16 bytes)
//
// A wrapper that is not exactly 31 bytes, has another signature, sets
// reserved bits, names a LUN other than 0 (the handset has one) or gives a
// block length outside 1-16 is refused: the handset then halts both bulk
// endpoints until the host resets it, as the transport prescribes for a
// CBW that is not valid and meaningful.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace flashery::sim {

constexpr uint32_t kCbwSignature = 0x43425355;
constexpr uint32_t kCswSignature = 0x53425355;
constexpr size_t kCbwBytes = 31;
constexpr size_t kCswBytes = 13;

enum class CswStatus : uint8_t { kPassed = 0, kFailed = 1, kPhaseError = 2 };

struct Cbw {
  uint32_t tag = 0;
  uint32_t dataLength = 0;
  bool dataIn = false;  // flags bit 7; meaningful only when dataLength > 0
  uint8_t cdbLength = 0;
  std::array<uint8_t, 16> cdb{};  // bytes past cdbLength are 0

  // The data phase as the handset model numbers it (kDirNone, kDirToDevice,
  // kDirFromDevice).
  uint8_t direction() const;
};

struct CbwParse {
  bool ok = false;
  Cbw cbw;
  std::string error;  // why the wrapper was refused
};

CbwParse ParseCbw(const uint8_t* bytes, size_t length);
std::array<uint8_t, kCswBytes> BuildCsw(uint32_t tag, uint32_t residue, CswStatus status);

}  // namespace flashery::sim
