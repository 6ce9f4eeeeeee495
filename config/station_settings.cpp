#include "config/station_settings.h"

#include <charconv>

#include "config/settings.h"
#include "platform/profile.h"

namespace flashery {

namespace {

// The whole value as a decimal number within [low, high], blanks around it
// allowed; anything else is not a value.
bool ReadNumber(const std::string& path, const char* key, int32_t low, int32_t high, int32_t& out) {
  std::string text = GetProfileString(path, "Station", key);
  size_t b = text.find_first_not_of(" \t");
  size_t e = text.find_last_not_of(" \t");
  if (b == std::string::npos) return false;
  int32_t v = 0;
  auto [end, ec] = std::from_chars(text.data() + b, text.data() + e + 1, v);
  if (ec != std::errc() || end != text.data() + e + 1 || v < low || v > high) return false;
  out = v;
  return true;
}

}  // namespace

StationSettings LoadStationSettings(const std::string& appFolder) {
  StationSettings s;
  const std::string path = DownloadSettingsPath(appFolder);
  int32_t v = 0;
  if (ReadNumber(path, "goneFailSeconds", 0, 3600, v)) s.goneFailSeconds = static_cast<uint32_t>(v);
  if (ReadNumber(path, "failureSound", 0, 1, v)) s.failureSound = v == 1;
  return s;
}

}  // namespace flashery
