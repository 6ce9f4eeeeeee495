#include "zip/archive_region.h"

#include <algorithm>

#include "zip/central_directory.h"
#include "zip/range_reader.h"
#include "zip/zip_format.h"

namespace flashery {

using namespace zipfmt;

bool ScanArchiveSize(int fd, ArchiveRegion& region) {
  const uint64_t begin = region.offset;
  const uint64_t end = begin + region.size;
  RangeReader reader(fd, begin, end);
  const uint32_t tail = std::min<uint32_t>(kEndRecordSearchBytes, region.size);
  if (tail < kEndRecordBytes) return false;
  const uint8_t* t = reader.Get(end - tail, tail);
  if (!t) return false;
  uint64_t endRecord = 0;
  bool found = false;
  for (uint32_t i = 0; i + kEndRecordBytes <= tail; ++i) {
    if (Le32(t + i) == kEndRecordSignature) {
      endRecord = end - tail + i;
      found = true;
      break;
    }
  }
  if (!found) return false;
  const uint8_t* e = reader.Get(endRecord, kEndRecordBytes);
  if (!e) return false;
  const uint64_t directory = begin + Le32(e + kEndCentralDirOffset);
  if (directory >= endRecord) return false;
  const uint8_t* c = reader.Get(directory, kCentralRecordBytes);
  if (!c || Le32(c) != kCentralRecordSignature) return false;
  const uint8_t* l = reader.Get(begin + Le32(c + kCentralLocalHeaderOffset), 4);
  if (!l || Le32(l) != kLocalHeaderSignature) return false;

  uint64_t total = 0;
  uint32_t records = 0;
  WalkResult walked = WalkCentralDirectory(reader, directory, [&](const CentralRecord& r) {
    total += r.uncompressedSize;
    ++records;
    return true;
  });
  if (walked != WalkResult::Done) return false;
  region.centralDirOffset = directory;
  region.totalBytes = total;
  region.records = records;
  return true;
}

}  // namespace flashery
