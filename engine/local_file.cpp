#include "engine/local_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

namespace flashery {

LocalFile::~LocalFile() { Close(); }

bool LocalFile::Open(const std::string& path, int& error) {
  Close();
  fd_ = OpenRegularFile(path, &error);
  if (fd_ < 0) return false;
  error = 0;
  return true;
}

void LocalFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::optional<uint64_t> LocalFile::RegularSize() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool LocalFile::ReadAt(uint8_t* buffer, uint32_t length, uint64_t offset) const {
  if (fd_ < 0) return false;
  uint32_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(fd_, buffer + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<uint32_t>(n);
  }
  return true;
}

}  // namespace flashery
