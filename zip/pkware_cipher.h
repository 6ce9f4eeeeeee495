// The traditional PKWARE stream cipher of zip entries (flags bit 0 without
// strong encryption): three 32-bit keys updated by every plain byte. An
// encrypted entry's data start with a 12-byte encryption header whose last
// bytes repeat a reference value the reader knows, which is how a wrong
// password is detected before any output is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace flashery {

inline constexpr size_t kEncryptionHeaderBytes = 12;

class PkwareCipher {
 public:
  // Keys preset and fed with every byte of the password.
  explicit PkwareCipher(std::string_view password);

  uint8_t DecryptByte(uint8_t cipherByte);
  void Decrypt(uint8_t* data, size_t n);

 private:
  void UpdateKeys(uint8_t plain);
  uint32_t key0_ = 0x12345678u, key1_ = 0x23456789u, key2_ = 0x34567890u;
};

// Decides whether a decrypted encryption header proves the password right.
// `reference` is the entry's CRC-32, or the local header's modification
// time in the high 16 bits when the sizes follow in a data descriptor.
// Archives that need a version below 2.0 repeat two bytes of the reference
// (header bytes 10 and 11 = its high 16 bits); later ones only its top
// byte (header byte 11).
bool EncryptionHeaderMatches(const uint8_t (&header)[kEncryptionHeaderBytes], uint32_t reference,
                             uint8_t versionNeeded);

}  // namespace flashery
