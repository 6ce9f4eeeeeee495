// ZipReader::ReadDirectory: central directory records to entries.
#include <cstdio>

#include "zip/central_directory.h"
#include "zip/entry_name.h"
#include "zip/implied_folders.h"
#include "zip/range_reader.h"
#include "zip/zip_format.h"
#include "zip/zip_reader.h"

namespace flashery {

namespace {

std::string Ratio(uint32_t compressed, uint32_t uncompressed) {
  if (uncompressed == 0) return {};
  char buf[32];
  std::snprintf(buf, sizeof buf, "%3.2f", static_cast<double>(compressed) / uncompressed * 100.0);
  return buf;
}

}  // namespace

int ZipReader::ReadDirectory(std::vector<ZipEntry>& entries) {
  entries.clear();
  if (fd_ < 0) return Fail(-1, zip_text::kBadHandle);
  RangeReader reader(fd_, archiveStart_, archiveStart_ + archiveSize_);
  std::string refusal;
  WalkResult walked = WalkCentralDirectory(reader, centralDirOffset_, [&](const CentralRecord& r) {
    if (entries.size() >= kMaxDirectoryRecords) {
      refusal = "more directory records than a zip archive can hold";
      return false;
    }
    if (r.IsSymbolicLink()) {
      refusal = "symbolic link entry: " + r.rawName;
      return false;
    }
    std::string why;
    auto name = ParseEntryName(r.rawName, (r.flags & zipfmt::kFlagUtf8Name) != 0, legacy_, &why);
    if (!name) {
      refusal = why + ": " + r.rawName;
      return false;
    }
    ZipEntry e;
    for (size_t i = 0; i + 1 < name->components.size(); ++i) {
      if (i) e.path += '\\';
      e.path += name->components[i];
    }
    e.name = name->components.back();
    e.isDirectory = name->isDirectory;
    e.ratio = Ratio(r.compressedSize, r.uncompressedSize);
    e.uncompressedSize = r.uncompressedSize;
    e.compressedSize = r.compressedSize;
    e.encrypted = (r.flags & zipfmt::kFlagEncrypted) != 0;
    e.crc32 = r.crc32;
    e.versionNeeded = r.versionNeeded;
    e.method = r.method;
    e.seconds = static_cast<uint16_t>((r.time & 0x1F) * 2);
    e.minutes = (r.time >> 5) & 0x3F;
    e.hours = r.time >> 11;
    e.day = r.date & 0x1F;
    e.month = (r.date >> 5) & 0x0F;
    e.year = static_cast<uint16_t>((r.date >> 9) + 1980);
    e.localHeaderOffset = r.localHeaderOffset;
    entries.push_back(std::move(e));
    return true;
  });
  if (walked == WalkResult::ReadFailed) {
    entries.clear();
    return Fail(-1, "central directory cannot be read");
  }
  if (walked == WalkResult::Stopped) {
    entries.clear();
    return Fail(-1, refusal);
  }
  if (!AddImpliedFolders(entries, kMaxDirectoryEntries)) {
    entries.clear();
    return Fail(-1, "more implied folders than any archive needs");
  }
  return static_cast<int>(entries.size());
}

}  // namespace flashery
