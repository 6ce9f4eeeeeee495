#include "app/prepare_release.h"

#include "filesets/gps_scan.h"
#include "filesets/resources_scan.h"
#include "platform/paths.h"

namespace flashery {

PreparedRelease RunPrepareChecks(const ScanContext& ctx, const QfmExtensionTable& extensionTable,
                                 bool resourcesTicked, bool gpsTicked, std::atomic<unsigned>& backupCounter) {
  PreparedRelease r;
  r.package = PackageCheckJob(ctx, extensionTable, backupCounter);
  if (!r.package.ok) return r;
  if (resourcesTicked) {
    r.resourcesChecked = true;
    r.resources = ResourcesScanJob(ctx);
    if (!r.resources.ok) return r;
  }
  if (gpsTicked) {
    r.gpsChecked = true;
    r.gps = GpsScanJob(ctx);
  }
  return r;
}

std::string ApplyPrepared(const PreparedRelease& p, DownloadSelection& selection, QfmPackage& package,
                          const TextTable& texts) {
  auto why = [&](const ScanText& t, const std::string& what) {
    std::string text = t.Compose(texts);
    return text.empty() ? what : what + ": " + text;
  };
  const std::string folder = selection.resourceFolder;
  ApplyPackageCheck(p.package, selection, package);
  if (!p.package.ok) return why(p.package.message, "the package of " + folder + " was not accepted");
  if (p.resourcesChecked) {
    ApplyResourcesScan(p.resources, selection);
    if (!p.resources.ok) return why(p.resources.message, "the built-in resources were not accepted");
  }
  if (p.gpsChecked) {
    ApplyGpsScan(p.gps, selection);
    if (!p.gps.ok) return why(p.gps.message, "the GPS set was not accepted");
  }
  return {};
}

std::string NoResourceFolderReason(const std::string& appFolder) {
  return "no resource folder is configured: set iNandfile in section [FilePath] of " +
         JoinPath(appFolder, "downtoolcfg.ini");
}

}  // namespace flashery
