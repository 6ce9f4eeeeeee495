// One entry of an archive's directory: a file or folder stored in the
// central directory, or a folder only implied by the paths of others.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashery {

struct ZipEntry {
  std::string path;   // folder part, components joined by "\"; empty at the top
  std::string name;   // last component (for a folder, the folder's own name)
  std::string ratio;  // compressed ÷ uncompressed × 100, "%3.2f"; empty for size 0
  uint32_t uncompressedSize = 0;
  uint32_t compressedSize = 0;
  bool isDirectory = false;
  bool encrypted = false;
  bool implied = false;  // an added folder entry, not stored in the archive
  uint32_t crc32 = 0;
  uint8_t versionNeeded = 0;
  uint8_t method = 0;
  uint16_t seconds = 0, minutes = 0, hours = 0, day = 0, month = 0, year = 0;
  uint32_t localHeaderOffset = 0;  // relative to the archive's start

  // The folders of `path` followed by `name`.
  std::vector<std::string> Components() const;
};

}  // namespace flashery
