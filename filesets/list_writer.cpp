#include "filesets/list_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "filesets/list_codepage.h"
#include "package/crc16.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

std::string FileListLine(const std::string& name, uint64_t size, bool withCheck, uint32_t check) {
  // The size field is the low 32 bits printed as a signed number, as the
  // lists made on the original platform carry it.
  int32_t shown = static_cast<int32_t>(static_cast<uint32_t>(size));
  char tail[48];
  if (withCheck)
    std::snprintf(tail, sizeof tail, ";%" PRId32 "byte;0x%08" PRIx32, shown, check);
  else
    std::snprintf(tail, sizeof tail, ";%" PRId32 "byte", shown);
  return name + tail;
}

std::string FolderHeaderLine(const std::string& name) { return "FILE: " + name; }

std::string RelativeEntryName(const std::string& logicalPath, const std::string& anchor) {
  if (anchor.empty()) return "";
  size_t p = logicalPath.find(anchor);
  if (p == std::string::npos) return "";
  return logicalPath.substr(p + anchor.size());
}

std::string ToStationPath(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

namespace {

// A name as the list may carry it. Names on this disk may hold characters
// the original platform never allows in a name: a line break would split
// one entry into several lines (a name could forge an entry), a '\' would
// pose as a path separator. Those characters are written as '?', which no
// name of the original platform holds either. A name that is not UTF-8 is
// read as the legacy code page when it is valid there.
std::string SafeName(const std::string& name, Codepage listCodepage) {
  std::string out = name;
  if (!IsValidUtf8(out)) {
    Codepage legacy = listCodepage == Codepage::Utf8 ? Codepage::Gbk : listCodepage;
    out = DecodeToUtf8(out, legacy);
  }
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '\\') c = '?';
  }
  return out;
}

struct Walk {
  const ListOptions& options;
  std::string out;  // the list text of this call, LF line ends, list code page

  void Line(const std::string& utf8Line) {
    out += EncodeForList(utf8Line, options.codepage);
    out += '\n';
  }

  // Own name in plain naming, the path below the anchor in relative naming.
  std::string EntryName(const std::string& name, const std::string& logicalPath) const {
    return options.naming.relative ? RelativeEntryName(logicalPath, options.naming.anchor) : name;
  }

  bool Folder(const std::string& folder, const std::string& logicalFolder, int depth) {
    if (depth > kMaxListDepth) return false;
    bool readable = false;
    std::vector<DirEntry> entries = ListFolder(folder, &readable);
    if (!readable) return false;
    for (const auto& e : entries) {
      std::string full = JoinPath(folder, e.name);
      std::string safe = SafeName(e.name, options.codepage);
      std::string logical = logicalFolder;
      if (logical.empty() || logical.back() != '\\') logical += '\\';
      logical += safe;
      if (e.isDir) {
        if (e.isLink || options.filter.ExcludesFolder(e.name)) continue;
        std::string name = EntryName(safe, logical);
        if (!name.empty()) Line(FolderHeaderLine(name));
        if (!Folder(full, logical, depth + 1)) return false;
        continue;
      }
      struct stat st {};
      if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      if (options.filter.ExcludesFile(e.name)) {
        if (options.filter.removeThumbnails && IsThumbnailCache(e.name)) ::unlink(full.c_str());
        continue;
      }
      std::string name = EntryName(safe, logical);
      if (name.empty()) continue;
      uint32_t check = options.withCheck ? FileCheckValue(full) : 0;
      Line(FileListLine(name, static_cast<uint64_t>(st.st_size), options.withCheck, check));
    }
    return true;
  }
};

}  // namespace

bool WriteList(const std::string& folder, const std::string& listPath, const ListOptions& options) {
  if (folder.empty() || listPath.empty()) return false;
  std::string logical = options.naming.logicalFolder.empty() ? ToStationPath(folder) : options.naming.logicalFolder;
  Walk walk{options, {}};
  if (!walk.Folder(folder, logical, 0)) return false;
  std::string bytes;
  bytes.reserve(walk.out.size() + walk.out.size() / 16);
  for (char c : walk.out) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return AppendToFile(listPath, bytes);
}

}  // namespace flashery
