#include "app/download_dialog_model.h"

#include "filesets/fileset_layout.h"
#include "filesets/folder_ops.h"
#include "platform/paths.h"
#include "text/status.h"

namespace flashery {

PartTexts TextsOfPart(ConfigPart part) {
  switch (part) {
    case ConfigPart::Package: return {114, 9, 102, " %dS..."};
    case ConfigPart::Resources: return {115, 3, 4, " %dS..."};
    case ConfigPart::Gps: return {116, 1, 2, "%dS..."};
  }
  return {114, 9, 102, " %dS..."};
}

uint32_t JobStateColorRef(int jobState) {
  switch (jobState) {
    case 1: return 0x4080FF;
    case 2: return 0x00FF00;
    case 3: return 0x0000FF;
    default: return 0x808080;
  }
}

FolderProbe ProbeResourceFolder(const std::string& path) {
  FolderProbe p;
  p.package = FindPackageInFolder(path).count > 0;
  p.gps = FolderExists(JoinPath(path, kGpsFolderName));
  p.resources = FolderExists(JoinPath(path, kResourcesFolderName));
  p.brand = FolderExists(JoinPath(path, kBrandFolderName));
  return p;
}

DownloadDialogModel::DownloadDialogModel(DownloadSelection& sel) : sel_(sel) {
  bool package = (sel.bootloaderSelected || sel.kernelSelected || sel.systemSelected) && sel.packageReady == 1;
  bool resources = sel.resourcesSelected && sel.resourcesReady == 1;
  bool gps = sel.gpsSelected && sel.gpsReady == 1;
  const bool on[kConfigParts] = {package, resources, gps};
  for (int i = 0; i < kConfigParts; ++i) {
    auto part = static_cast<ConfigPart>(i);
    PartTexts t = TextsOfPart(part);
    lines_[Index(part)].ticked = on[i];
    lines_[Index(part)].text = ScanText{on[i] ? t.ready : t.notSelected, ""};
    JobOf(part) = on[i] ? 2 : 0;
  }
}

std::atomic<int>& DownloadDialogModel::JobOf(ConfigPart part) const {
  switch (part) {
    case ConfigPart::Package: return sel_.packageJob;
    case ConfigPart::Resources: return sel_.resourcesJob;
    case ConfigPart::Gps: return sel_.gpsJob;
  }
  return sel_.packageJob;
}

std::atomic<int>& DownloadDialogModel::ReadyOf(ConfigPart part) const {
  switch (part) {
    case ConfigPart::Package: return sel_.packageReady;
    case ConfigPart::Resources: return sel_.resourcesReady;
    case ConfigPart::Gps: return sel_.gpsReady;
  }
  return sel_.packageReady;
}

int DownloadDialogModel::jobState(ConfigPart part) const { return JobOf(part).load(); }

bool DownloadDialogModel::AnyRunning() const {
  for (int i = 0; i < kConfigParts; ++i)
    if (jobState(static_cast<ConfigPart>(i)) == 1) return true;
  return false;
}

void DownloadDialogModel::SetFlag(ConfigPart part, bool on) {
  int v = on ? 1 : 0;
  switch (part) {
    case ConfigPart::Package:
      sel_.bootloaderSelected = sel_.kernelSelected = sel_.systemSelected = v;
      if (!on) sel_.brandSelected = 0;
      break;
    case ConfigPart::Resources: sel_.resourcesSelected = v; break;
    case ConfigPart::Gps: sel_.gpsSelected = v; break;
  }
}

void DownloadDialogModel::FolderChosen(const std::string& path, const FolderProbe& probe) {
  if (AnyRunning()) return;
  for (int i = 0; i < kConfigParts; ++i) {
    auto part = static_cast<ConfigPart>(i);
    ReadyOf(part) = 0;
    JobOf(part) = 0;
    SetFlag(part, false);
    PartLine& l = lines_[Index(part)];
    l.ticked = false;
    l.boxEnabled = true;
    l.text = ScanText{TextsOfPart(part).notSelected, ""};
  }
  sel_.brandSelected = 0;
  if (!probe.package) lines_[Index(ConfigPart::Package)].text = ScanText{8, ""};
  if (!probe.gps) lines_[Index(ConfigPart::Gps)].text = ScanText{10, ""};
  if (!probe.resources) lines_[Index(ConfigPart::Resources)].text = ScanText{17, ""};
  brandNote_ = probe.brand ? -1 : 24;
  sel_.resourceFolder = path;
}

bool DownloadDialogModel::Tick(ConfigPart part, bool ticked, bool brandFolderExists) {
  PartLine& l = lines_[Index(part)];
  PartTexts t = TextsOfPart(part);
  l.ticked = ticked;
  if (!ticked) {
    SetFlag(part, false);
    JobOf(part) = 0;
    l.text = ScanText{t.notSelected, ""};
    l.boxEnabled = true;
    return false;
  }
  SetFlag(part, true);
  if (part == ConfigPart::Package && brandFolderExists) sel_.brandSelected = 1;
  l.counter = 0;
  if (ReadyOf(part) == 1) {
    JobOf(part) = 2;
    l.text = ScanText{t.ready, ""};
    l.boxEnabled = true;
    return false;
  }
  JobOf(part) = 1;
  l.text = ScanText{t.running, ""};
  l.boxEnabled = false;
  return true;
}

void DownloadDialogModel::CounterTick(ConfigPart part) {
  PartLine& l = lines_[Index(part)];
  if (jobState(part) != 1) return;
  PartTexts t = TextsOfPart(part);
  l.text = ScanText{t.running, FormatString(t.counterFormat, l.counter)};
  ++l.counter;
}

void DownloadDialogModel::WorkerEnded(ConfigPart part, bool ok, const ScanText& failure) {
  PartLine& l = lines_[Index(part)];
  l.boxEnabled = true;
  if (ok) {
    JobOf(part) = 2;
    ReadyOf(part) = 1;
    l.text = ScanText{TextsOfPart(part).ready, ""};
    return;
  }
  JobOf(part) = 3;
  ReadyOf(part) = 0;
  SetFlag(part, false);
  l.ticked = false;
  if (failure.textId >= 0 || !failure.detail.empty()) l.text = failure;
}

void DownloadDialogModel::ApplyOk() {
  SetFlag(ConfigPart::Package, line(ConfigPart::Package).ticked);
  sel_.gpsSelected = line(ConfigPart::Gps).ticked ? 1 : 0;
  sel_.resourcesSelected = line(ConfigPart::Resources).ticked ? 1 : 0;
}

std::string RunningJobsNote(int languageId, int runningJobs) {
  std::string n = std::to_string(runningJobs);
  if (languageId == 2052) return n + " 个端口正在下载：它们继续写入开始时的配置，新的配置只用于之后开始的端口。";
  return n + " port(s) are downloading: they keep writing what they started with; a new choice applies to ports "
             "started afterwards.";
}

SelectionSnapshot TakeSelectionSnapshot(const DownloadSelection& sel) {
  SelectionSnapshot s;
  s.persisted = sel;
  s.ready = {sel.packageReady.load(), sel.resourcesReady.load(), sel.gpsReady.load()};
  s.job = {sel.packageJob.load(), sel.resourcesJob.load(), sel.gpsJob.load()};
  return s;
}

void RestoreSelection(DownloadSelection& sel, const SelectionSnapshot& s) {
  sel = s.persisted;
  sel.packageReady.store(s.ready[0]);
  sel.resourcesReady.store(s.ready[1]);
  sel.gpsReady.store(s.ready[2]);
  sel.packageJob.store(s.job[0]);
  sel.resourcesJob.store(s.job[1]);
  sel.gpsJob.store(s.job[2]);
}

}  // namespace flashery
