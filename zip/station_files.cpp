#include "zip/station_files.h"

#include "platform/paths.h"

namespace flashery {

bool IsStationFileName(std::string_view first, bool isFileItself) {
  static constexpr std::string_view kReserved[] = {"downtoolcfg.ini", "Prtcfg.ini",    "log",
                                                   "Upgrade_Backup",  "flashery",      "flashery-pack",
                                                   "flashery-sim",    "flashery-usb-handset"};
  for (std::string_view r : kReserved)
    if (EqualsNoCase(first, r)) return true;
  if (MatchesWildcard(first, "*.lng")) return true;
  if (EqualsNoCase(first, kStagingFolderName)) return isFileItself || first != kStagingFolderName;
  return false;
}

}  // namespace flashery
