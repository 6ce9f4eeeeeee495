#include "zip/central_directory.h"


#include "zip/crc32.h"
#include "zip/range_reader.h"
#include "zip/zip_format.h"

namespace flashery {

namespace {

constexpr uint16_t kUnicodePathTag = 0x7075;

// The Info-ZIP Unicode Path field: version 1, the CRC-32 of the stored name,
// the name in UTF-8. A field whose CRC-32 does not match was left behind by
// a tool that renamed the entry, and is ignored as the field's definition says.
void ReadUnicodePath(const uint8_t* extra, size_t n, CentralRecord& r) {
  size_t at = 0;
  while (n - at >= 4) {
    uint16_t tag = zipfmt::Le16(extra + at);
    size_t size = zipfmt::Le16(extra + at + 2);
    at += 4;
    if (size > n - at) return;
    if (tag == kUnicodePathTag && size >= 5 && extra[at] == 1 &&
        zipfmt::Le32(extra + at + 1) == Crc32(reinterpret_cast<const uint8_t*>(r.rawName.data()), r.rawName.size())) {
      r.declaredUtf8Name.assign(reinterpret_cast<const char*>(extra + at + 5), size - 5);
      r.hasDeclaredUtf8Name = true;
      return;
    }
    at += size;
  }
}

}  // namespace

using namespace zipfmt;

bool CentralRecord::IsSymbolicLink() const {
  constexpr unsigned kUnixHost = 3;
  constexpr uint32_t kTypeMask = 0170000, kLink = 0120000;
  return (versionMadeBy >> 8) == kUnixHost && ((externalAttributes >> 16) & kTypeMask) == kLink;
}

bool CentralRecord::NameIsUtf8() const {
  constexpr unsigned kUnixHost = 3;
  return (flags & zipfmt::kFlagUtf8Name) != 0 || (versionMadeBy >> 8) == kUnixHost;
}

WalkResult WalkCentralDirectory(RangeReader& reader, uint64_t from,
                                const std::function<bool(const CentralRecord&)>& visit) {
  uint64_t pos = from;
  for (;;) {
    const uint8_t* p = reader.Get(pos, 4);
    if (!p) return reader.readFailed() ? WalkResult::ReadFailed : WalkResult::Done;
    uint32_t sig = Le32(p);
    if (sig == kEndRecordSignature || sig == kZip64EndRecordSignature || sig == kZip64LocatorSignature ||
        sig == kDigitalSignatureSignature)
      return WalkResult::Done;
    if (sig != kCentralRecordSignature) {
      ++pos;
      continue;
    }
    const uint8_t* fixed = reader.Get(pos, kCentralRecordBytes);
    if (!fixed) return reader.readFailed() ? WalkResult::ReadFailed : WalkResult::Done;
    uint16_t nameLength = Le16(fixed + kCentralNameLength);
    uint16_t extraLength = Le16(fixed + kCentralExtraLength);
    uint16_t commentLength = Le16(fixed + kCentralCommentLength);
    const uint8_t* rec = reader.Get(pos, kCentralRecordBytes + nameLength);
    if (!rec) return reader.readFailed() ? WalkResult::ReadFailed : WalkResult::Done;
    CentralRecord r;
    r.position = pos;
    r.versionMadeBy = Le16(rec + kCentralVersionMadeBy);
    r.versionNeeded = rec[kCentralVersionNeeded];
    r.flags = Le16(rec + kCentralFlags);
    r.method = Le16(rec + kCentralMethod);
    r.time = Le16(rec + kCentralTime);
    r.date = Le16(rec + kCentralDate);
    r.crc32 = Le32(rec + kCentralCrc32);
    r.compressedSize = Le32(rec + kCentralCompressedSize);
    r.uncompressedSize = Le32(rec + kCentralUncompressedSize);
    r.externalAttributes = Le32(rec + kCentralExternalAttributes);
    r.localHeaderOffset = Le32(rec + kCentralLocalHeaderOffset);
    r.rawName.assign(reinterpret_cast<const char*>(rec + kCentralRecordBytes), nameLength);
    r.recordBytes = static_cast<uint32_t>(kCentralRecordBytes) + nameLength + extraLength + commentLength;
    if (extraLength > 0) {
      const uint8_t* extra = reader.Get(pos + kCentralRecordBytes + nameLength, extraLength);
      if (!extra) return reader.readFailed() ? WalkResult::ReadFailed : WalkResult::Done;
      ReadUnicodePath(extra, extraLength, r);
    }
    if (!visit(r)) return WalkResult::Stopped;
    pos += r.recordBytes;
  }
}

}  // namespace flashery
