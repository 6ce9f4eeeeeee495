#include "app/admin_password.h"

#include <cctype>
#include <vector>

#include "config/settings.h"
#include "platform/profile.h"

namespace flashery {
namespace {

std::optional<std::string> BytesOfHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<char>(hi * 16 + lo));
  }
  return out;
}

std::vector<std::string_view> SplitDollar(std::string_view s) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t at = s.find('$', start);
    parts.push_back(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  return parts;
}

bool EqualNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

std::optional<AdminPasswordHash> ParseAdminPasswordHash(std::string_view text) {
  auto parts = SplitDollar(text);
  if (parts.size() != 4 || parts[0] != "pbkdf2-sha256") return std::nullopt;
  std::string_view count = parts[1];
  if (count.empty() || count.size() > 7) return std::nullopt;
  uint32_t iterations = 0;
  for (char c : count) {
    if (c < '0' || c > '9') return std::nullopt;
    iterations = iterations * 10 + static_cast<uint32_t>(c - '0');
  }
  if (iterations < 1 || iterations > kMaxPasswordIterations) return std::nullopt;
  auto salt = BytesOfHex(parts[2]);
  auto hash = BytesOfHex(parts[3]);
  if (!salt || salt->size() > 64 || !hash || hash->size() != 32) return std::nullopt;
  AdminPasswordHash out;
  out.iterations = iterations;
  out.salt = *salt;
  for (size_t i = 0; i < 32; ++i) out.hash[i] = static_cast<uint8_t>((*hash)[i]);
  return out;
}

std::string FormatAdminPasswordHash(const std::string& password, const std::string& salt, uint32_t iterations) {
  std::optional<Sha256Digest> digest = Pbkdf2Sha256(password, salt, iterations);
  if (!digest) return "";
  const Sha256Digest& d = *digest;
  return "pbkdf2-sha256$" + std::to_string(iterations) + "$" +
         HexOf(reinterpret_cast<const uint8_t*>(salt.data()), salt.size()) + "$" + HexOf(d.data(), d.size());
}

bool AdminPasswordAccepted(const std::string& typed, const std::string& storedSetting) {
  auto stored = ParseAdminPasswordHash(storedSetting);
  if (!stored) return EqualNoCaseAscii(typed, kBuiltInAdminPassword);
  std::optional<Sha256Digest> digest = Pbkdf2Sha256(typed, stored->salt, stored->iterations);
  if (!digest) return false;
  const Sha256Digest& d = *digest;
  uint8_t diff = 0;  // every byte is compared, whatever the first difference
  for (size_t i = 0; i < d.size(); ++i) diff |= static_cast<uint8_t>(d[i] ^ stored->hash[i]);
  return diff == 0;
}

std::string ReadAdminPasswordSetting(const std::string& appFolder) {
  return GetProfileString(DownloadSettingsPath(appFolder), "Login", "adminPassword", "", 1023);
}

}  // namespace flashery
