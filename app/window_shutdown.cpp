#include "app/window_shutdown.h"

#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

ShutdownResult RunWindowShutdownSteps(const std::string& appFolder, const DownloadSelection& sel) {
  ShutdownResult r;
  if (auto staging = ResolveNoCase(appFolder, "quillon"); staging && IsDirectory(*staging)) {
    RemoveTree(*staging);
    r.stagingRemoved = !PathExists(*staging);
  }
  r.settingsSaved = SaveSettings(appFolder, sel);
  return r;
}

}  // namespace flashery
