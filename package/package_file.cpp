#include "package/package_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace flashery {

std::optional<PackageFile> PackageFile::Open(const std::string& path, int* errorCode) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errorCode) *errorCode = errno;
    return std::nullopt;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (errorCode) *errorCode = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    return std::nullopt;
  }
  return PackageFile(fd, static_cast<uint64_t>(st.st_size));
}

PackageFile::PackageFile(PackageFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

PackageFile& PackageFile::operator=(PackageFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
  }
  return *this;
}

PackageFile::~PackageFile() {
  if (fd_ >= 0) close(fd_);
}

bool PackageFile::ReadAt(uint64_t offset, void* buffer, size_t n) const {
  if (fd_ < 0) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < n) {
    ssize_t got = pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace flashery
