// ZipReader::ReadDirectory: central directory records to entries.
#include <cstdio>

#include "zip/central_directory.h"
#include "zip/entry_name.h"
#include "zip/implied_folders.h"
#include "zip/local_headers.h"
#include "zip/name_clash.h"
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

// A method number the reader does not know, whatever its low byte says.
constexpr uint8_t kUnknownMethod = 0xFF;

// A stored name as the operator can read it: decoded from its declared
// encoding (`cp`: UTF-8 for a flagged name, else the legacy code page);
// when it is not valid there every byte outside printable ASCII is shown as
// \xNN. Control characters are always shown as \xNN.
std::string Readable(const std::string& raw, Codepage cp) {
  std::optional<std::string> decoded = DecodeStrict(raw, cp);
  std::string text = decoded.value_or(raw);
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || (!decoded && c >= 0x80)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

// `name` and `text` are UTF-8 already (names made readable by Readable).
int ZipReader::Refuse(DirectoryRefusal why, std::string name, std::string text) {
  refusal_ = why;
  refusedName_ = Readable(name, Codepage::Utf8);
  return Fail(-1, Readable(text, Codepage::Utf8));
}

int ZipReader::ReadDirectory(std::vector<ZipEntry>& entries) {
  entries.clear();
  refusal_ = DirectoryRefusal::None;
  refusedName_.clear();
  if (fd_ < 0) return Fail(-1, zip_text::kBadHandle);
  RangeReader reader(fd_, archiveStart_, archiveStart_ + archiveSize_);
  std::vector<CentralRecord> records;
  DirectoryRefusal refusal = DirectoryRefusal::None;
  std::string refusal_name, refusal_text;
  auto stop = [&](DirectoryRefusal why, const std::string& name, std::string text) {
    refusal = why;
    refusal_name = name;
    refusal_text = std::move(text);
    return false;
  };
  auto shown = [&](const CentralRecord& r) {
    if (!r.NameIsUtf8() && r.hasDeclaredUtf8Name) return Readable(r.declaredUtf8Name, Codepage::Utf8);
    return Readable(r.rawName, r.NameIsUtf8() ? Codepage::Utf8 : legacy_);
  };
  uint64_t next = centralDirOffset_;
  WalkResult walked = WalkCentralDirectory(reader, centralDirOffset_, [&](const CentralRecord& r) {
    if (r.position != next) return stop(DirectoryRefusal::Layout, {}, "bytes between directory records");
    next += r.recordBytes;
    if (entries.size() >= kMaxDirectoryRecords)
      return stop(DirectoryRefusal::Layout, {}, "more directory records than a zip archive can hold");
    if (r.IsSymbolicLink()) return stop(DirectoryRefusal::SymbolicLink, shown(r), "symbolic link entry: " + shown(r));
    std::string why;
    // The archive declares each name's encoding (CentralRecord::NameIsUtf8);
    // a name in the code page may carry its UTF-8 form in an Info-ZIP
    // Unicode Path field.
    bool utf8 = r.NameIsUtf8();
    auto name = !utf8 && r.hasDeclaredUtf8Name ? ParseEntryName(r.declaredUtf8Name, true, legacy_, &why)
                                                 : ParseEntryName(r.rawName, utf8, legacy_, &why);
    if (!name) return stop(DirectoryRefusal::BadName, shown(r), why + ": " + shown(r));
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
    e.method = r.method <= 0xFF ? static_cast<uint8_t>(r.method) : kUnknownMethod;
    e.seconds = static_cast<uint16_t>((r.time & 0x1F) * 2);
    e.minutes = (r.time >> 5) & 0x3F;
    e.hours = r.time >> 11;
    e.day = r.date & 0x1F;
    e.month = (r.date >> 5) & 0x0F;
    e.year = static_cast<uint16_t>((r.date >> 9) + 1980);
    e.localHeaderOffset = r.localHeaderOffset;
    entries.push_back(std::move(e));
    records.push_back(r);
    return true;
  });
  auto refuse = [&](DirectoryRefusal why, const std::string& name, std::string text) {
    entries.clear();
    return Refuse(why, name, std::move(text));
  };
  if (walked == WalkResult::ReadFailed) return refuse(DirectoryRefusal::Unreadable, {}, "central directory cannot be read");
  if (walked == WalkResult::Stopped) return refuse(refusal, refusal_name, refusal_text);

  // Every record's local header, and the bytes each entry occupies.
  RangeReader locals(fd_, archiveStart_, archiveStart_ + archiveSize_);
  std::vector<EntrySpan> spans(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    std::string why;
    spans[i].record = i;
    LocalCheck c = CheckLocalHeader(locals, records[i], archiveStart_, centralDirOffset_, spans[i], &why);
    if (c == LocalCheck::Unreadable) return refuse(DirectoryRefusal::Unreadable, shown(records[i]), why);
    if (c == LocalCheck::OutsideData) return refuse(DirectoryRefusal::SharedBytes, shown(records[i]), why);
    if (c != LocalCheck::Good) return refuse(DirectoryRefusal::LocalHeader, shown(records[i]), why + ": " + shown(records[i]));
  }
  if (long i = FindOverlap(spans); i >= 0) {
    const std::string name = shown(records[static_cast<size_t>(i)]);
    return refuse(DirectoryRefusal::SharedBytes, name, "entry shares bytes with another: " + name);
  }

  if (!AddImpliedFolders(entries, kMaxDirectoryEntries))
    return refuse(DirectoryRefusal::Layout, {}, "more implied folders than any archive needs");
  if (long i = FindNameClash(entries); i >= 0) {
    const ZipEntry& e = entries[static_cast<size_t>(i)];
    std::string name = e.path.empty() ? e.name : e.path + "\\" + e.name;
    return refuse(DirectoryRefusal::NameClash, name, "path named twice: " + name);
  }
  return static_cast<int>(entries.size());
}

}  // namespace flashery
