// The download file dialog's decisions, without widgets: what each part's
// box and status line show (package, built-in resources, GPS), what
// choosing a folder resets, what ticking a box starts, what a finished
// check changes, when the dialog may close, and what OK stores.
//
// Everything here runs on the dialog's (GUI) thread: the check workers
// never touch the model or the DownloadSelection; the dialog applies a
// finished check's result object (filesets' Apply* functions) and then
// calls WorkerEnded.
//
// Beyond the original:
// - choosing a folder puts every line without a note back to its "not
//   selected" text and state, so no line stays green for the folder that
//   was left (its readiness was reset);
// - the folder cannot be changed while a check runs, so a check of the old
//   folder can never mark the new one ready.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "config/settings.h"
#include "filesets/scan_reporter.h"
#include "text/text_table.h"

namespace flashery {

enum class ConfigPart : int { Package = 0, Resources = 1, Gps = 2 };
constexpr int kConfigParts = 3;

struct PartTexts {
  int notSelected, running, ready;
  const char* counterFormat;  // after the running text
};
PartTexts TextsOfPart(ConfigPart part);

// Status line colours by job state (0 grey, 1 orange, 2 green, 3 red), as
// 0x00BBGGRR values.
uint32_t JobStateColorRef(int jobState);

struct PartLine {
  bool ticked = false;
  bool boxEnabled = true;
  ScanText text;
  int counter = 0;
};

struct FolderProbe {
  bool package = false;    // a *.QFM file
  bool gps = false;        // GPS folder
  bool resources = false;  // 内置资源 folder
  bool brand = false;      // quillon folder
};
FolderProbe ProbeResourceFolder(const std::string& path);

class DownloadDialogModel {
 public:
  // The lines as the dialog opens, from the selection (job states set).
  explicit DownloadDialogModel(DownloadSelection& selection);

  const PartLine& line(ConfigPart part) const { return lines_[Index(part)]; }
  int jobState(ConfigPart part) const;
  std::string LineText(ConfigPart part, const TextTable& texts) const { return line(part).text.Compose(texts); }
  uint32_t LineColorRef(ConfigPart part) const { return JobStateColorRef(jobState(part)); }
  bool AnyRunning() const;
  bool folderButtonEnabled() const { return !AnyRunning(); }
  // The brand line (hidden) shows this note id, or -1.
  int brandNote() const { return brandNote_; }

  // A folder was chosen: readiness and selection flags reset, notes shown.
  void FolderChosen(const std::string& path, const FolderProbe& probe);
  // A box was ticked or unticked; true when its check is to be started.
  // brandFolderExists: the program folder holds "quillon".
  bool Tick(ConfigPart part, bool ticked, bool brandFolderExists);
  // A message of the part's running check for its status line.
  void ShowCheckStatus(ConfigPart part, const ScanText& text) { lines_[Index(part)].text = text; }
  // One tick of a running part's 500 ms timer.
  void CounterTick(ConfigPart part);
  // The part's check ended and its result was applied to the selection.
  // failure: the check's own message (shown when it names a text).
  void WorkerEnded(ConfigPart part, bool ok, const ScanText& failure);
  // OK: the selection flags follow the boxes.
  void ApplyOk();

 private:
  static size_t Index(ConfigPart p) { return static_cast<size_t>(p); }
  std::atomic<int>& JobOf(ConfigPart part) const;
  std::atomic<int>& ReadyOf(ConfigPart part) const;
  void SetFlag(ConfigPart part, bool on);

  DownloadSelection& sel_;
  std::array<PartLine, kConfigParts> lines_{};
  int brandNote_ = -1;
};

// The selection as the dialog found it: the persisted part, readiness and
// check states. Cancel puts it back, so nothing of a cancelled dialog is
// used (or saved later with another change).
struct SelectionSnapshot {
  DownloadSelection persisted;
  std::array<int, kConfigParts> ready{};
  std::array<int, kConfigParts> job{};
};
SelectionSnapshot TakeSelectionSnapshot(const DownloadSelection& selection);
void RestoreSelection(DownloadSelection& selection, const SelectionSnapshot& snapshot);

// The note shown in the dialog when port jobs run while it is open (in
// Chinese when the language id is 2052).
std::string RunningJobsNote(int languageId, int runningJobs);

}  // namespace flashery
