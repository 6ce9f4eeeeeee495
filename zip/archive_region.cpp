#include "zip/archive_region.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "zip/central_directory.h"
#include "zip/range_reader.h"
#include "zip/zip_format.h"

namespace flashery {

using namespace zipfmt;

namespace {

struct Directory {
  uint64_t offset = 0, size = 0;  // absolute offset
  uint64_t totalBytes = 0;
  uint32_t records = 0;
};

// The directory an end record at `at` describes, when it checks out: one
// disk, its record counts agree, the directory lies before it and ends
// where it begins, and it is a run of exactly that many records with
// nothing between them, the first of which has its local header where it
// says.
std::optional<Directory> CheckEndRecord(int fd, uint64_t begin, uint64_t end, uint64_t at) {
  RangeReader reader(fd, begin, end);
  const uint8_t* e = reader.Get(at, kEndRecordBytes);
  if (!e) return std::nullopt;
  const uint32_t records = Le16(e + kEndTotalRecords);
  if (Le16(e + kEndDiskNumber) != 0 || Le16(e + kEndDirectoryDisk) != 0 || Le16(e + kEndDiskRecords) != records)
    return std::nullopt;
  Directory d;
  d.offset = begin + Le32(e + kEndCentralDirOffset);
  d.size = Le32(e + kEndCentralDirSize);
  if (d.offset >= at || d.size != at - d.offset) return std::nullopt;
  const uint8_t* c = reader.Get(d.offset, kCentralRecordBytes);
  if (!c || Le32(c) != kCentralRecordSignature) return std::nullopt;
  const uint8_t* l = reader.Get(begin + Le32(c + kCentralLocalHeaderOffset), 4);
  if (!l || Le32(l) != kLocalHeaderSignature) return std::nullopt;

  RangeReader directory(fd, begin, at);  // the walk may not run past the end record
  uint64_t next = d.offset;
  WalkResult walked = WalkCentralDirectory(directory, d.offset, [&](const CentralRecord& r) {
    if (r.position != next) return false;
    next += r.recordBytes;
    d.totalBytes += r.uncompressedSize;
    ++d.records;
    return true;
  });
  if (walked != WalkResult::Done || next != at || d.records != records) return std::nullopt;
  return d;
}

}  // namespace

bool ScanArchiveSize(int fd, ArchiveRegion& region, ScanFailure* failure) {
  ScanFailure ignored;
  ScanFailure& why = failure ? *failure : ignored;
  why = ScanFailure::NoArchive;
  const uint64_t begin = region.offset;
  const uint64_t end = begin + region.size;
  RangeReader reader(fd, begin, end);
  const uint32_t tail = std::min<uint32_t>(kEndRecordSearchBytes, region.size);
  if (tail < kEndRecordBytes) return false;
  const uint8_t* t = reader.Get(end - tail, tail);
  if (!t) return false;
  // Every end record that fits with its comment is a candidate.
  std::vector<uint64_t> candidates;
  for (uint32_t i = 0; i + kEndRecordBytes <= tail; ++i) {
    if (Le32(t + i) == kEndRecordSignature && i + kEndRecordBytes + Le16(t + i + kEndCommentLength) <= tail)
      candidates.push_back(end - tail + i);
  }
  std::optional<Directory> chosen;
  for (uint64_t at : candidates) {
    std::optional<Directory> d = CheckEndRecord(fd, begin, end, at);
    if (!d) continue;
    if (chosen && (chosen->offset != d->offset || chosen->size != d->size || chosen->records != d->records)) {
      why = ScanFailure::EndRecordsDisagree;
      return false;
    }
    chosen = d;
  }
  if (!chosen) return false;
  why = ScanFailure::None;
  region.centralDirOffset = chosen->offset;
  region.totalBytes = chosen->totalBytes;
  region.records = chosen->records;
  return true;
}

}  // namespace flashery
