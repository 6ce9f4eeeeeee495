#include "zip/central_directory.h"

#include "zip/range_reader.h"
#include "zip/zip_format.h"

namespace flashery {

using namespace zipfmt;

bool CentralRecord::IsSymbolicLink() const {
  constexpr unsigned kUnixHost = 3;
  constexpr uint32_t kTypeMask = 0170000, kLink = 0120000;
  return (versionMadeBy >> 8) == kUnixHost && ((externalAttributes >> 16) & kTypeMask) == kLink;
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
    if (!visit(r)) return WalkResult::Stopped;
    pos += r.recordBytes;
  }
}

}  // namespace flashery
