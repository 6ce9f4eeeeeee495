// The facts of a job's run for its unit record, from the snapshots the job
// writes: the station's host name, the mode and role, the package's file
// name, product, version and SHA-256, and what was selected — the names of
// the selected parts in a fixed order ("bootloader,kernel,system,gps,
// resources,quilmart,brand"), then "format" when the storage is formatted.
#pragma once

#include <string>

#include "config/settings.h"
#include "history/unit_record.h"
#include "package/qfm_package.h"

namespace flashery {

std::string StationHostName();
std::string SelectionText(const DownloadSelection& selection);
RunFacts MakeRunFacts(const DownloadSelection& selection, const QfmPackage* package, const std::string& mode,
                      const std::string& role);

}  // namespace flashery
