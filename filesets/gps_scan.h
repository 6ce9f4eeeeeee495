// The GPS check: root/GPS with its map data below QUILMAP (reference list
// "quilfile_pc.txt", the map folders below quilmap) and two optional parts,
// cdrom and udisk_bak. When a part is missing the operator is asked
// (OK/Cancel, text id 124 and the missing parts) whether the set is to be
// taken without it.
//
// A backup part that is there is always checked like the built-in resources
// (text ids 20 to 23), also when the operator accepted a missing cdrom:
// otherwise a damaged backup would be copied to the handsets unchecked.
#pragma once

#include "filesets/scan_context.h"

namespace flashery {

SetScanResult GpsScanJob(const ScanContext& ctx);

}  // namespace flashery
