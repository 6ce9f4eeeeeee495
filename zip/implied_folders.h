// Folder entries for folders that an archive only implies by the paths of
// its entries. For every entry with a path, its folders are walked from
// the deepest upward; each folder without a folder entry of the same path
// and name gets one, appended after everything in the list. The appended
// entries therefore follow all stored entries, a deeper folder before its
// parent. False, with nothing added, when the list would grow beyond
// maxEntries (a directory built to exhaust memory).
#pragma once

#include <vector>

#include "zip/zip_entry.h"

namespace flashery {

bool AddImpliedFolders(std::vector<ZipEntry>& entries, size_t maxEntries);

}  // namespace flashery
