// The rows of the view's file info list: what a port job would write, one
// row per item with four columns (number, kind, name, size).
//
// Row "0" names the package (model and file name); the numbered rows
// follow for the QFM file, bootloader, kernel, system, GPS, resources and
// brand files in that order, each when its selection flag is set (a row of
// a section the package lacks is still listed). Sizes are shown as
// KB(x) = x / 1024 + 1. No package chosen: no rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/settings.h"
#include "text/text_table.h"

namespace flashery {

struct SectionFacts {
  std::string name;
  uint64_t size = 0;
  bool present = false;
};

// What the list needs to know about the open package.
struct PackageFacts {
  std::string productName;
  std::string infoText;
  uint64_t packageSize = 0;
  SectionFacts xloader, bootloader, env, kernel, system, userdata;
};

struct FileInfoRow {
  std::string number, kind, name, size;
  bool operator==(const FileInfoRow&) const = default;
};

// The file name of a path: the part after its last '/' or '\'.
std::string PathFileName(const std::string& path);

std::vector<FileInfoRow> FileInfoRows(const DownloadSelection& sel, const PackageFacts& package,
                                      const TextTable& texts);

// Column headers: texts 31-34, with their alignment and width in pixels.
struct FileInfoColumn {
  int textId;
  bool centred;
  int width;
};
inline constexpr FileInfoColumn kFileInfoColumns[4] = {{31, true, 45}, {32, false, 140}, {33, false, 300},
                                                       {34, false, 300}};

}  // namespace flashery
