#include "zip/local_headers.h"

#include <algorithm>

#include "zip/central_directory.h"
#include "zip/range_reader.h"
#include "zip/zip_format.h"

namespace flashery {

using namespace zipfmt;

namespace {

LocalCheck Why(LocalCheck result, std::string* why, const char* text) {
  if (why) *why = text;
  return result;
}

}  // namespace

LocalCheck CheckLocalHeader(RangeReader& reader, const CentralRecord& record, uint64_t archiveStart,
                            uint64_t directoryStart, EntrySpan& span, std::string* why) {
  const uint64_t local = archiveStart + record.localHeaderOffset;
  const uint8_t* h = reader.Get(local, kLocalHeaderBytes);
  if (!h) {
    if (reader.readFailed()) return Why(LocalCheck::Unreadable, why, "archive cannot be read");
    return Why(LocalCheck::Missing, why, "local header outside the archive");
  }
  if (Le32(h) != kLocalHeaderSignature) return Why(LocalCheck::Missing, why, "no local header where the directory points");
  const uint16_t flags = Le16(h + kLocalFlags);
  const uint16_t method = Le16(h + kLocalMethod);
  const uint32_t crc = Le32(h + kLocalCrc32);
  const uint32_t compressed = Le32(h + kLocalCompressedSize);
  const uint32_t uncompressed = Le32(h + kLocalUncompressedSize);
  const uint16_t nameLength = Le16(h + kLocalNameLength);
  const uint16_t extraLength = Le16(h + kLocalExtraLength);
  if (method != record.method) return Why(LocalCheck::Differs, why, "local header names another method");
  if ((flags ^ record.flags) & kFlagsThatMustAgree) return Why(LocalCheck::Differs, why, "local header has other flags");
  const bool mayBeZero = (flags & kFlagDataDescriptor) != 0;
  auto agrees = [&](uint32_t local, uint32_t central) { return local == central || (mayBeZero && local == 0); };
  if (!agrees(crc, record.crc32)) return Why(LocalCheck::Differs, why, "local header has another CRC-32");
  if (!agrees(compressed, record.compressedSize) || !agrees(uncompressed, record.uncompressedSize))
    return Why(LocalCheck::Differs, why, "local header has other sizes");
  if (nameLength != record.rawName.size()) return Why(LocalCheck::Differs, why, "local header has another name");
  const uint8_t* name = reader.Get(local + kLocalHeaderBytes, nameLength);
  if (!name) {
    if (reader.readFailed()) return Why(LocalCheck::Unreadable, why, "archive cannot be read");
    return Why(LocalCheck::Missing, why, "local header outside the archive");
  }
  if (!std::equal(record.rawName.begin(), record.rawName.end(), reinterpret_cast<const char*>(name)))
    return Why(LocalCheck::Differs, why, "local header has another name");
  const uint64_t end = local + kLocalHeaderBytes + nameLength + extraLength + uint64_t{record.compressedSize};
  if (end > directoryStart) return Why(LocalCheck::OutsideData, why, "entry reaches into the central directory");
  span.begin = local;
  span.end = end;
  return LocalCheck::Good;
}

long FindOverlap(std::vector<EntrySpan>& spans) {
  std::sort(spans.begin(), spans.end(), [](const EntrySpan& a, const EntrySpan& b) {
    return a.begin != b.begin ? a.begin < b.begin : a.record < b.record;
  });
  uint64_t reached = 0;
  for (size_t i = 0; i < spans.size(); ++i) {
    if (i && spans[i].begin < reached) return static_cast<long>(spans[i].record);
    reached = std::max(reached, spans[i].end);
  }
  return -1;
}

}  // namespace flashery
