#include "platform/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

std::string RuntimeDirectory() {
  for (const char* var : {"FLASHERY_RUNTIME_DIR", "XDG_RUNTIME_DIR"}) {
    const char* v = std::getenv(var);
    if (v && *v && IsDirectory(v)) return v;
  }
  return "/tmp";
}

std::optional<InstanceLock> InstanceLock::Acquire(const std::string& dir, const std::string& name,
                                                  std::string* error) {
  std::string path = JoinPath(dir, name);
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return InstanceLock(fd);
}

void InstanceLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

InstanceLock::~InstanceLock() { Release(); }

}  // namespace flashery
