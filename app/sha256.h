// SHA-256, HMAC-SHA-256 and PBKDF2-HMAC-SHA-256: what the administrator
// password check needs to verify a salted, stretched password hash kept in
// the settings. Plain functions over bytes; no state outside the call.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace flashery {

using Sha256Digest = std::array<uint8_t, 32>;

Sha256Digest Sha256(std::string_view bytes);
Sha256Digest HmacSha256(std::string_view key, std::string_view message);
// One 32-byte block of PBKDF2 (the only length the password check uses).
Sha256Digest Pbkdf2Sha256(std::string_view password, std::string_view salt, uint32_t iterations);

std::string HexOf(const uint8_t* bytes, size_t n);

}  // namespace flashery
