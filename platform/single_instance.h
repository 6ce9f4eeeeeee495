// Single instance: one station per runtime directory. The lock is an
// advisory flock on a file named "Flashery" in the runtime directory
// (FLASHERY_RUNTIME_DIR, else XDG_RUNTIME_DIR, else /tmp). It is held for
// the life of the process and released by the kernel when the process ends,
// however it ends, so a crashed station never blocks the next start.
#pragma once

#include <optional>
#include <string>

namespace flashery {

std::string RuntimeDirectory();

class InstanceLock {
 public:
  // nullopt when another process holds the lock. `error` (optional) is set
  // when the lock file cannot be opened at all (then the start is refused
  // too, since a second instance could not be ruled out).
  static std::optional<InstanceLock> Acquire(const std::string& dir, const std::string& name = "Flashery",
                                             std::string* error = nullptr);
  InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  InstanceLock& operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
      Release();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  InstanceLock(const InstanceLock&) = delete;
  ~InstanceLock();

 private:
  void Release();
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace flashery
