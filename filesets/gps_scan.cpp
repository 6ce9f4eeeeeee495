#include "filesets/gps_scan.h"

#include <unistd.h>

#include "filesets/fileset_layout.h"
#include "filesets/folder_ops.h"
#include "filesets/list_codepage.h"
#include "filesets/list_compare.h"
#include "filesets/list_examine.h"
#include "filesets/list_writer.h"
#include "filesets/resources_scan.h"
#include "filesets/scan_text_ids.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace flashery {

SetScanResult GpsScanJob(const ScanContext& ctx) {
  using namespace scan_text;
  constexpr ScanSet kSet = ScanSet::Gps;
  ctx.reporter.CheckStarted(kSet);
  if (ctx.resourceFolder.empty()) return FailScan(ctx, kSet, {kGpsRootEmpty, {}});
  std::string gpsPath = JoinPath(ctx.resourceFolder, kGpsFolderName);
  if (SystemLength(gpsPath, ctx.systemCodepage) > kMaxSetFolderBytes)
    return FailScan(ctx, kSet, {kGpsPathTooLong, {}});
  auto gps = ResolveExisting(gpsPath);
  if (!gps || !IsDirectory(*gps)) return FailScan(ctx, kSet, {kGpsFolderMissing, {}});

  auto ref = ResolvePathNoCase(*gps, std::string(kQuilmapFolderName) + "/" + kGpsReferenceList);
  if (!ref) return FailScan(ctx, kSet, {kGpsListMissing, {}});
  ListProbe probe = ExamineList(*ref, kGpsMarker, ctx.systemCodepage);
  if (!probe.ok) return FailScan(ctx, kSet, {kGpsListMissing, {}});

  std::string missing;
  for (const char* map : kMapFolders)
    if (!FolderExists(JoinPath(JoinPath(*gps, "quilmap"), map))) missing += std::string(" <") + map + ">";
  if (!missing.empty()) return FailScan(ctx, kSet, {kGpsPartsMissing, missing});

  std::string quilmap = DirName(*ref);
  std::string cur = JoinPath(quilmap, kGpsCurrentList);
  if (!MakeEmptyList(cur)) return FailScan(ctx, kSet, {kGpsListFailed, {}});
  ListOptions options;
  options.withCheck = probe.hasChecks;
  options.filter = SetListFilter(kGpsReferenceList, kGpsCurrentList, probe.noThumbs);
  options.naming = {probe.hasMarker, kGpsAnchor, std::string("\\") + kGpsFolderName + "\\" + kQuilmapFolderName};
  options.codepage = probe.codepage;
  bool listed = WriteList(quilmap, cur, options);
  bool matches = listed && CompareLists(*ref, cur, ctx.systemCodepage).accepted;
  ::unlink(cur.c_str());
  if (!listed) return FailScan(ctx, kSet, {kGpsListFailed, {}});
  if (!matches) return FailScan(ctx, kSet, {kGpsListsDiffer, {}});

  // Optional parts.
  bool hasCdrom = FolderExists(JoinPath(*gps, kCdromFolderName));
  auto backup = ResolveExisting(JoinPath(*gps, kBackupFolderName));
  bool hasBackup = backup && IsDirectory(*backup);
  std::string absent;
  if (!hasCdrom) absent += ctx.texts.Get(kNoCdrom);
  if (!hasBackup) absent += ctx.texts.Get(kNoBackup);
  if (!hasCdrom || !hasBackup) {
    int answer = ctx.prompter.Prompt(ctx.texts.Get(kAcceptWithoutOptional) + absent, kAppTitle,
                                     PromptButtons::OkCancel);
    if (answer != kAnswerOk) return FailScan(ctx, kSet, {kGpsPartsMissing, absent});
  }
  if (hasBackup) {
    std::string logical = std::string("\\") + kGpsFolderName + "\\" + kBackupFolderName;
    if (auto failure = CheckResourcesLayout(ctx, *backup, logical, kBackupAnchor))
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
