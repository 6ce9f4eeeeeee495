// Preparing the release from the saved settings, without the download file
// dialog: the checks its workers run when OK is pressed, for the saved
// resource folder and ticks. Used by "flashery commandline --file-sets"
// and by the window's --prepare.
//
// RunPrepareChecks (on any thread; it touches no shared state) runs the
// package check of the resource folder (package opened and verified, its
// applications staged, its extension sections bound, its brand folder
// checked), then the built-in resources check when ticked, then the GPS
// check when ticked; it stops at the first that fails. Questions go to the
// context's prompter (the console one answers with the default and says
// so). ApplyPrepared (on the thread that owns the selection) applies the
// results as the dialog does and gives the reason the release is not
// ready, or "" when it is.
#pragma once

#include <atomic>
#include <string>

#include "config/settings.h"
#include "filesets/package_check.h"
#include "filesets/scan_context.h"
#include "text/text_table.h"

namespace flashery {

struct PreparedRelease {
  PackageCheckResult package;
  bool resourcesChecked = false;
  SetScanResult resources;
  bool gpsChecked = false;
  SetScanResult gps;
};

PreparedRelease RunPrepareChecks(const ScanContext& ctx, const QfmExtensionTable& extensionTable,
                                 bool resourcesTicked, bool gpsTicked, std::atomic<unsigned>& backupCounter);

// The selection's ticks decide the checks; an empty resource folder is
// refused before any check runs (its reason is returned by ApplyPrepared
// of an empty result: use NoResourceFolderReason).
std::string ApplyPrepared(const PreparedRelease& prepared, DownloadSelection& selection, QfmPackage& package,
                          const TextTable& texts);

std::string NoResourceFolderReason(const std::string& appFolder);

}  // namespace flashery
