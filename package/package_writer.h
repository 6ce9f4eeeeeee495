// Writing a package file the station accepts, for the release tool and for
// tests that need real packages.
//
// The header comes first; the section data follows without gaps in the
// order BL, NK, MLO, userdata, system, Evn, Extend 1..5, cache, Recovery
// (the order in which the station reads them back). Each section's check
// value is computed while its input is copied, in 1 MiB pieces, so an image
// of any size is streamed and never held in memory. packageSize is the size
// of the whole file; the reserved ranges stay zero; headerCheck is set last.
// Texts are stored in `codepage` (GBK by default, the original platform's;
// ASCII is the same in every code page). The file is written beside its
// final path and renamed into place, so a failed write leaves no half file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/qfm_layout.h"
#include "platform/codepage.h"

namespace flashery {

struct PackageInput {
  QfmSectionKey key;
  std::string path;  // the file whose bytes form the section
  std::string name;  // BL, NK, system (optional) and Extend (required) only
};

struct PackageContents {
  std::string productName;  // at most 33 bytes once encoded
  std::string versionName;  // at most 53 bytes
  // At most one input per key; Extend inputs fill slots 1, 2, ... in the
  // order given, whatever Extend key they carry.
  std::vector<PackageInput> inputs;
};

struct PackageWriteResult {
  bool ok = false;
  std::string error;  // what went wrong, for the operator (English)
  uint64_t fileSize = 0;
};

PackageWriteResult WritePackage(const std::string& outPath, const PackageContents& contents,
                                Codepage codepage = Codepage::Gbk);

}  // namespace flashery
