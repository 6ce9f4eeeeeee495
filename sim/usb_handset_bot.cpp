#include "sim/usb_handset_bot.h"

#include "sim/vendor_command.h"
#include "text/status.h"

namespace flashery::sim {

namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

uint8_t Cbw::direction() const {
  if (dataLength == 0) return kDirNone;
  return dataIn ? kDirFromDevice : kDirToDevice;
}

CbwParse ParseCbw(const uint8_t* bytes, size_t length) {
  CbwParse p;
  if (bytes == nullptr || length != kCbwBytes) {
    p.error = FormatString("a command wrapper of %zu bytes (31 expected)", length);
    return p;
  }
  if (Le32(bytes) != kCbwSignature) {
    p.error = FormatString("command wrapper signature 0x%08x", Le32(bytes));
    return p;
  }
  uint8_t flags = bytes[12], lun = bytes[13], cbLength = bytes[14];
  if ((flags & 0x7F) != 0) {
    p.error = FormatString("reserved flag bits 0x%02x set", flags & 0x7F);
    return p;
  }
  if (lun != 0) {
    p.error = FormatString("LUN byte 0x%02x (the handset has LUN 0 only)", lun);
    return p;
  }
  if (cbLength < 1 || cbLength > 16) {
    p.error = FormatString("command block length %u", cbLength);
    return p;
  }
  p.cbw.tag = Le32(bytes + 4);
  p.cbw.dataLength = Le32(bytes + 8);
  p.cbw.dataIn = (flags & 0x80) != 0;
  p.cbw.cdbLength = cbLength;
  for (uint8_t i = 0; i < cbLength; ++i) p.cbw.cdb[i] = bytes[15 + i];
  p.ok = true;
  return p;
}

std::array<uint8_t, kCswBytes> BuildCsw(uint32_t tag, uint32_t residue, CswStatus status) {
  std::array<uint8_t, kCswBytes> csw{};
  PutLe32(csw.data(), kCswSignature);
  PutLe32(csw.data() + 4, tag);
  PutLe32(csw.data() + 8, residue);
  csw[12] = static_cast<uint8_t>(status);
  return csw;
}

}  // namespace flashery::sim
