#include "filesets/folder_ops.h"

#include <sys/stat.h>

#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

std::optional<std::string> ResolveExisting(const std::string& path) {
  if (path.empty()) return std::nullopt;
  if (PathExists(path)) return path;
  bool absolute = path.front() == '/';
  return ResolvePathNoCase(absolute ? "/" : ".", absolute ? std::string_view(path).substr(1) : path);
}

bool FolderExists(const std::string& path) {
  auto p = ResolveExisting(path);
  return p && IsDirectory(*p);
}

bool PathExistsNoCase(const std::string& path) { return ResolveExisting(path).has_value(); }

static uint32_t SizeBelow(const std::string& folder, int depth) {
  if (depth > 256) return 0;
  uint32_t total = 0;
  for (const auto& e : ListFolder(folder)) {
    std::string full = JoinPath(folder, e.name);
    if (e.isDir) {
      if (!e.isLink) total += SizeBelow(full, depth + 1);
      continue;
    }
    struct stat st {};
    if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) total += static_cast<uint32_t>(st.st_size);
  }
  return total;
}

uint32_t FolderSize(const std::string& path) {
  auto p = ResolveExisting(path);
  if (!p || !IsDirectory(*p)) return 0;
  return SizeBelow(*p, 0);
}

bool DeleteFolder(const std::string& path, bool recreate) {
  if (path.empty()) return false;
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p == "/") return false;
  struct stat st {};
  if (::lstat(p.c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) {
    // A link is removed itself; what it points to is never touched.
    if (!IsDirectory(p) || !RemoveTree(p)) return false;
  } else if (!S_ISDIR(st.st_mode) || !RemoveTree(p)) {
    return false;
  }
  return !recreate || MakeDirectories(p);
}

PackageSearch FindPackageInFolder(const std::string& root) {
  PackageSearch found;
  if (root.empty()) return found;
  for (const auto& e : ListFolder(root)) {
    if (e.isDir) continue;
    size_t dot = e.name.rfind('.');
    if (dot == std::string::npos || !EqualsNoCase(std::string_view(e.name).substr(dot + 1), "QFM")) continue;
    ++found.count;
    found.path = JoinPath(root, e.name);
  }
  return found;
}

}  // namespace flashery
