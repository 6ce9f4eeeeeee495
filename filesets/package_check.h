// The package check: the one QFM package of the resource folder is opened
// and verified, its preset application archives are staged into the program
// folder, its extension sections are bound to the configured codes, and the
// brand folder that staging unpacked is checked.
//
// The worker fills a package record of its own and hands it back in the
// result; the dialog publishes it (and applies the result to the selection)
// on its own thread. A result that is not ok carries a package whose
// packagePath is empty, so nothing is ever downloaded from a package that
// did not pass.
//
// Before staging, a brand folder left by an earlier package is deleted. If
// it cannot be deleted and the new package brings no archives, that stale
// folder is not taken as this package's brand (brand not selected): its
// files belong to another release.
#pragma once

#include <atomic>
#include <string>

#include "filesets/brand_scan.h"
#include "filesets/scan_context.h"
#include "package/qfm_package.h"

namespace flashery {

struct PackageCheckResult {
  bool ok = false;
  ScanText message;         // what the status line shows on failure (may be empty:
                            // staging reports in its own message boxes)
  QfmPackage package;       // the checked package; packagePath empty unless ok
  bool brandPresent = false;  // staging left a brand folder, and BrandScan ran
  BrandScanResult brand;
};

// extensionTable: the configured names and codes (settings).
// backupCounter: the process-wide counter of files staging moves aside.
PackageCheckResult PackageCheckJob(const ScanContext& ctx, const QfmExtensionTable& extensionTable,
                                   std::atomic<unsigned>& backupCounter);

// Applies a finished package check to the selection and publishes its
// package record: on success packagePath, packageReady 1, job state 2 and,
// when the brand folder passed, brandFolder, brandSelected 1 and its size;
// brandSelected 0 when there was no brand folder. On failure packagePath
// empty and job state 3 (readiness as it was).
void ApplyPackageCheck(const PackageCheckResult& result, DownloadSelection& selection, QfmPackage& package);

}  // namespace flashery
