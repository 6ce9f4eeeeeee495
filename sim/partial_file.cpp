#include "sim/partial_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace flashery::sim {

PartialFile::~PartialFile() { Discard(); }

bool PartialFile::Start(const std::string& tempPath) {
  Discard();
  fd_ = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd_ < 0) return false;
  tempPath_ = tempPath;
  written_ = 0;
  return true;
}

bool PartialFile::Append(const uint8_t* data, size_t n) {
  if (fd_ < 0) return false;
  size_t done = 0;
  while (done < n) {
    ssize_t w = ::write(fd_, data + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    done += static_cast<size_t>(w);
  }
  written_ += n;
  return true;
}

bool PartialFile::Commit(const std::string& finalPath) {
  if (fd_ < 0) return false;
  bool ok = ::close(fd_) == 0;
  fd_ = -1;
  ok = ok && std::rename(tempPath_.c_str(), finalPath.c_str()) == 0;
  if (!ok) ::unlink(tempPath_.c_str());
  tempPath_.clear();
  return ok;
}

void PartialFile::Discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

}  // namespace flashery::sim
