#include "zip/pkware_cipher.h"

#include "zip/crc32.h"

namespace flashery {

PkwareCipher::PkwareCipher(std::string_view password) {
  for (char c : password) UpdateKeys(static_cast<uint8_t>(c));
}

void PkwareCipher::UpdateKeys(uint8_t plain) {
  key0_ = Crc32Step(key0_, plain);
  key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1;
  key2_ = Crc32Step(key2_, static_cast<uint8_t>(key1_ >> 24));
}

uint8_t PkwareCipher::DecryptByte(uint8_t cipherByte) {
  uint16_t t = static_cast<uint16_t>((key2_ & 0xFFFF) | 2);
  uint8_t plain = cipherByte ^ static_cast<uint8_t>((t * (t ^ 1u)) >> 8);
  UpdateKeys(plain);
  return plain;
}

void PkwareCipher::Decrypt(uint8_t* data, size_t n) {
  for (size_t i = 0; i < n; ++i) data[i] = DecryptByte(data[i]);
}

bool EncryptionHeaderMatches(const uint8_t (&header)[kEncryptionHeaderBytes], uint32_t reference,
                             uint8_t versionNeeded) {
  if (versionNeeded < 20) {
    uint16_t stored = static_cast<uint16_t>(header[10] | header[11] << 8);
    return stored == static_cast<uint16_t>(reference >> 16);
  }
  return header[11] == static_cast<uint8_t>(reference >> 24);
}

}  // namespace flashery
