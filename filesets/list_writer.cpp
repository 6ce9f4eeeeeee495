#include "filesets/list_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <optional>

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

// A name found on the disk as the operator can read it in a message: bytes
// that are not valid UTF-8 outside printable ASCII as \xNN.
std::string Readable(const std::string& name) {
  if (IsValidUtf8(name)) return name;
  return EscapedBytes(name);
}

struct Walk {
  const ListOptions& options;
  ListRefusal* refused;
  std::string out;  // the list text of this call, LF line ends, list code page

  bool Refuse(const std::string& name, const char* reason) {
    if (refused) *refused = {name, reason};
    return false;
  }

  bool Line(const std::string& utf8Line) {
    std::optional<std::string> encoded = EncodeForList(utf8Line, options.codepage);
    if (!encoded) return Refuse(utf8Line, "the line cannot be written in the list's code page");
    out += *encoded;
    out += '\n';
    return true;
  }

  // The name of a listed entry as UTF-8, or nullopt (refused) when the list
  // cannot hold it: see ListNameFault.
  std::optional<std::string> ListableName(const std::string& diskName, const std::string& logicalFolder) {
    std::string shown = logicalFolder;
    if (shown.empty() || shown.back() != '\\') shown += '\\';
    std::optional<std::string> name = DiskNameToUtf8(diskName, options.codepage);
    if (!name) {
      Refuse(shown + Readable(diskName), "the name is valid neither in UTF-8 nor in the list's code page");
      return std::nullopt;
    }
    if (const char* fault = ListNameFault(*name, options.codepage)) {
      Refuse(shown + *name, fault);
      return std::nullopt;
    }
    return name;
  }

  // Own name in plain naming, the path below the anchor in relative naming.
  std::string EntryName(const std::string& name, const std::string& logicalPath) const {
    return options.naming.relative ? RelativeEntryName(logicalPath, options.naming.anchor) : name;
  }

  bool Folder(const std::string& folder, const std::string& logicalFolder, int depth) {
    if (depth > kMaxListDepth) return false;
    bool readable = false;
    std::vector<DirEntry> entries = ListFolder(folder, &readable, options.codepage);
    if (!readable) return false;
    for (const auto& e : entries) {
      std::string full = JoinPath(folder, e.name);
      std::string logical = logicalFolder;
      if (logical.empty() || logical.back() != '\\') logical += '\\';
      if (e.isDir) {
        if (e.isLink || options.filter.ExcludesFolder(e.name)) continue;
        std::optional<std::string> safe = ListableName(e.name, logicalFolder);
        if (!safe) return false;
        logical += *safe;
        std::string name = EntryName(*safe, logical);
        if (!name.empty() && !Line(FolderHeaderLine(name))) return false;
        if (!Folder(full, logical, depth + 1)) return false;
        continue;
      }
      struct stat st {};
      if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      if (options.filter.ExcludesFile(e.name)) {
        if (options.filter.removeThumbnails && IsThumbnailCache(e.name)) ::unlink(full.c_str());
        continue;
      }
      std::optional<std::string> safe = ListableName(e.name, logicalFolder);
      if (!safe) return false;
      logical += *safe;
      std::string name = EntryName(*safe, logical);
      if (name.empty()) continue;
      uint32_t check = options.withCheck ? FileCheckValue(full) : 0;
      if (!Line(FileListLine(name, static_cast<uint64_t>(st.st_size), options.withCheck, check))) return false;
    }
    return true;
  }
};

}  // namespace

bool WriteList(const std::string& folder, const std::string& listPath, const ListOptions& options,
               ListRefusal* refused) {
  if (refused) *refused = {};
  if (folder.empty() || listPath.empty()) return false;
  std::string logical = options.naming.logicalFolder.empty() ? ToStationPath(folder) : options.naming.logicalFolder;
  Walk walk{options, refused, {}};
  if (!walk.Folder(folder, logical, 0)) return false;
  std::string bytes;
  bytes.reserve(walk.out.size() + walk.out.size() / 16 + kUtf8Bom.size());
  struct stat listed {};
  bool listEmpty = ::stat(listPath.c_str(), &listed) != 0 || listed.st_size == 0;
  if (options.codepage == Codepage::Utf8 && listEmpty) bytes += kUtf8Bom;
  for (char c : walk.out) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return AppendToFile(listPath, bytes);
}

}  // namespace flashery
