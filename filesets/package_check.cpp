#include "filesets/package_check.h"

#include "config/settings.h"
#include "filesets/fileset_layout.h"
#include "filesets/folder_ops.h"
#include "package/extend_binding.h"
#include "package/package_open.h"
#include "platform/paths.h"
#include "text/text_ids.h"
#include "zip/staging.h"

namespace flashery {

namespace {

PackageCheckResult Fail(const ScanContext& ctx, PackageCheckResult r, ScanText message) {
  r.ok = false;
  r.package.packagePath.clear();
  r.message = std::move(message);
  if (r.message.textId >= 0 || !r.message.detail.empty()) ctx.reporter.ShowStatus(ScanSet::Package, r.message);
  ctx.reporter.CheckEnded(ScanSet::Package, false);
  return r;
}

}  // namespace

PackageCheckResult PackageCheckJob(const ScanContext& ctx, const QfmExtensionTable& extensionTable,
                                   std::atomic<unsigned>& backupCounter) {
  PackageCheckResult r;
  r.package.extensionTable = extensionTable;
  ctx.reporter.CheckStarted(ScanSet::Package);
  PackageSearch found;
  if (!ctx.resourceFolder.empty()) found = FindPackageInFolder(ctx.resourceFolder);
  if (found.count != 1) return Fail(ctx, std::move(r), {kTextNoSinglePackage, {}});

  bool staleBrand = false;
  if (auto old = ResolveExisting(JoinPath(ctx.appFolder, kBrandFolderName)); old && FolderExists(*old))
    staleBrand = !DeleteFolder(*old, false);

  std::string errorText;
  PackageContext packageContext{ctx.texts, ctx.prompter, ctx.systemCodepage};
  if (!OpenPackage(r.package, found.path, errorText, packageContext))
    return Fail(ctx, std::move(r), {-1, errorText});

  StagingContext staging{ctx.texts, ctx.prompter, backupCounter, ctx.systemCodepage};
  StagingReport report;
  if (!StageAppPackages(r.package, found.path, ctx.appFolder, staging, &report))
    return Fail(ctx, std::move(r), {});

  if (!BindExtendSections(r.package, errorText, ctx.texts)) return Fail(ctx, std::move(r), {-1, errorText});

  bool brandExists = FolderExists(JoinPath(ctx.appFolder, kBrandFolderName));
  if (brandExists && !(staleBrand && report.archives.empty())) {
    r.brandPresent = true;
    r.brand = BrandScan(ctx, ctx.appFolder);
    if (!r.brand.ok) {
      ScanText message = r.brand.message;
      return Fail(ctx, std::move(r), std::move(message));
    }
  }

  r.ok = true;
  ctx.reporter.CheckEnded(ScanSet::Package, true);
  return r;
}

void ApplyPackageCheck(const PackageCheckResult& result, DownloadSelection& selection, QfmPackage& package) {
  package = result.package;
  if (!result.ok) {
    selection.packagePath.clear();
    selection.packageJob = static_cast<int>(JobState::Failed);
    return;
  }
  selection.packagePath = result.package.packagePath;
  if (result.brandPresent) {
    selection.brandFolder = result.brand.folder;
    selection.brandSelected = 1;
    selection.brandFolderSize = result.brand.folderSize;
  } else {
    selection.brandSelected = 0;
  }
  selection.packageReady = 1;
  selection.packageJob = static_cast<int>(JobState::Succeeded);
}

}  // namespace flashery
