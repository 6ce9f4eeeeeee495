// Paths an archive names more than once. Every reader shows a path once:
// an archive that names one path both as a folder and as a file (stored,
// or implied by a longer name), or as a file twice, has no single tree,
// and unpacking it would overwrite or move aside what it has just written.
// Names that differ only in case are one path on the handset's storage
// and on the station's original platform, so they clash too (compared as
// the layout's names are, see platform/paths.h). A folder named twice in
// the same spelling is harmless and accepted.
#pragma once

#include <vector>

#include "zip/zip_entry.h"

namespace flashery {

// The index of the first entry whose path clashes with an earlier one, or
// -1.
long FindNameClash(const std::vector<ZipEntry>& entries);

}  // namespace flashery
