#include "config/station_codepage.h"

#include "config/settings.h"
#include "platform/profile.h"

namespace flashery {

Codepage StationCodepage(const std::string& appFolder) {
  int32_t number = GetProfileInt(DownloadSettingsPath(appFolder), "Station", "codePage", kDefaultCodepageNumber);
  return CodepageOfNumber(number).value_or(Codepage::Gbk);
}

}  // namespace flashery
