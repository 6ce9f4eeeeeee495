#include "filesets/resources_scan.h"

#include "filesets/fileset_layout.h"
#include "filesets/folder_ops.h"
#include "filesets/list_codepage.h"
#include "filesets/set_listing.h"
#include "text/text_ids.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

std::optional<ScanText> CheckResourcesLayout(const ScanContext& ctx, const std::string& folder,
                                             const std::string& logicalFolder, const std::string& anchor) {
  auto ref = ResolveNoCase(folder, kResourcesReferenceList);
  if (!ref) return ScanText{kTextResourcesListMissing, {}};
  ListProbe probe = ExamineList(*ref, kResourcesMarker, ctx.systemCodepage);
  if (probe.undecodable) return ScanText{kTextResourcesListingFailed, UndecodableListDetail(*ref, probe.codepage)};
  if (!probe.ok) return ScanText{kTextResourcesListMissing, {}};

  std::string missing;
  for (const char* media : kMediaFolders)
    if (!FolderExists(JoinPath(folder, media))) missing += std::string(" <") + media + ">";
  if (!missing.empty()) return ScanText{kTextResourcesIncomplete, missing};

  ListOptions options =
      CurrentListOptions(probe, kResourcesReferenceList, kResourcesCurrentList, anchor, logicalFolder);
  ListRefusal refused;
  switch (ListAndCompare(folder, *ref, JoinPath(folder, kResourcesCurrentList), options, ctx.systemCodepage,
                         &refused)) {
    case SetListing::Matches: return std::nullopt;
    case SetListing::ListFailed: return ScanText{kTextResourcesListingFailed, RefusedNameDetail(ctx.texts, refused)};
    case SetListing::Differs: break;
  }
  return ScanText{kTextResourcesMismatch, {}};
}

SetScanResult ResourcesScanJob(const ScanContext& ctx) {
  constexpr ScanSet kSet = ScanSet::Resources;
  ctx.reporter.CheckStarted(kSet);
  if (ctx.resourceFolder.empty()) return FailScan(ctx, kSet, {kTextNoResourcesFolder, {}});
  std::string folder = JoinPath(ctx.resourceFolder, kResourcesFolderName);
  if (SystemLength(folder, ctx.systemCodepage) > kMaxSetFolderBytes)
    return FailScan(ctx, kSet, {kTextResourcesPathTooLong, {}});
  auto real = ResolveExisting(folder);
  if (!real || !IsDirectory(*real)) return FailScan(ctx, kSet, {kTextResourcesFolderMissing, folder});

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
