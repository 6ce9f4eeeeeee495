// An application archive stored in an Extend section of a package, and
// the scan that finds its central directory and its unpacked size.
//
// ScanArchiveSize: the end-of-central-directory record must begin within
// the last 50 bytes of the region and fit inside it (so the archive's
// comment may be at most 28 bytes long); the directory it points to must
// start with a central directory record, and the first record's local
// header must be where that record says. The unpacked size is the sum of
// the uncompressed sizes of all directory records (folders count 0), found
// by the same walk the reader uses. Every region gets its own directory
// offset and size.
#pragma once

#include <cstdint>
#include <string>

namespace flashery {

struct ArchiveRegion {
  int slot = 0;                   // Extend slot 1..5
  uint32_t check = 0;             // the section's stored check value (carried along)
  uint32_t offset = 0;            // absolute start of the archive in the package file
  uint32_t size = 0;              // length of the archive region
  uint64_t centralDirOffset = 0;  // absolute; set by ScanArchiveSize
  uint64_t totalBytes = 0;        // set by ScanArchiveSize
  uint32_t records = 0;           // directory records found; set by ScanArchiveSize
  std::string name;               // the section's name
  std::string destination;        // folder the archive is unpacked into
};

inline constexpr uint32_t kEndRecordSearchBytes = 50;

bool ScanArchiveSize(int fd, ArchiveRegion& region);

}  // namespace flashery
