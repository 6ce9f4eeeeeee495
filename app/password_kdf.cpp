#include "app/password_kdf.h"

#include <climits>
#include <openssl/evp.h>

namespace flashery {

std::optional<Sha256Digest> Pbkdf2Sha256(std::string_view password, std::string_view salt, uint32_t iterations) {
  if (password.size() > INT_MAX || salt.size() > INT_MAX || iterations == 0 || iterations > INT_MAX)
    return std::nullopt;
  static const unsigned char kNoBytes = 0;  // the library wants a pointer even for nothing
  const char* pass = password.empty() ? reinterpret_cast<const char*>(&kNoBytes) : password.data();
  const unsigned char* saltBytes =
      salt.empty() ? &kNoBytes : reinterpret_cast<const unsigned char*>(salt.data());
  Sha256Digest out{};
  if (PKCS5_PBKDF2_HMAC(pass, static_cast<int>(password.size()), saltBytes, static_cast<int>(salt.size()),
                        static_cast<int>(iterations), EVP_sha256(), static_cast<int>(out.size()), out.data()) != 1)
    return std::nullopt;
  return out;
}

std::string HexOf(const uint8_t* bytes, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(digits[bytes[i] >> 4]);
    out.push_back(digits[bytes[i] & 15]);
  }
  return out;
}

}  // namespace flashery
