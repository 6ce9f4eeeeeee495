// An application archive stored in an Extend section of a package, and
// the scan that finds its central directory and its unpacked size.
//
// ScanArchiveSize: the end-of-central-directory record must begin within
// the last 50 bytes of the region and fit inside it with its comment (so
// the archive's comment may be at most 28 bytes long). Of the candidates
// there, the end record is the one whose directory checks out: one disk,
// record counts that agree, a directory that ends where the end record
// begins and is a run of exactly that many records, starting with a
// central directory record whose local header is where it says. A
// candidate that does not check out (bytes of a comment that look like an
// end record) is passed over; two that check out but describe different
// directories make the archive ambiguous, and it is refused, since readers
// that search from the end and readers that search from the front would
// unpack different trees. The unpacked size is the sum of the uncompressed
// sizes of all directory records (folders count 0), found by the same walk
// the reader uses. Every region gets its own directory offset and size.
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

enum class ScanFailure { None, NoArchive, EndRecordsDisagree };

// *failure (optional) tells an archive that is ambiguous from one that is
// not found.
bool ScanArchiveSize(int fd, ArchiveRegion& region, ScanFailure* failure = nullptr);

}  // namespace flashery
