// The brand check: the folder "quillon" that application staging unpacks
// into the program folder must lie within the length limit, exist and hold
// the folder presetapp. Part of the package check; its messages go to the
// package's status line.
#pragma once

#include <cstdint>
#include <string>

#include "filesets/scan_context.h"

namespace flashery {

struct BrandScanResult {
  bool ok = false;
  ScanText message;     // on failure (text ids 24, 25, 26, 28)
  std::string folder;   // the brand folder
  uint32_t folderSize = 0;
};

// base: the folder that holds "quillon" (the program folder).
BrandScanResult BrandScan(const ScanContext& ctx, const std::string& base);

}  // namespace flashery
