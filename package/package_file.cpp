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
