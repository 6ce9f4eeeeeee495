#include "filesets/resources_scan.h"

#include <unistd.h>

#include "filesets/fileset_layout.h"
#include "filesets/folder_ops.h"
#include "filesets/list_codepage.h"
#include "filesets/list_compare.h"
#include "filesets/list_examine.h"
#include "filesets/list_writer.h"
#include "filesets/scan_text_ids.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

bool MakeEmptyList(const std::string& path) {
  if (PathExists(path) && !IsDirectory(path)) ::unlink(path.c_str());
  return WriteWholeFile(path, "");
}

std::optional<ScanText> CheckResourcesLayout(const ScanContext& ctx, const std::string& folder,
                                             const std::string& logicalFolder, const std::string& anchor) {
  using namespace scan_text;
  auto ref = ResolveNoCase(folder, kResourcesReferenceList);
  if (!ref) return ScanText{kResourcesListMissing, {}};
  ListProbe probe = ExamineList(*ref, kResourcesMarker, ctx.systemCodepage);
  if (!probe.ok) return ScanText{kResourcesListMissing, {}};

  std::string missing;
  for (const char* media : kMediaFolders)
    if (!FolderExists(JoinPath(folder, media))) missing += std::string(" <") + media + ">";
  if (!missing.empty()) return ScanText{kResourcesFoldersMissing, missing};

  std::string cur = JoinPath(folder, kResourcesCurrentList);
  if (!MakeEmptyList(cur)) return ScanText{kResourcesListFailed, {}};
  ListOptions options;
  options.withCheck = probe.hasChecks;
  options.filter = SetListFilter(kResourcesReferenceList, kResourcesCurrentList, probe.noThumbs);
  options.naming = {probe.hasMarker, anchor, logicalFolder};
  options.codepage = probe.codepage;
  std::optional<ScanText> failure;
  if (!WriteList(folder, cur, options))
    failure = ScanText{kResourcesListFailed, {}};
  else if (!CompareLists(*ref, cur, ctx.systemCodepage).accepted)
    failure = ScanText{kResourcesListsDiffer, {}};
  ::unlink(cur.c_str());
  return failure;
}

SetScanResult ResourcesScanJob(const ScanContext& ctx) {
  using namespace scan_text;
  constexpr ScanSet kSet = ScanSet::Resources;
  ctx.reporter.CheckStarted(kSet);
  if (ctx.resourceFolder.empty()) return FailScan(ctx, kSet, {kResourcesRootEmpty, {}});
  std::string folder = JoinPath(ctx.resourceFolder, kResourcesFolderName);
  if (SystemLength(folder, ctx.systemCodepage) > kMaxSetFolderBytes)
    return FailScan(ctx, kSet, {kResourcesPathTooLong, {}});
  auto real = ResolveExisting(folder);
  if (!real || !IsDirectory(*real)) return FailScan(ctx, kSet, {kResourcesFolderMissing, folder});

  if (auto failure = CheckResourcesLayout(ctx, *real, std::string("\\") + kResourcesFolderName, kResourcesAnchor))
    return FailScan(ctx, kSet, *failure);

  SetScanResult result;
  result.ok = true;
  result.folder = *real;
  result.folderSize = FolderSize(*real);
  ctx.reporter.CheckEnded(kSet, true);
  return result;
}

}  // namespace flashery
