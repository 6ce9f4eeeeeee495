#include "filesets/scan_context.h"

#include "config/settings.h"

namespace flashery {

static void Apply(const SetScanResult& r, std::atomic<int>& ready, std::atomic<int>& job, std::string& folder,
                  uint32_t& size) {
  if (!r.ok) {
    job = static_cast<int>(JobState::Failed);
    return;
  }
  ready = 1;
  size = r.folderSize;
  folder = r.folder;
  job = static_cast<int>(JobState::Succeeded);
}

void ApplyResourcesScan(const SetScanResult& result, DownloadSelection& s) {
  Apply(result, s.resourcesReady, s.resourcesJob, s.resourcesFolder, s.resourcesFolderSize);
}

void ApplyGpsScan(const SetScanResult& result, DownloadSelection& s) {
  Apply(result, s.gpsReady, s.gpsJob, s.gpsFolder, s.gpsFolderSize);
}

SetScanResult FailScan(const ScanContext& ctx, ScanSet set, ScanText message) {
  ctx.reporter.ShowStatus(set, message);
  ctx.reporter.CheckEnded(set, false);
  SetScanResult r;
  r.message = std::move(message);
  return r;
}

}  // namespace flashery
