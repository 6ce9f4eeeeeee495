#include "package/package_identity.h"

#include <sys/stat.h>

namespace flashery {
namespace {

std::optional<PackageIdentity> FromStat(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return std::nullopt;
  PackageIdentity id;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.inode = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
  id.mtimeSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
  id.mtimeNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
  return id;
}

}  // namespace

std::optional<PackageIdentity> PackageIdentityOf(int fd) {
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) return std::nullopt;
  return FromStat(st);
}

std::optional<PackageIdentity> PackageIdentityAt(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0) return std::nullopt;
  return FromStat(st);
}

}  // namespace flashery
