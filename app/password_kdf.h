// PBKDF2-HMAC-SHA-256 of the administrator password, computed by libcrypto.
// A plain function over bytes; no state outside the call.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace flashery {

using Sha256Digest = std::array<uint8_t, 32>;

// One 32-byte block of PBKDF2 (the only length the password check uses);
// nullopt when the library refuses the input (never a made-up digest).
std::optional<Sha256Digest> Pbkdf2Sha256(std::string_view password, std::string_view salt, uint32_t iterations);

std::string HexOf(const uint8_t* bytes, size_t n);

}  // namespace flashery
