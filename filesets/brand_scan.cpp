#include "filesets/brand_scan.h"

#include "filesets/fileset_layout.h"
#include "filesets/folder_ops.h"
#include "filesets/list_codepage.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "text/text_ids.h"

namespace flashery {

BrandScanResult BrandScan(const ScanContext& ctx, const std::string& base) {
  BrandScanResult r;
  if (base.empty()) {
    r.message = {kTextNoBrandFolder, {}};
    return r;
  }
  std::string brand = JoinPath(base, kBrandFolderName);
  if (SystemLength(brand, ctx.systemCodepage) > kMaxSetFolderBytes) {
    r.message = {kTextBrandPathTooLong, {}};
    return r;
  }
  auto real = ResolveExisting(brand);
  if (!real || !IsDirectory(*real)) {
    r.message = {kTextBrandFolderMissing, brand};
    return r;
  }
  if (!FolderExists(JoinPath(*real, kPresetAppFolderName))) {
    r.message = {kTextBrandIncomplete, std::string(" <") + kPresetAppFolderName + ">"};
    return r;
  }
  r.ok = true;
  r.folder = *real;
  r.folderSize = FolderSize(*real);
  return r;
}

}  // namespace flashery
