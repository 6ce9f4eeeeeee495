// The administrator password of the login.
//
// The built-in password is "746", compared without regard to letter case.
// A station may replace it: key "adminPassword" of section "Login" in
// downtoolcfg.ini may hold a salted, stretched hash of another password,
//   pbkdf2-sha256$ITERATIONS$SALT$HASH
// with ITERATIONS 1 ... 1,000,000 (decimal), SALT 0 ... 64 bytes and HASH
// the 32 bytes of PBKDF2-HMAC-SHA-256 (libcrypto's), both in hexadecimal. A hashed
// password is compared exactly (letter case counts). While the key holds
// such a value, "746" is no longer accepted. An empty key, or a value that
// is not of this shape (a hand-edited or truncated line), leaves the
// built-in password in force: the stretched count is bounded so a hostile
// settings file cannot stall the login.
//
// The answer is a plain yes or no; the login shows the same message for
// every wrong password, so it never tells which password is in force.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/password_kdf.h"

namespace flashery {

inline constexpr const char* kBuiltInAdminPassword = "746";
inline constexpr uint32_t kMaxPasswordIterations = 1000000;

struct AdminPasswordHash {
  uint32_t iterations = 0;
  std::string salt;  // raw bytes
  Sha256Digest hash{};
};

std::optional<AdminPasswordHash> ParseAdminPasswordHash(std::string_view text);
// The stored form of `password`; empty when the digest cannot be computed.
std::string FormatAdminPasswordHash(const std::string& password, const std::string& salt, uint32_t iterations);

// storedSetting: the value of Login/adminPassword (empty when absent).
bool AdminPasswordAccepted(const std::string& typed, const std::string& storedSetting);

// The stored setting of the program folder's downtoolcfg.ini.
std::string ReadAdminPasswordSetting(const std::string& appFolder);

}  // namespace flashery
