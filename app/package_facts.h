// The file info list's view of an accepted package (file_info_rows.h).
#pragma once

#include "app/file_info_rows.h"
#include "package/qfm_package.h"

namespace flashery {

// Empty facts for a null package.
PackageFacts PackageFactsOf(const QfmPackage* package);

}  // namespace flashery
