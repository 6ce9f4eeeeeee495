#include "package/package_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/files.h"

namespace flashery {

std::optional<PackageFile> PackageFile::Open(const std::string& path, int* errorCode) {
  uint64_t size = 0;
  int fd = OpenRegularFile(path, errorCode, &size);
  if (fd < 0) return std::nullopt;
  return PackageFile(fd, size);
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
  return fd_ >= 0 && ReadExactAt(fd_, buffer, n, offset);
}

}  // namespace flashery
