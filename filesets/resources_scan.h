// The built-in resources check, and the check of a resources-layout folder
// that the GPS check repeats for its backup part.
//
// A resources-layout folder needs its reference list "resfile_pc.txt" and
// the five media folders; a fresh listing of it (kind and naming chosen from
// the reference list, see ExamineList) must match the reference list. The
// current list "resfile_cur.txt" is made in the folder and deleted again
// whatever the outcome; an entry of that name that is already there is
// removed first, so a link of that name can never make the listing write
// elsewhere. A reference list that cannot be read fails like a missing one
// (text id 20), before anything is listed or deleted.
#pragma once

#include <optional>
#include <string>

#include "filesets/scan_context.h"

namespace flashery {

// Steps shared by the resources set and the GPS backup part: nullopt when
// the folder passes, else the failure text (text ids 20 to 23).
// logicalFolder: the folder as the station names it, e.g. "\内置资源".
std::optional<ScanText> CheckResourcesLayout(const ScanContext& ctx, const std::string& folder,
                                             const std::string& logicalFolder, const std::string& anchor);

// The built-in resources check: root/内置资源.
SetScanResult ResourcesScanJob(const ScanContext& ctx);

}  // namespace flashery
