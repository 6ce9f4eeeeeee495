#include "filesets/gps_scan.h"

#include "filesets/fileset_layout.h"
#include "filesets/folder_ops.h"
#include "filesets/list_codepage.h"
#include "filesets/set_listing.h"
#include "filesets/resources_scan.h"
#include "text/text_ids.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace flashery {

SetScanResult GpsScanJob(const ScanContext& ctx) {
  constexpr ScanSet kSet = ScanSet::Gps;
  ctx.reporter.CheckStarted(kSet);
  if (ctx.resourceFolder.empty()) return FailScan(ctx, kSet, {kTextNoGpsFolder, {}});
  std::string gpsPath = JoinPath(ctx.resourceFolder, kGpsFolderName);
  if (SystemLength(gpsPath, ctx.systemCodepage) > kMaxSetFolderBytes)
    return FailScan(ctx, kSet, {kTextGpsPathTooLong, {}});
  auto gps = ResolveExisting(gpsPath);
  if (!gps || !IsDirectory(*gps)) return FailScan(ctx, kSet, {kTextGpsFolderMissing, {}});

  auto ref = ResolvePathNoCase(*gps, std::string(kQuilmapFolderName) + "/" + kGpsReferenceList);
  if (!ref) return FailScan(ctx, kSet, {kTextGpsListMissing, {}});
  ListProbe probe = ExamineList(*ref, kGpsMarker, ctx.systemCodepage);
  if (probe.undecodable)
    return FailScan(ctx, kSet, {kTextGpsListingFailed, UndecodableListDetail(*ref, probe.codepage)});
  if (!probe.ok) return FailScan(ctx, kSet, {kTextGpsListMissing, {}});

  std::string missing;
  for (const char* map : kMapFolders)
    if (!FolderExists(JoinPath(JoinPath(*gps, "quilmap"), map))) missing += std::string(" <") + map + ">";
  if (!missing.empty()) return FailScan(ctx, kSet, {kTextGpsIncomplete, missing});

  std::string quilmap = DirName(*ref);
  std::string logical = std::string("\\") + kGpsFolderName + "\\" + kQuilmapFolderName;
  ListOptions options = CurrentListOptions(probe, kGpsReferenceList, kGpsCurrentList, kGpsAnchor, logical);
  ListRefusal refused;
  switch (ListAndCompare(quilmap, *ref, JoinPath(quilmap, kGpsCurrentList), options, ctx.systemCodepage, &refused)) {
    case SetListing::Matches: break;
    case SetListing::ListFailed:
      return FailScan(ctx, kSet, {kTextGpsListingFailed, RefusedNameDetail(ctx.texts, refused)});
    case SetListing::Differs: return FailScan(ctx, kSet, {kTextGpsMismatch, {}});
  }

  // Optional parts.
  bool hasCdrom = FolderExists(JoinPath(*gps, kCdromFolderName));
  auto backup = ResolveExisting(JoinPath(*gps, kBackupFolderName));
  bool hasBackup = backup && IsDirectory(*backup);
  std::string absent;
  if (!hasCdrom) absent += ctx.texts.Get(kTextGpsNoCdrom);
  if (!hasBackup) absent += ctx.texts.Get(kTextGpsNoBackup);
  if (!hasCdrom || !hasBackup) {
    int answer = ctx.prompter.Prompt(ctx.texts.Get(kTextGpsOptionalMissing) + absent, kAppTitle,
                                     PromptButtons::OkCancel);
    if (answer != kAnswerOk) return FailScan(ctx, kSet, {kTextGpsIncomplete, absent});
  }
  if (hasBackup) {
    std::string backupLogical = std::string("\\") + kGpsFolderName + "\\" + kBackupFolderName;
    if (auto failure = CheckResourcesLayout(ctx, *backup, backupLogical, kBackupAnchor))
      return FailScan(ctx, kSet, *failure);
  }

  SetScanResult result;
  result.ok = true;
  result.folder = *gps;
  result.folderSize = FolderSize(*gps);
  ctx.reporter.CheckEnded(kSet, true);
  return result;
}

}  // namespace flashery
