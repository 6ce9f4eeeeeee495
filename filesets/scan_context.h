// What a configuration check is given, and what a set check hands back.
//
// A check reads only its context (copied when it starts) and writes only its
// own result; the dialog applies the result to the DownloadSelection on its
// own thread once the worker has ended, so the selection is never written by
// two threads at once.
#pragma once

#include <cstdint>
#include <string>

#include "filesets/scan_reporter.h"
#include "platform/codepage.h"

namespace flashery {

class Prompter;
class TextTable;
struct DownloadSelection;

struct ScanContext {
  std::string resourceFolder;  // the chosen root (resourceFolder)
  std::string appFolder;       // the program folder (staging, brand set)
  const TextTable& texts;
  Prompter& prompter;          // the one question of the GPS check
  ScanReporter& reporter;
  Codepage systemCodepage = Codepage::Gbk;  // lengths and legacy lists
};

// The outcome of the built-in resources or the GPS check.
struct SetScanResult {
  bool ok = false;
  ScanText message;         // what the status line shows on failure
  std::string folder;       // the accepted set folder
  uint32_t folderSize = 0;  // FolderSize of it
};

// Applies a finished check: on success readiness 1, the folder, its size
// and job state 2; on failure job state 3 (readiness as it was).
void ApplyResourcesScan(const SetScanResult& result, DownloadSelection& selection);
void ApplyGpsScan(const SetScanResult& result, DownloadSelection& selection);

// The failure pattern of every check step: the message to the set's status
// line, the check ended, the result handed back.
SetScanResult FailScan(const ScanContext& ctx, ScanSet set, ScanText message);

}  // namespace flashery
