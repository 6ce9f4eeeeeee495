#include "config/station_codepage.h"

#include "config/settings.h"
#include "platform/profile.h"

namespace flashery {

std::optional<Codepage> CodepageOfNumber(int32_t number) {
  switch (number) {
    case 936: return Codepage::Gbk;
    case 950: return Codepage::Big5;
    case 1252: return Codepage::Cp1252;
    default: return std::nullopt;
  }
}

Codepage StationCodepage(const std::string& appFolder) {
  int32_t number = GetProfileInt(DownloadSettingsPath(appFolder), "Station", "codePage", kDefaultCodepageNumber);
  return CodepageOfNumber(number).value_or(Codepage::Gbk);
}

}  // namespace flashery
